#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QSettings>
#include <csignal>
#include <fstream>
#include <memory>
#include <utility>

#include "session/WombatForm.h"
#include "support/EventWait.h"
#include "support/ScriptedUi.h"
#include "support/TempHome.h"
#include "text/Codec.h"
#include "text/LogMgr.h"
#include "view/QuokkaView.h"

namespace {

class WombatFormSettingsTest : public testing::Test {
 protected:
  void Start() { form = std::make_unique<TWombatForm>(); }
  void Stop() { form.reset(); }
  TQuokkaView& View(const char* name) {
    auto* view = static_cast<TQuokkaView*>(form->findChild<QWidget*>(name));
    EXPECT_NE(view, nullptr);
    return *view;
  }
  static void Store(const QString& path, const QString& text) {
    QSettings("Zeb", "Wombat").setValue(path, text);
  }
  static QString Stored(const QString& path) {
    return QSettings("Zeb", "Wombat").value(path).toString();
  }
  static std::vector<std::string> Words(TQuokkaView& view) { return view.AccentWords().Strings(); }

  TTempHome home;
  TScriptedUi ui;
  std::unique_ptr<TWombatForm> form;
};

TEST_F(WombatFormSettingsTest, EveryValueSurvivesALoadAndASave) {
  QDir().mkpath(home.DataFile("logs"));
  const std::pair<QString, QString> values[] = {
      {"AccessList/Default", "Tern(Telnet)"},
      {"MainWindow/Left", "40"},
      {"MainWindow/Top", "60"},
      {"MainWindow/Height", "420"},
      {"MainWindow/Width", "560"},
      {"MainWindow/TermHeight", "333"},
      {"Settings/FunctionKey", "0"},
      {"Sounds/Connected", "/sounds/Ring.wav"},
      {"Sounds/Disconnected", "/sounds/Bye.wav"},
      {"Settings/TimeOut", "90"},
      {"Settings/LogFolder", home.DataFile("logs") + "/"},
      {"Settings/LogEnabled", "0"},
      {"Settings/IShortCutDir", "/links"},
      {"MainWondow/Terminal/EightyColumn", "0"},
      {"MainWondow/Terminal/VSpace", "3"},
      {"MainWondow/Terminal/Color", "12632256"},
      {"MainWondow/Terminal/UserColor", "255"},
      {"MainWondow/Terminal/PageColor", "65280"},
      {"MainWondow/Terminal/HandleColor", "16711680"},
      {"MainWondow/Terminal/AddressColor", "8421376"},
      {"MainWondow/Terminal/MailAddressColor", "8388736"},
      {"MainWondow/Terminal/AccentColor", "65535"},
      {"MainWondow/Terminal/AccentBackColor", "0"},
      {"MainWondow/Terminal/ConvColor", "8421504"},
      {"MainWondow/Terminal/IgnoreAccent", "1"},
      {"MainWondow/Terminal/IgnoreMotion", "1"},
      {"MainWondow/Terminal/MotionInterval", "450"},
      {"MainWindow/Font/Terminal/Color", "128"},
      {"MainWindow/Font/Terminal/Height", "-16"},
      {"MainWindow/Font/Terminal/Name", "ＭＳ ゴシック"},
      {"MainWindow/Font/Terminal/Pitch", "2"},
      {"MainWindow/Font/Terminal/Size", "12"},
      {"MainWindow/Font/Terminal/Bold", "1"},
      {"MainWindow/Font/Terminal/Italic", "0"},
      {"MainWindow/Font/InputBox/Color", "32768"},
      {"MainWindow/Font/InputBox/Height", "-20"},
      {"MainWindow/Font/InputBox/Name", "ＭＳ Ｐゴシック"},
      {"MainWindow/Font/InputBox/Pitch", "1"},
      {"MainWindow/Font/InputBox/Size", "15"},
      {"MainWindow/Font/InputBox/Bold", "0"},
      {"MainWindow/Font/InputBox/Italic", "1"},
      {"MainWondow/Terminal/AccentNumber", "2"},
      {"MainWondow/Terminal/Accent1", "ABC"},
      {"MainWondow/Terminal/Accent2", "テスト"},
  };
  for (const auto& [path, text] : values) Store(path, text);

  Start();
  EXPECT_EQ(form->SelectedEntry(), "Tern(Telnet)");
  EXPECT_EQ(form->geometry().size(), QSize(560, 420));
  EXPECT_TRUE(form->findChild<QFrame*>("FunctionPanel")->isHidden());
  EXPECT_EQ(form->ReconnectTimeOut(), 90);
  EXPECT_FALSE(form->LogMgr().Enabled());
  TQuokkaView& terminal = View("TerminalView");
  TQuokkaView& log = View("LogView");
  EXPECT_EQ(terminal.UserColor(), QColor(255, 0, 0));
  EXPECT_EQ(terminal.Color(), QColor(192, 192, 192));
  EXPECT_EQ(terminal.font().pointSize(), 12);
  EXPECT_TRUE(terminal.font().bold());
  EXPECT_EQ(terminal.FontColor(), QColor(128, 0, 0));
  EXPECT_EQ(terminal.TextColor(), QColor(128, 0, 0));
  // The log view takes the terminal view's values, all but the background.
  EXPECT_EQ(log.UserColor(), QColor(255, 0, 0));
  EXPECT_EQ(log.ConvColor(), QColor(128, 128, 128));
  EXPECT_TRUE(log.IgnoreMotion());
  EXPECT_EQ(log.MotionInterval(), 450);
  EXPECT_FALSE(log.EightyColumns());
  EXPECT_EQ(log.VSpace(), 3);
  EXPECT_EQ(log.font(), terminal.font());
  EXPECT_NE(log.Color(), terminal.Color());
  EXPECT_EQ(Words(log), (std::vector<std::string>{"ABC", Sjis("テスト")}));
  Stop();

  for (const auto& [path, text] : values) EXPECT_EQ(Stored(path), text) << path.toStdString();
}

TEST_F(WombatFormSettingsTest, EmphasisedWordsAreNormalisedAndEmptyOnesSkipped) {
  Store("MainWondow/Terminal/AccentNumber", "3");
  Store("MainWondow/Terminal/Accent1", "ｗｏｍｂａｔ");
  Store("MainWondow/Terminal/Accent2", "");
  Store("MainWondow/Terminal/Accent3", "ﾃｽﾄ");
  Store("MainWondow/Terminal/Accent4", "beyond the count");
  Start();
  const std::vector<std::string> expected{"WOMBAT", Sjis("テスト")};
  EXPECT_EQ(Words(View("TerminalView")), expected);
  EXPECT_EQ(Words(View("LogView")), expected);
  Stop();
  EXPECT_EQ(Stored("MainWondow/Terminal/AccentNumber"), "2");
  EXPECT_EQ(Stored("MainWondow/Terminal/Accent2"), "テスト");
  EXPECT_EQ(Stored("MainWondow/Terminal/Accent4"), "beyond the count");
}

TEST_F(WombatFormSettingsTest, WithoutSettingsBothViewsTakeTheTerminalViewsDesign) {
  Start();
  TQuokkaView& terminal = View("TerminalView");
  TQuokkaView& log = View("LogView");
  EXPECT_EQ(terminal.MaxLineCount(), 100);
  EXPECT_EQ(log.MaxLineCount(), 5000);
  EXPECT_TRUE(terminal.AutoScroll());
  EXPECT_FALSE(log.AutoScroll());
  EXPECT_TRUE(log.isHidden());
  for (TQuokkaView* view : {&terminal, &log}) {
    EXPECT_EQ(view->UserColor(), QColor(0, 128, 0));
    EXPECT_EQ(view->PageColor(), QColor(128, 0, 128));
    EXPECT_EQ(view->HandleColor(), QColor(255, 0, 0));
    EXPECT_EQ(view->AddressColor(), QColor(0, 0, 255));
    EXPECT_TRUE(view->EightyColumns());
    EXPECT_EQ(view->VSpace(), 1);
    EXPECT_FALSE(view->IgnoreMotion());
    EXPECT_EQ(view->MotionInterval(), 300);
    EXPECT_EQ(view->font().family(), "ＭＳ ゴシック");
  }
  Stop();
  EXPECT_EQ(Stored("MainWondow/Terminal/Color"), QString::number(clWindow));
  EXPECT_EQ(Stored("MainWondow/Terminal/MailAddressColor"), QString::number(clGreen));
  EXPECT_EQ(Stored("MainWindow/Font/Terminal/Name"), "ＭＳ ゴシック");
  EXPECT_EQ(Stored("MainWondow/Terminal/AccentNumber"), "0");
}

// A file that cannot be parsed is kept aside, byte for byte, and the program
// starts with its defaults, says so once, and writes a new file at exit.
TEST_F(WombatFormSettingsTest, AnUnparsableSettingsFileIsKeptAsideAndTheDefaultsUsed) {
  const QString fileName = QSettings("Zeb", "Wombat").fileName();
  const QByteArray bytes = "[MainWindow\nLeft=10\n\x01\xff[";
  ASSERT_TRUE(QDir().mkpath(QFileInfo(fileName).path()));
  {
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  ASSERT_EQ(QSettings("Zeb", "Wombat").status(), QSettings::FormatError);

  Start();
  ASSERT_EQ(ui.messages.size(), 1);
  EXPECT_TRUE(ui.messages.front().contains(fileName + ".unreadable"))
      << ui.messages.front().toStdString();
  QFile kept(fileName + ".unreadable");
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), bytes);
  EXPECT_EQ(View("TerminalView").VSpace(), 1);
  Stop();

