// The view settings panel, driven through the main window as the user would:
// opening and closing it, every colour and font button with the choosers
// answered by the test, folding, line spacing, animation, emphasis and the
// emphasised words, and what of it the next start brings back.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <string>
#include <vector>

#include "session/ConnectingFixture.h"
#include "text/Analysis.h"
#include "text/Codec.h"

namespace {

class ConfigPanelTest : public ConnectingTest {
 protected:
  void StartPanelTest() {
    SaveTelnetEntry("Peer", peer.Port());
    Start();
    terminal = View("TerminalView");
    log = View("LogView");
  }
  void Restart() {
    form.reset();
    StartPanelTest();
  }
  void Trigger(const char* command) { Get<QAction>(command)->trigger(); }
  void Press(const char* button) { Get<QAbstractButton>(button)->click(); }
  bool PanelShown() { return !Get<QFrame>("ConfigPanel")->isHidden(); }
  bool Checked(const char* box) { return Get<QCheckBox>(box)->isChecked(); }
  void SetHeight(int height) {
    form->resize(form->width(), height);
    QApplication::processEvents();
    ASSERT_EQ(form->height(), height);
  }
  // A colour button shows its colour as its face.
  QColor FaceColor(const char* button) {
    return Get<QPushButton>(button)->palette().color(QPalette::Button);
  }
  QColor CaptionColor(const char* button) {
    return Get<QPushButton>(button)->palette().color(QPalette::ButtonText);
  }
  QStringList ListedWords() {
    QStringList words;
    auto* list = Get<QListWidget>("AccentList");
    for (int i = 0; i < list->count(); ++i) words << list->item(i)->text();
    return words;
  }
  static std::vector<std::string> Words(TQuokkaView* view) { return view->AccentWords().Strings(); }
  // The host sends the lines, each ended by CR.
  void Receive(const std::vector<std::string>& lines) {
    const int expected = log->LineCount() + static_cast<int>(lines.size());
    SendFromHost(peer, lines);
    ASSERT_TRUE(WaitUntil([&] { return log->LineCount() >= expected; }, kWaitMs));
  }

  TLoopbackPeer peer;
  TQuokkaView* terminal = nullptr;
  TQuokkaView* log = nullptr;
};

// Pixels of exactly `color` in the image.
int CountPixels(const QImage& image, const QColor& color) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y).rgb() == color.rgb();
  return count;
}

TEST_F(ConfigPanelTest, ALowWindowGrowsWhileThePanelIsOpenAndReturnsWhenTheSameCommandClosesIt) {
  StartPanelTest();
  SetHeight(400);
  Trigger("A1");
  EXPECT_TRUE(PanelShown());
  EXPECT_EQ(form->height(), 551);
  // The popup menu's command is the same one.
  Trigger("A2");
  EXPECT_FALSE(PanelShown());
  EXPECT_EQ(form->height(), 400);

  Trigger("A1");
  Press("Button15");
  EXPECT_FALSE(PanelShown());
  EXPECT_EQ(form->height(), 551);
  auto* input = Get<QComboBox>("InputEdit");
  EXPECT_TRUE(form->focusWidget() == input || form->focusWidget() == input->lineEdit());

  form.reset();
  EXPECT_EQ(QSettings("Zeb", "Wombat").value("MainWindow/TermHeight").toString(), "400");
}

TEST_F(ConfigPanelTest, ATallWindowKeepsItsHeight) {
  StartPanelTest();
  SetHeight(600);
  Trigger("A1");
  EXPECT_EQ(form->height(), 600);
  Trigger("A1");
  EXPECT_EQ(form->height(), 600);
}

TEST_F(ConfigPanelTest, OpeningAndClosingOnAFullViewLeavesTheHistoryViewClosed) {
  StartPanelTest();
  SetHeight(400);
  std::vector<std::string> lines;
  for (int i = 1; i <= 300; ++i) lines.push_back("line " + std::to_string(i));
  Receive(lines);
  for (const char* command : {"A1", "A1"}) {
    Trigger(command);
    RunEventsFor(100);
    EXPECT_TRUE(log->isHidden());
    EXPECT_EQ(terminal->BottomLine(), terminal->LineCount() - 1);
  }
}

