#include "session/ConfigPanel.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "session/SettingsBounds.h"
#include "text/Analysis.h"
#include "text/QtCodec.h"
#include "view/PlatformUi.h"
#include "view/QuokkaView.h"

namespace {

// A colour button of the first page; its Tag is its place in this table.
struct TColorButton {
  const char* name;
  const char* caption;
  QColor (TQuokkaView::*get)() const;
  void (TQuokkaView::*set)(const QColor&);
};

const TColorButton kColorButtonTable[] = {
    {"BitBtn1", "文字色(&A)", &TQuokkaView::FontColor, &TQuokkaView::SetFontColor},
    {"BitBtn2", "背景色(&B)", &TQuokkaView::Color, &TQuokkaView::SetColor},
    {"BitBtn3", "/U/W/J(&C)", &TQuokkaView::UserColor, &TQuokkaView::SetUserColor},
    {"BitBtn4", "PageSend(&D)", &TQuokkaView::PageColor, &TQuokkaView::SetPageColor},
    {"BitBtn5", "ハンドル(&E)", &TQuokkaView::HandleColor, &TQuokkaView::SetHandleColor},
    {"BitBtn6", "会話(&F)", &TQuokkaView::ConvColor, &TQuokkaView::SetConvColor},
    {"BitBtn7", "ＵＲＬ(&G)", &TQuokkaView::AddressColor, &TQuokkaView::SetAddressColor},
    {"BitBtn8", "ﾒｰﾙｱﾄﾞﾚｽ(&H)", &TQuokkaView::MailAddressColor, &TQuokkaView::SetMailAddressColor},
    {"BitBtn9", "強調文字(&I)", &TQuokkaView::AccentColor, &TQuokkaView::SetAccentColor},
    {"BitBtn10", "強調背景(&J)", &TQuokkaView::AccentBackColor, &TQuokkaView::SetAccentBackColor},
};

constexpr int kTextColorTag = 0;
constexpr int kViewFontTag = 0;
constexpr int kInputFontTag = 1;

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
  auto* button = Named(new QPushButton(caption, parent), name);
  button->setAutoDefault(false);
  button->setMinimumWidth(1);
  return button;
}

QCheckBox* CheckBox(const char* name, const QString& caption, QWidget* parent) {
  return Named(new QCheckBox(caption, parent), name);
}

QVBoxLayout* PageLayout(QWidget* page) {
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  return layout;
}

// The line spacing that a text of the pitch box stands for: a whole number,
// 1 for anything else and for negative numbers, at most kMaxVSpace.
int PitchValue(const QString& text) {
  bool isNumber = false;
  const int value = text.toInt(&isNumber, 10);
  if (!isNumber || value < 0) return 1;
  return BoundVSpace(value);
}

// Black on a light colour, white on a dark one (by perceived brightness).
QColor ReadableOn(const QColor& color) {
  const int brightness = (color.red() * 299 + color.green() * 587 + color.blue() * 114) / 1000;
  return brightness >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}

// The font with the family that stands in for it (IPA Gothic for
// "ＭＳ ゴシック"), which the chooser's list holds, so that it opens on it.
QFont ShownFont(const QFont& font) {
  QFont shown(font);
  shown.setFamily(QFontInfo(font).family());
  return shown;
}

}  // namespace

TConfigPanel::TConfigPanel(TQuokkaView& terminalView, TQuokkaView& logView, QWidget* parent)
    : QFrame(parent), TerminalView(terminalView), LogView(logView) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  Button15 = Button("Button15", "閉じる(&Z)", this);
  PageControl1 = Named(new QTabWidget(this), "PageControl1");
  // Both page tabs fit the narrow panel side by side.
  PageControl1->setUsesScrollButtons(false);
  PageControl1->tabBar()->setStyleSheet(
      "QTabBar::tab { padding: 2px 4px; border: 1px solid palette(mid); }"
      "QTabBar::tab:selected { background: palette(base); border-bottom: none; }");
  PageControl1->addTab(BuildColorPage(), "色･ﾌｫﾝﾄ");
  PageControl1->addTab(BuildOtherPage(), "その他");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  layout->addWidget(Button15);
  layout->addWidget(PageControl1, 1);
}

QWidget* TConfigPanel::BuildColorPage() {
  auto* page = Named(new QWidget, "TabSheet1");
  QVBoxLayout* layout = PageLayout(page);
  for (int tag = 0; tag < kColorButtons; ++tag) {
    const TColorButton& entry = kColorButtonTable[tag];
    QPushButton* button = Button(entry.name, entry.caption, page);
    button->setProperty("Tag", tag);
    connect(button, &QPushButton::clicked, this, [this, tag] { Button1Click(tag); });
    layout->addWidget(button);
    FColorButtons[tag] = button;
  }
  FFontButtons = {Button("BitBtn11", "Viewﾌｫﾝﾄ(&K)", page),
                  Button("BitBtn12", "入力ﾌｫﾝﾄ(&L)", page)};
  for (int tag = 0; tag < kFontButtons; ++tag) {
    FFontButtons[tag]->setProperty("Tag", tag);
    connect(FFontButtons[tag], &QPushButton::clicked, this, [this, tag] { Button11Click(tag); });
    layout->addWidget(FFontButtons[tag]);
  }
  layout->addStretch(1);
  return page;
}

