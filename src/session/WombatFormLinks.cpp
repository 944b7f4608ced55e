// The two views and what the user does with their text: the popup menu with
// the link at the caret (open it, copy it, save it as an internet shortcut
// file), copying a selection, clearing the terminal view, opening a saved
// shortcut, and the history view that opens above the terminal view while
// the user scrolls it back.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>

#include "session/InternetShortcut.h"
#include "session/ProgramFolder.h"
#include "session/WombatForm.h"
#include "text/QtCodec.h"
#include "view/PlatformUi.h"
#include "view/QuokkaView.h"
#include "view/Separate.h"

namespace {

// A link as a menu caption: "&" stands for itself, not for a mnemonic.
QString CaptionText(const std::string& link) {
  return ToQString(link).replace('&', "&&");
}

// Hands a key press straight to a view. Not through the application, which
// would first offer it to the window's shortcuts: Page Up and Page Down are
// the shortcuts that call this.
void PressKey(TQuokkaView& view, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  static_cast<QObject&>(view).event(&press);
}

// A view's selection as Linux programs paste it, each line ended by LF;
// empty when nothing is selected.
QString DesktopText(const TQuokkaView& view) {
  std::string text;
  if (view.GetSelText(&text) <= 0) return {};
  return ToQString(text).replace("\r\n", "\n");
}

// Makes both view event handlers inert while it lives.
class TDetachedViewEvents {
 public:
  explicit TDetachedViewEvents(bool& detached) : FDetached(detached), FWas(detached) {
    detached = true;
  }
  ~TDetachedViewEvents() { FDetached = FWas; }

 private:
  bool& FDetached;
  bool FWas;
};

}  // namespace

void TWombatForm::WireLinkCommands() {
  FViewUnderMouse = TerminalView;
  for (TQuokkaView* view : {TerminalView, LogView}) {
    view->SetPopupMenu(PopupMenu1);
    view->OnOpenLink = [this](const QString& url) { return OpenTelnetLink(url); };
    view->OnMouseMove = [this](TQuokkaView& sender, Qt::KeyboardModifiers, int, int) {
      LogViewMouseMove(sender);
    };
  }
  TerminalView->OnViewLineChanging = [this](TQuokkaView& sender, int32_t& value) {
    TerminalViewViewLineChanging(sender, value);
  };
  LogView->OnViewLineChanged = [this](TQuokkaView& sender) { LogViewViewLineChanged(sender); };
  Wire(Copy1, [this] { Copy1Click(); });
  Wire(Jump1, [this] { Jump1Click(); });
  Wire(ShortCut1, [this] { ShortCut1Click(); });
  Wire(URLCopy1, [this] { URLCopy1Click(); });
  Wire(Clear1, [this] { Clear1Click(); });
  Wire(KI1, [this] { KI1Click(); });
  Wire(ScrollUp1, [this] { ScrollUp1Click(); });
  Wire(ScrollDown1, [this] { ScrollDown1Click(); });
  connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { PopupMenu1Popup(); });
  connect(PopupMenu1, &QMenu::aboutToHide, this, [this] { PopupMenu1Close(); });
}

void TWombatForm::LogViewMouseMove(TQuokkaView& sender) {
  FViewUnderMouse = &sender;
}

void TWombatForm::PopupMenu1Popup() {
  const TQuokkaView& view = *FViewUnderMouse;
  SetCommandEnabled(Copy1, view.SelStart() != view.SelEnd());
  SetCommandEnabled(Paste1, !QGuiApplication::clipboard()->text().isEmpty());
  const TLink link = view.LinkAtSelStart();
  FLinkKind = static_cast<uint8_t>(link.Kind);
  FLinkText = link.Text;
  for (QAction* command : {Jump1, ShortCut1, URLCopy1}) SetCommandEnabled(command, FLinkKind != 0);
  const QString text = CaptionText(FLinkText);
  switch (FLinkKind) {
    case lkUrl:
      Jump1->setText(text + "を表示(&J)");
      ShortCut1->setText(text + "のｼｮｰﾄｶｯﾄを作成(&S)");
      URLCopy1->setText(text + "をｺﾋﾟｰ(&U)");
      break;
    case lkMailAddress:
      Jump1->setText(text + "宛へのﾒｰﾙ作成(&J)");
      ShortCut1->setText(text + "宛ﾒｰﾙのｼｮｰﾄｶｯﾄを作成(&S)");
      URLCopy1->setText(text + "をｺﾋﾟｰ(&U)");
      break;
    default:
      Jump1->setText("URLを表示(&J)");
      ShortCut1->setText("URLのｼｮｰﾄｶｯﾄを作成(&S)");
      URLCopy1->setText("URLをｺﾋﾟｰ(&U)");
      break;
  }
}

// The shortcuts Ctrl+C and Ctrl+P work whether or not the menu was open;
// their commands check for themselves whether there is anything to do.
void TWombatForm::PopupMenu1Close() {
  SetCommandEnabled(Copy1, true);
  SetCommandEnabled(Paste1, true);
}

