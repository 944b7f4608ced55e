// The input line and its history, the function keys F1 to F12 in three banks
// (plain, Shift, Ctrl) with their buttons and their file, paste and
// paste-and-send.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

#include "access/FuncConfig.h"
#include "session/ProgramFolder.h"
#include "session/WombatForm.h"
#include "text/Errors.h"
#include "text/QtCodec.h"
#include "view/PlatformUi.h"
#include "view/QuokkaView.h"

namespace {

std::string FuncKeyFilePath() {
  return (ProgramFolder() + '/' + FuncKeyFileName).toStdString();
}

// Every line end of the text as one CR: a CR LF or LF CR pair, a lone CR
// and a lone LF alike.
std::string WithCarriageReturns(std::string text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      result += c;
      continue;
    }
    result += '\r';
    const char partner = c == '\r' ? '\n' : '\r';
    if (i + 1 < text.size() && text[i + 1] == partner) ++i;
  }
  return result;
}

bool IsEnter(const QKeyEvent& key) {
  return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

// A key for the input line that a view has no use for: a typed character,
// Enter, and the line's editing keys.
bool IsInputLineKey(const QKeyEvent& key) {
  if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Home:
    case Qt::Key_End:
      return true;
    default:
      return !key.text().isEmpty() && key.text().front().isPrint();
  }
}

// F1 to F12 as 0 to 11; -1 for any other key.
int FunctionKeyPosition(const QKeyEvent& key) {
  const int position = key.key() - Qt::Key_F1;
  return position >= 0 && position < TFuncKeys::KeysPerBank ? position : -1;
}

}  // namespace

void TWombatForm::WireInputCommands() {
  for (QToolButton* button : FSpeedButtons) {
    const int tag = button->property("Tag").toInt();
    Wire(button, [this, tag] { SpeedButton1Click(tag); });
  }
  Wire(KF1, [this] { KF1Click(); });
  Wire(Paste1, [this] { Paste1Click(); });
  Wire(Paste2, [this] { Paste2Click(); });
  // Enter sends what the user typed, never a history line filled in after it.
  InputEdit->setCompleter(nullptr);
  // The window sees every key before the control that has the focus.
  qApp->installEventFilter(this);
}

// A file that cannot be read keeps the empty texts; a message says why.
void TWombatForm::LoadFunctionKeys() {
  try {
    FFuncKeys.LoadFromFile(FuncKeyFilePath());
  } catch (const EInOutError& error) {
    PlatformUi().ShowMessage(QString::fromUtf8(error.what()));
  }
  SetFunctionKeyCaptions();
}

// Written only when the texts changed, so that an unchanged file stays byte
// for byte as it is.
void TWombatForm::SaveFunctionKeys() {
  if (!FFuncKeys.Changed()) return;
  try {
    FFuncKeys.SaveToFile(FuncKeyFilePath());
  } catch (const EInOutError& error) {
    PlatformUi().ShowMessage(QString::fromUtf8(error.what()));
  }
}

// Keys of the window's controls come here first. A key that its control
// leaves alone goes on to the control's parents and passes here again; what
// is done for such keys may be done twice. A key that a command uses is
// never a control's own: no control may claim it before the command's
// shortcut (Ctrl+A in the input line opens the add command, it does not
// select the line), and while the command is disabled the key does nothing.
bool TWombatForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FunctionPanel && event->type() == QEvent::Resize) FunctionPanelResize();
  WatchSelection(watched, *event);
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
    return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != this) return false;
  auto& key = static_cast<QKeyEvent&>(*event);
  if (type == QEvent::ShortcutOverride) {
    if (!IsCommandKey(key)) return false;
    event->ignore();  // not claimed: the shortcut goes to the command
    return true;
  }
  if (type == QEvent::KeyRelease) {
    FormKeyUp(key);
    return false;
  }
  if (FormKeyDown(key) || IsCommandKey(key)) return true;
  if (IsView(watched) && IsInputLineKey(key)) {
    RedirectToInputLine(key);
    return true;
  }
  if (widget != InputEdit && widget != InputEdit->lineEdit()) return false;
  if (IsEnter(key)) {
    InputEditKeyPress();
    return true;
  }
  return StepIntoHistory(key);
}

bool TWombatForm::IsView(const QObject* watched) const {
  return watched == TerminalView || watched == LogView;
}

// What is typed while a view has the focus is meant for the input line,
// which takes the focus with it.
void TWombatForm::RedirectToInputLine(const QKeyEvent& key) {
  InputEdit->setFocus(Qt::OtherFocusReason);
  QKeyEvent copy(key.type(), key.key(), key.modifiers(), key.text(), key.isAutoRepeat(),
                 key.count());
  QApplication::sendEvent(InputEdit->lineEdit(), &copy);
}