  EXPECT_EQ(QSettings("Zeb", "Wombat").status(), QSettings::NoError);
  EXPECT_EQ(Stored("MainWondow/Terminal/VSpace"), "1");
  Start();
  EXPECT_EQ(ui.messages.size(), 1);
}

// A signal while the first message box of the start is open (an entry that
// cannot be loaded) no longer ends the program on the spot: the window reads
// its settings, then closes through its normal path, which writes them.
TEST_F(WombatFormSettingsTest, SigtermDuringTheFirstMessageBoxAtStartClosesAndKeepsTheSettings) {
  std::ofstream(home.DataFile("Broken.ap").toStdString());
  Store("AccessList/Default", "Broken");
  Store("Settings/TimeOut", "77");
  ui.whileMessageShown = [&](const QString&) {
    if (ui.messages.size() == 1) std::raise(SIGTERM);
  };
  Start();
  ASSERT_FALSE(ui.messages.isEmpty());
  EXPECT_TRUE(ui.messages.front().startsWith("Broken")) << ui.messages.front().toStdString();
  form->show();
  EXPECT_TRUE(WaitUntil([&] { return !form->isVisible(); }));
  Stop();
  EXPECT_EQ(Stored("Settings/TimeOut"), "77");
  EXPECT_EQ(Stored("AccessList/Default"), "Broken");
  EXPECT_FALSE(Stored("MainWindow/Width").isEmpty());
}

}  // namespace