TEST_F(ConfigPanelTest, TheOpenedPanelShowsTheTerminalViewsSettings) {
  SetSetting("MainWondow/Terminal/EightyColumn", "0");
  SetSetting("MainWondow/Terminal/VSpace", "3");
  SetSetting("MainWondow/Terminal/IgnoreMotion", "1");
  SetSetting("MainWondow/Terminal/PageColor", "255");
  SetSetting("MainWondow/Terminal/AccentNumber", "2");
  SetSetting("MainWondow/Terminal/Accent1", "ABC");
  SetSetting("MainWondow/Terminal/Accent2", "XYZ");
  StartPanelTest();
  Trigger("A1");
  EXPECT_FALSE(Checked("CheckBox1"));
  EXPECT_EQ(Get<QLineEdit>("Pitch")->text(), "3");
  EXPECT_FALSE(Checked("MotionEnable"));
  EXPECT_TRUE(Checked("AccentEnable"));
  EXPECT_EQ(ListedWords(), QStringList({"ABC", "XYZ"}));
  EXPECT_EQ(Get<QListWidget>("AccentList")->currentRow(), 0);
  EXPECT_EQ(FaceColor("BitBtn4"), QColor(255, 0, 0));
  EXPECT_EQ(FaceColor("BitBtn5"), terminal->HandleColor());
}

TEST_F(ConfigPanelTest, PitchTakesWholeNumbersAndShowsWhatItTook) {
  StartPanelTest();
  Trigger("A1");
  auto* pitch = Get<QLineEdit>("Pitch");
  const struct {
    const char* typed;
    int spacing;
  } cases[] = {{"abc", 1},         {"-5", 1},    {"", 1},  {"3x", 1},
               {"99999999999", 1}, {"1000", 99}, {"0", 0}, {"4", 4}};
  for (const auto& c : cases) {
    pitch->setText(c.typed);
    EXPECT_EQ(terminal->VSpace(), c.spacing) << c.typed;
    EXPECT_EQ(log->VSpace(), c.spacing) << c.typed;
    EXPECT_EQ(pitch->text(), QString::number(c.spacing)) << c.typed;
  }
  Restart();
  EXPECT_EQ(log->VSpace(), 4);
}

TEST_F(ConfigPanelTest, AddedWordsAreNormalisedIntoBothViewsAndRemovedFromBoth) {
  StartPanelTest();
  Enter("hello");
  auto* input = Get<QComboBox>("InputEdit");
  ASSERT_EQ(input->count(), 1);
  Trigger("A1");

  ui.inputs = {QString("ｗｏｍｂａｔ"), QString(""), std::nullopt, QString("ﾃｽﾄ")};
  for (int i = 0; i < 4; ++i) Press("Button13");
  EXPECT_EQ(ui.inputCaptions.first(), "強調文字の追加");
  EXPECT_EQ(ui.questions.first(), "強調したい文字を入力してください");
  const std::vector<std::string> expected{"WOMBAT", Sjis("テスト")};
  EXPECT_EQ(Words(terminal), expected);
  EXPECT_EQ(Words(log), expected);
  EXPECT_EQ(ListedWords(), QStringList({"WOMBAT", "テスト"}));
  // The input line is emptied together with its history.
  EXPECT_EQ(input->count(), 0);
  EXPECT_TRUE(input->currentText().isEmpty());

  Get<QListWidget>("AccentList")->setCurrentRow(0);
  Press("Button14");
  // Nothing is selected any more: a second press removes nothing.
  Press("Button14");
  EXPECT_EQ(Words(terminal), std::vector<std::string>{Sjis("テスト")});
  EXPECT_EQ(Words(log), std::vector<std::string>{Sjis("テスト")});
  EXPECT_EQ(ListedWords(), QStringList({"テスト"}));

  Restart();
  EXPECT_EQ(Words(log), std::vector<std::string>{Sjis("テスト")});
}

TEST_F(ConfigPanelTest, AnimationAndEmphasisSwitchTheTerminalViewNowAndBothViewsAfterARestart) {
  StartPanelTest();
  Trigger("A1");
  ASSERT_TRUE(Checked("MotionEnable"));
  ASSERT_TRUE(Checked("AccentEnable"));
  Press("MotionEnable");
  Press("AccentEnable");
  EXPECT_TRUE(terminal->IgnoreMotion());
  EXPECT_TRUE(terminal->IgnoreAccent());
  EXPECT_FALSE(log->IgnoreMotion());
  EXPECT_FALSE(log->IgnoreAccent());

  Restart();
  for (TQuokkaView* view : {terminal, log}) {
    EXPECT_TRUE(view->IgnoreMotion());
    EXPECT_TRUE(view->IgnoreAccent());
  }
  Trigger("A1");
  EXPECT_FALSE(Checked("MotionEnable"));
  EXPECT_FALSE(Checked("AccentEnable"));
}