// Up or Down on the line being typed recalls the newest line sent; from
// there the box's own keys step through the list (Down to older lines).
bool TWombatForm::StepIntoHistory(const QKeyEvent& key) {
  const bool arrow = key.key() == Qt::Key_Up || key.key() == Qt::Key_Down;
  if (!arrow || key.modifiers() != Qt::NoModifier) return false;
  if (InputEdit->currentIndex() >= 0 || InputEdit->count() == 0) return false;
  InputEdit->setCurrentIndex(0);
  return true;
}

bool TWombatForm::IsCommandKey(const QKeyEvent& key) const {
  const QKeySequence keys(
      QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key())));
  const QList<QAction*> commands = MenuCommands();
  return std::any_of(commands.begin(), commands.end(),
                     [&keys](const QAction* command) { return command->shortcut() == keys; });
}

// True when the key is used up here.
bool TWombatForm::FormKeyDown(QKeyEvent& key) {
  StoreShiftState(key);
  const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
  if (modifiers == Qt::AltModifier && key.key() == Qt::Key_F4) {
    close();
    return true;
  }
  SetFunctionKeyCaptions();
  const int position = FunctionKeyPosition(key);
  if (position < 0) return false;
  SpeedButton1Click(position);
  return true;
}

void TWombatForm::FormKeyUp(QKeyEvent& key) {
  StoreShiftState(key);
  SetFunctionKeyCaptions();
}

// The modifiers held once this key event is through: pressing or releasing a
// modifier key itself counts.
void TWombatForm::StoreShiftState(const QKeyEvent& key) {
  Qt::KeyboardModifiers modifiers = key.modifiers();
  const bool pressed = key.type() == QEvent::KeyPress;
  const auto follow = [&](Qt::Key modifierKey, Qt::KeyboardModifier modifier) {
    if (key.key() == modifierKey) modifiers.setFlag(modifier, pressed);
  };
  follow(Qt::Key_Shift, Qt::ShiftModifier);
  follow(Qt::Key_Control, Qt::ControlModifier);
  follow(Qt::Key_Alt, Qt::AltModifier);
  FFuncKeys.SetShiftState(modifiers.testFlag(Qt::ShiftModifier),
                          modifiers.testFlag(Qt::AltModifier),
                          modifiers.testFlag(Qt::ControlModifier));
}

// Enter sends the line and a CR and puts the line on top of the history. The
// box is emptied at once. A line the transport refuses, or one the user
// keeps to edit a character it cannot carry, stays in the box.
void TWombatForm::InputEditKeyPress() {
  if (!ConfirmSendable(InputEdit->currentText())) return;
  const std::string line = FromQString(InputEdit->currentText());
  if (!SendToHost(line + '\r')) return ShowOutputFull();
  FHistory.Add(line);
  ShowHistory();
}

void TWombatForm::ShowOutputFull() {
  PlatformUi().ShowMessage("送信待ちのデータが多すぎるため、送信できませんでした。");
}

// The drop-down list is the history, newest first; the box stays empty.
void TWombatForm::ShowHistory() {
  InputEdit->clear();
  for (const std::string& line : FHistory.Lines()) InputEdit->addItem(ToQString(line));
  InputEdit->setCurrentIndex(-1);
  InputEdit->clearEditText();
}

// The key's text of the current bank replaces the selection at the caret.
void TWombatForm::SpeedButton1Click(int tag) {
  if (const std::optional<std::string> text = FFuncKeys.KeyText(tag))
    InputEdit->lineEdit()->insert(ToQString(*text));
}

void TWombatForm::SetFunctionKeyCaptions() {
  for (QToolButton* button : FSpeedButtons) {
    const int tag = button->property("Tag").toInt();
    button->setText(ToQString(FFuncKeys.Caption(tag)));
  }
}

// The buttons fill the bar without gaps; the first (width mod 12) are one
// pixel wider than the rest.
void TWombatForm::FunctionPanelResize() {
  const QRect area = FunctionPanel->contentsRect();
  for (QToolButton* button : FSpeedButtons) {
    const TButtonSpan span = FuncButtonSpan(area.width(), button->property("Tag").toInt());
    button->setGeometry(area.left() + span.Left, area.top(), span.Width, area.height());
  }
}

void TWombatForm::KF1Click() {
  TFuncConfigForm form(FFuncKeys.Texts, !FunctionPanel->isHidden(), this);
  if (form.exec() == QDialog::Accepted) {
    FFuncKeys.Texts = form.KeyTexts();
    FunctionPanel->setVisible(form.FunctionBarVisible());
  }
  SetFunctionKeyCaptions();
}

// The clipboard's text goes to the host in one piece, each line ended by CR.
void TWombatForm::Paste1Click() {
  const QString text = QGuiApplication::clipboard()->text();
  if (text.isEmpty() || !ConfirmSendable(text)) return;
  if (!SendToHost(WithCarriageReturns(FromQString(text)))) ShowOutputFull();
}

// Line ends become CRs as for paste and send, whether the text came with
// LF or CR LF.
void TWombatForm::Paste2Click() {
  const QString text = QGuiApplication::clipboard()->text();
  if (!text.isEmpty())
    InputEdit->lineEdit()->insert(ToQString(WithCarriageReturns(FromQString(text))));
}