QWidget* TConfigPanel::BuildOtherPage() {
  auto* page = Named(new QWidget, "TabSheet2");
  QVBoxLayout* layout = PageLayout(page);
  CheckBox1 = CheckBox("CheckBox1", "80桁(&M)", page);
  auto* pitchLabel = new QLabel("ﾋﾟｯﾁ(&N)", page);
  Pitch = Named(new QLineEdit(page), "Pitch");
  Pitch->setMinimumWidth(1);
  pitchLabel->setBuddy(Pitch);
  auto* pitchRow = new QHBoxLayout;
  pitchRow->addWidget(pitchLabel);
  pitchRow->addWidget(Pitch, 1);
  MotionEnable = CheckBox("MotionEnable", "ｱﾆﾒｰｼｮﾝ(&O)", page);
  AccentEnable = CheckBox("AccentEnable", "強調(&P)", page);
  AccentList = Named(new QListWidget(page), "AccentList");
  AccentList->setMinimumWidth(1);
  Button13 = Button("Button13", "ﾘｽﾄ追加(&Q)", page);
  Button14 = Button("Button14", "ﾘｽﾄ削除(&R)", page);

  layout->addWidget(CheckBox1);
  layout->addLayout(pitchRow);
  layout->addWidget(MotionEnable);
  layout->addWidget(AccentEnable);
  layout->addWidget(AccentList, 1);
  layout->addWidget(Button13);
  layout->addWidget(Button14);

  connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
  connect(Pitch, &QLineEdit::textChanged, this, [this] { PitchChange(); });
  connect(MotionEnable, &QCheckBox::clicked, this, [this] { MotionEnableClick(); });
  connect(AccentEnable, &QCheckBox::clicked, this, [this] { AccentEnableClick(); });
  connect(Button13, &QPushButton::clicked, this, [this] { Button13Click(); });
  connect(Button14, &QPushButton::clicked, this, [this] { Button14Click(); });
  return page;
}

void TConfigPanel::ShowViewSettings() {
  AccentList->clear();
  for (const std::string& word : TerminalView.AccentWords().Strings())
    AccentList->addItem(ToQString(word));
  AccentList->setCurrentRow(0);
  MotionEnable->setChecked(!TerminalView.IgnoreMotion());
  AccentEnable->setChecked(!TerminalView.IgnoreAccent());
  CheckBox1->setChecked(TerminalView.EightyColumns());
  Pitch->setText(QString::number(TerminalView.VSpace()));
  for (int tag = 0; tag < kColorButtons; ++tag) {
    const TColorButton& entry = kColorButtonTable[tag];
    ShowButtonColor(tag, (TerminalView.*entry.get)());
  }
}

// A colour button shows the colour it sets, its caption in black or white,
// whichever reads on it.
void TConfigPanel::ShowButtonColor(int tag, const QColor& color) {
  QPalette palette = FColorButtons[tag]->palette();
  palette.setColor(QPalette::Button, color);
  palette.setColor(QPalette::ButtonText, ReadableOn(color));
  FColorButtons[tag]->setPalette(palette);
}

// The chooser starts at the terminal view's value; the choice goes to both
// views. The text colour is also the base colour of the lines added from now on.
void TConfigPanel::Button1Click(int tag) {
  const TColorButton& entry = kColorButtonTable[tag];
  const std::optional<QColor> color = PlatformUi().ChooseColor((TerminalView.*entry.get)());
  if (!color) return;
  ShowButtonColor(tag, *color);
  for (TQuokkaView* view : {&TerminalView, &LogView}) {
    (view->*entry.set)(*color);
    if (tag == kTextColorTag) view->SetTextColor(*color);
  }
}

// The view font changes the terminal view only; the history view takes it at
// the next start. A font has no colour here, so the text colour stays. Sizes
// are kept within the range the settings allow.
void TConfigPanel::Button11Click(int tag) {
  if (tag == kViewFontTag) {
    if (const std::optional<QFont> font = PlatformUi().ChooseFont(ShownFont(TerminalView.font()))) {
      TerminalView.setFont(BoundFont(*font, logicalDpiY()));
      if (OnViewFontChange) OnViewFontChange();
    }
  }
  if (tag == kInputFontTag && InputFont) {
    const std::optional<QFont> font = PlatformUi().ChooseFont(ShownFont(InputFont()));
    if (font && OnInputFontChange) OnInputFontChange(BoundFont(*font, logicalDpiY()));
  }
}

// Lines already stored keep their fold; new lines take the new width.
void TConfigPanel::CheckBox1Click() {
  for (TQuokkaView* view : {&TerminalView, &LogView})
    view->SetEightyColumns(CheckBox1->isChecked());
}

void TConfigPanel::PitchChange() {
  const int pitch = PitchValue(Pitch->text());
  for (TQuokkaView* view : {&TerminalView, &LogView}) view->SetVSpace(pitch);
  Pitch->setText(QString::number(pitch));
}

void TConfigPanel::MotionEnableClick() {
  TerminalView.SetIgnoreMotion(!MotionEnable->isChecked());
}

void TConfigPanel::AccentEnableClick() {
  TerminalView.SetIgnoreAccent(!AccentEnable->isChecked());
}

void TConfigPanel::Button13Click() {
  QString answer;
  if (!PlatformUi().InputQuery("強調文字の追加", "強調したい文字を入力してください", answer))
    return;
  const std::string word = NormalizeText(FromQString(answer));
  if (word.empty()) return;
  AccentList->addItem(ToQString(word));
  TerminalView.AccentWords().Add(word);
  LogView.AccentWords().Add(word);
  if (OnAccentAdd) OnAccentAdd();
}

// No word stays selected afterwards, so that a second press removes nothing
// by surprise.
void TConfigPanel::Button14Click() {
  const int index = AccentList->currentRow();
  if (index < 0 || AccentList->selectedItems().isEmpty()) return;
  TerminalView.AccentWords().Delete(index);
  LogView.AccentWords().Delete(index);
  delete AccentList->takeItem(index);
  AccentList->setCurrentRow(-1);
}