struct TColorButtonCase {
  const char* button;
  QColor (TQuokkaView::*property)() const;
};

const TColorButtonCase kColorButtons[] = {
    {"BitBtn1", &TQuokkaView::FontColor},    {"BitBtn2", &TQuokkaView::Color},
    {"BitBtn3", &TQuokkaView::UserColor},    {"BitBtn4", &TQuokkaView::PageColor},
    {"BitBtn5", &TQuokkaView::HandleColor},  {"BitBtn6", &TQuokkaView::ConvColor},
    {"BitBtn7", &TQuokkaView::AddressColor}, {"BitBtn8", &TQuokkaView::MailAddressColor},
    {"BitBtn9", &TQuokkaView::AccentColor},  {"BitBtn10", &TQuokkaView::AccentBackColor},
};

QColor ChosenColor(int tag) {
  return QColor(20 + tag, 40 + 2 * tag, 200 - 3 * tag);
}

TEST_F(ConfigPanelTest, EachColourButtonSetsBothViewsAndTheNextStart) {
  StartPanelTest();
  Trigger("A1");
  // Cancelled: nothing changes.
  const QColor userColor = terminal->UserColor();
  Press("BitBtn3");
  EXPECT_EQ(terminal->UserColor(), userColor);
  EXPECT_EQ(FaceColor("BitBtn3"), userColor);

  for (int tag = 0; tag < 10; ++tag) {
    const TColorButtonCase& c = kColorButtons[tag];
    const QColor before = (terminal->*c.property)();
    ui.colors.push_back(ChosenColor(tag));
    Press(c.button);
    EXPECT_EQ(ui.offeredColors.last(), before) << c.button;
    EXPECT_EQ(FaceColor(c.button), ChosenColor(tag)) << c.button;
    EXPECT_EQ((terminal->*c.property)(), ChosenColor(tag)) << c.button;
    EXPECT_EQ((log->*c.property)(), ChosenColor(tag)) << c.button;
  }
  // The text colour is also the colour of the lines added from now on.
  EXPECT_EQ(terminal->TextColor(), ChosenColor(0));
  EXPECT_EQ(log->TextColor(), ChosenColor(0));

  Restart();
  Trigger("A1");
  for (int tag = 0; tag < 10; ++tag) {
    const TColorButtonCase& c = kColorButtons[tag];
    EXPECT_EQ((terminal->*c.property)(), ChosenColor(tag)) << c.button;
    EXPECT_EQ(FaceColor(c.button), ChosenColor(tag)) << c.button;
    // The history view takes every colour but the background at the start.
    if (tag != 1) {
      EXPECT_EQ((log->*c.property)(), ChosenColor(tag)) << c.button;
    }
  }
  EXPECT_EQ(log->TextColor(), ChosenColor(0));
}

// The caption is black or white, whichever reads on the button's colour:
// the white background and emphasis background get black captions.
TEST_F(ConfigPanelTest, ColourButtonCaptionsReadOnTheirColour) {
  StartPanelTest();
  Trigger("A1");
  EXPECT_EQ(CaptionColor("BitBtn2"), QColor(Qt::black)) << "on the white background colour";
  EXPECT_EQ(CaptionColor("BitBtn10"), QColor(Qt::black));
  const std::pair<QColor, QColor> cases[] = {
      {QColor(0, 0, 128), Qt::white}, {QColor(255, 255, 0), Qt::black},
      {QColor(0, 0, 0), Qt::white},   {QColor(192, 192, 192), Qt::black}};
  for (const auto& [colour, caption] : cases) {
    ui.colors.push_back(colour);
    Press("BitBtn2");
    EXPECT_EQ(FaceColor("BitBtn2"), colour) << colour.name().toStdString();
    EXPECT_EQ(CaptionColor("BitBtn2"), caption) << colour.name().toStdString();
  }
  // Drawn: the face in (the shades the style gives) its colour.
  const QImage face = Get<QPushButton>("BitBtn2")->grab().toImage();
  int near = 0;
  for (int y = 0; y < face.height(); ++y)
    for (int x = 0; x < face.width(); ++x) {
      const QColor pixel = face.pixelColor(x, y);
      near += std::abs(pixel.red() - 192) + std::abs(pixel.green() - 192) +
                  std::abs(pixel.blue() - 192) < 40;
    }
  EXPECT_GT(near, face.width() * face.height() / 4);
}