void TWombatForm::Copy1Click() {
  const QString text = DesktopText(*FViewUnderMouse);
  if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

// A selection made with the mouse, or with Shift and the caret keys, is the
// desktop's primary selection once the view has taken the event.
void TWombatForm::WatchSelection(const QObject* watched, const QEvent& event) {
  const bool selecting =
      event.type() == QEvent::MouseButtonRelease ||
      (event.type() == QEvent::KeyRelease &&
       static_cast<const QKeyEvent&>(event).modifiers().testFlag(Qt::ShiftModifier));
  if (!selecting) return;
  for (TQuokkaView* view : {TerminalView, LogView})
    if (watched == view || watched == view->viewport())
      QMetaObject::invokeMethod(
          this, [this, view] { FillPrimarySelection(*view); }, Qt::QueuedConnection);
}

void TWombatForm::FillPrimarySelection(const TQuokkaView& view) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  const QString text = DesktopText(view);
  if (clipboard->supportsSelection() && !text.isEmpty())
    clipboard->setText(text, QClipboard::Selection);
}

void TWombatForm::Jump1Click() {
  if (FLinkKind == lkUrl && !OpenTelnetLink(ToQString(FLinkText)))
    PlatformUi().OpenUrl(ToQString(FLinkText));
  if (FLinkKind == lkMailAddress) PlatformUi().OpenUrl(ToQString("mailto:" + FLinkText));
}

void TWombatForm::ShortCut1Click() {
  SaveInternetShortcut(ToPath(FShortcutFolder), FLinkKind, FLinkText,
                       [](const std::string& message) {
                         PlatformUi().ShowMessage(QString::fromStdString(message));
                       });
}

void TWombatForm::URLCopy1Click() {
  QGuiApplication::clipboard()->setText(ToQString(FLinkText));
}

void TWombatForm::Clear1Click() {
  TerminalView->Clear();
}

// Opens the link that a picked shortcut file holds; a file without one is
// left to the desktop.
void TWombatForm::KI1Click() {
  const QString fileName =
      PlatformUi().OpenFileName(QString(), FShortcutFolder, "ｲﾝﾀｰﾈｯﾄｼｮｰﾄｶｯﾄ(*.url)");
  if (fileName.isEmpty() || !QFileInfo(fileName).isFile()) return;
  const std::optional<std::string> url = ReadInternetShortcutUrl(ToPath(fileName));
  PlatformUi().OpenUrl(url ? ToQString(*url) : fileName);
}

// Page Up pages the history view while it is shown and otherwise the
// terminal view, which opens it; Page Down pages the history view towards
// its end, which closes it.
void TWombatForm::ScrollUp1Click() {
  PressKey(LogView->isHidden() ? *TerminalView : *LogView, Qt::Key_PageUp);
}

void TWombatForm::ScrollDown1Click() {
  PressKey(*LogView, Qt::Key_PageDown);
}

// The terminal view is about to scroll. Scrolling back opens the history
// view instead, unless the program itself is adding text.
void TWombatForm::TerminalViewViewLineChanging(TQuokkaView&, int32_t& value) {
  if (FViewEventsDetached || FUpdatingViews) return;
  if (value >= TerminalView->LineCount() - TerminalView->PageLines() || !LogView->isHidden())
    return;
  OpenHistoryView(value);
}

// LogView opens over the upper half of the view panel one page above its
// end, while the terminal view stays at its last page.
void TWombatForm::OpenHistoryView(int32_t& terminalTopLine) {
  const TDetachedViewEvents detached(FViewEventsDetached);
  TerminalView->setUpdatesEnabled(false);
  LogView->setUpdatesEnabled(false);
  LogView->setFixedHeight(ViewPanel->height() / 2);
  LogView->show();
  Separater1->show();
  // The views take their new sizes now, so that their page lengths are known.
  ViewPanel->layout()->activate();
  LogView->SetTopLine(LogView->LineCount() - LogView->PageLines());
  PressKey(*LogView, Qt::Key_PageUp);
  LogView->setUpdatesEnabled(true);
  TerminalView->setUpdatesEnabled(true);
  terminalTopLine = TerminalView->LineCount() - TerminalView->PageLines();
}

void TWombatForm::LogViewViewLineChanged(TQuokkaView&) {
  if (FViewEventsDetached || LogView->isHidden()) return;
  if (LogView->BottomLine() == LogView->LineCount() - 1) CloseHistoryView();
}

void TWombatForm::CloseHistoryView() {
  FUpdatingViews = true;
  TerminalView->setUpdatesEnabled(false);
  LogView->hide();
  Separater1->hide();
  ViewPanel->layout()->activate();
  TerminalView->SetTopLine(TerminalView->LineCount() - TerminalView->PageLines());
  TerminalView->setUpdatesEnabled(true);
  FUpdatingViews = false;
}