// The chooser opens on the current font: on the family that stands in for
// the design font, which its list holds.
TEST_F(ConfigPanelTest, TheFontChooserOpensOnTheFontInUse) {
  StartPanelTest();
  Trigger("A1");
  for (const char* button : {"BitBtn11", "BitBtn12"}) {
    Press(button);
    ASSERT_FALSE(ui.offeredFonts.isEmpty());
    const QFont offered = ui.offeredFonts.last();
    EXPECT_TRUE(QFontDatabase::families().contains(offered.family()))
        << button << ": " << offered.family().toStdString();
    const QFont shown = std::string(button) == "BitBtn11" ? terminal->font()
                                                         : Get<QComboBox>("InputEdit")->font();
    EXPECT_EQ(offered.family(), QFontInfo(shown).family()) << button;
    EXPECT_EQ(offered.pixelSize(), shown.pixelSize()) << button;
  }
}

TEST_F(ConfigPanelTest, AChosenPageColourShowsAtOnceInBothViews) {
  StartPanelTest();
  const std::string page = "  ABC12345  " + ServiceTexts().PageNotice;
  Receive(std::vector<std::string>(300, page));
  // Scrolling back opens the history view, which shows the same lines.
  Trigger("ScrollUp1");
  ASSERT_FALSE(log->isHidden());
  const QColor orange(230, 120, 0);
  for (TQuokkaView* view : {terminal, log}) ASSERT_EQ(CountPixels(view->PageImage(), orange), 0);

  Trigger("A1");
  ui.colors.push_back(orange);
  Press("BitBtn4");
  for (TQuokkaView* view : {terminal, log})
    EXPECT_GT(CountPixels(view->PageImage(), orange), 20) << view->objectName().toStdString();
}

TEST_F(ConfigPanelTest, FontsChangeTheTerminalViewOrTheInputLineAndKeepTheirColour) {
  SetSetting("MainWindow/Font/InputBox/Color", "128");
  StartPanelTest();
  Trigger("A1");
  const QColor textColor = terminal->FontColor();
  const int logSize = log->font().pointSize();
  QFont viewFont("IPAGothic");
  viewFont.setPointSize(logSize + 5);
  viewFont.setBold(true);
  ui.fonts = {viewFont, std::nullopt};
  Press("BitBtn11");
  Press("BitBtn11");
  EXPECT_EQ(ui.offeredFonts.last().pointSize(), terminal->font().pointSize());
  EXPECT_EQ(terminal->font().pointSize(), logSize + 5);
  EXPECT_TRUE(terminal->font().bold());
  EXPECT_EQ(terminal->FontColor(), textColor);
  // The history view takes the font at the next start.
  EXPECT_EQ(log->font().pointSize(), logSize);

  auto* input = Get<QComboBox>("InputEdit");
  const QFont inputBefore = input->font();
  QFont inputFont("IPAGothic");
  inputFont.setPointSize(20);
  ui.fonts = {inputFont};
  Press("BitBtn12");
  EXPECT_EQ(ui.offeredFonts.last().family(), QFontInfo(inputBefore).family());
  EXPECT_EQ(input->font().pointSize(), 20);
  EXPECT_EQ(Get<QFrame>("InputPanel")->maximumHeight(), input->sizeHint().height() + 2);
  EXPECT_EQ(input->palette().color(QPalette::Text), QColor(128, 0, 0));

  Restart();
  EXPECT_EQ(log->font().pointSize(), logSize + 5);
  EXPECT_TRUE(log->font().bold());
  EXPECT_EQ(Get<QComboBox>("InputEdit")->font().pointSize(), 20);
}

TEST_F(ConfigPanelTest, EightyColumnsSwitchesBothViewsForNewLines) {
  StartPanelTest();
  const std::string longLine(200, 'x');
  Receive({longLine});
  ASSERT_EQ(terminal->LineCount(), 3);
  Trigger("A1");
  // A window narrower than 80 columns beside the panel.
  form->resize(530, form->height());
  Press("CheckBox1");
  EXPECT_FALSE(terminal->EightyColumns());
  EXPECT_FALSE(log->EightyColumns());
  // Stored lines keep their fold; a new line folds at the window's width.
  EXPECT_EQ(terminal->Get(0).size(), 81u);
  Receive({longLine});
  EXPECT_NE(terminal->Get(3).size(), 81u);

  Restart();
  EXPECT_FALSE(log->EightyColumns());
}

}  // namespace
