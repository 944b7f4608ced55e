// The program's options beside the start-up address.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include "session/CommandLine.h"
#include "support/EventWait.h"
#include "support/ProgramRun.h"

namespace {

TEST(CommandLineTest, ReadsOptionsAndLeavesTheAddress) {
  struct TCase {
    QStringList arguments;
    bool help, version;
    std::optional<quint16> demoPort;
    QStringList address;
    bool error;
  };
  const TCase cases[] = {
      {{}, false, false, std::nullopt, {}, false},
      {{"--help"}, true, false, std::nullopt, {}, false},
      {{"-v"}, false, true, std::nullopt, {}, false},
      {{"--demo", "2323"}, false, false, 2323, {}, false},
      {{"host.example", "23"}, false, false, std::nullopt, {"host.example", "23"}, false},
      {{"telnet://[::1]:2323/"}, false, false, std::nullopt, {"telnet://[::1]:2323/"}, false},
      {{"--demo"}, false, false, std::nullopt, {}, true},
      {{"--demo", "0"}, false, false, std::nullopt, {}, true},
      {{"--demo", "70000"}, false, false, std::nullopt, {}, true},
      {{"--demo", "x"}, false, false, std::nullopt, {}, true},
      {{"--demo", "2323", "host"}, false, false, 2323, {"host"}, true},
      {{"--bogus"}, false, false, std::nullopt, {}, true},
      // Qt's options, with their values, are left to Qt.
      {{"-platform", "offscreen", "host"}, false, false, std::nullopt, {"host"}, false},
      {{"--style=Fusion", "-reverse", "-display", ":1", "--demo", "23"},
       false, false, 23, {}, false},
      {{"-stylesheet", "a.qss", "-geometry", "640x480", "host", "2323"},
       false, false, std::nullopt, {"host", "2323"}, false},
      {{"-platformx"}, false, false, std::nullopt, {}, true},
      // An address is a telnet URL alone, or a host and a port.
      {{"::1", "2323"}, false, false, std::nullopt, {"::1", "2323"}, false},
      {{"http://bbs.example/"}, false, false, std::nullopt, {"http://bbs.example/"}, true},
      {{"telnet://bbs.example/", "23"}, false, false, std::nullopt,
       {"telnet://bbs.example/", "23"}, true},
      {{"bbs.example", "23", "x"}, false, false, std::nullopt, {"bbs.example", "23", "x"}, true},
  };
  for (const TCase& c : cases) {
    const TCommandLine line = ParseCommandLine(c.arguments);
    const std::string name = c.arguments.join(' ').toStdString();
    EXPECT_EQ(line.Help, c.help) << name;
    EXPECT_EQ(line.Version, c.version) << name;
    EXPECT_EQ(line.DemoPort, c.demoPort) << name;
    EXPECT_EQ(line.Address, c.address) << name;
    EXPECT_EQ(!line.Error.isEmpty(), c.error) << name;
  }
}

// The program itself, without a display: neither DISPLAY nor WAYLAND_DISPLAY
// nor a Qt platform is set, so only what needs no display can succeed.
class ProgramCommandLineTest : public testing::Test {
 protected:
  static constexpr int kWaitMs = 20000;

  ProgramCommandLineTest() {
    QProcessEnvironment environment = EnvironmentWithoutDisplay();
    environment.insert("WOMBAT_HOME", DataFolder());
    environment.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    process.setProcessEnvironment(environment);
    QDir().mkpath(DataFolder());
  }
  ~ProgramCommandLineTest() override {
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished();
    }
  }
  QString DataFolder() const { return dir.filePath("data"); }
  QString SettingsFile() const { return dir.filePath("config/Zeb/Wombat.conf"); }
  void StartWombat(const QStringList& arguments) {
    process.start(WOMBAT_BINARY_DIR "/src/wombat", arguments);
    ASSERT_TRUE(process.waitForStarted());
  }

  QTemporaryDir dir;
  QProcess process;
};

TEST_F(ProgramCommandLineTest, AWrongCommandLineIsRefusedInOneLineWithoutADisplay) {
  const QStringList cases[] = {{"--bogus"},           {"-x"},
                               {"--demo"},            {"--demo", "0"},
                               {"--demo", "2323", "host"}, {"http://bbs.example/"},
                               {"bbs.example", "23", "extra"}};
  for (const QStringList& arguments : cases) {
    StartWombat(arguments);
    ASSERT_TRUE(process.waitForFinished(kWaitMs));
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    const std::string name = arguments.join(' ').toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << name;
    EXPECT_EQ(process.exitCode(), 2) << name;
    EXPECT_TRUE(error.startsWith("wombat: ")) << name << ": " << error.toStdString();
    EXPECT_EQ(error.count('\n'), 1) << name << ": " << error.toStdString();
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty()) << name;
  }
}

TEST_F(ProgramCommandLineTest, HelpAndVersionNeedNoDisplay) {
  for (const char* option : {"--help", "--version"}) {
    StartWombat({option});
    ASSERT_TRUE(process.waitForFinished(kWaitMs));
    EXPECT_EQ(process.exitCode(), 0) << option;
    EXPECT_FALSE(process.readAllStandardOutput().isEmpty()) << option;
  }
}

// Qt's own options reach Qt (without a display only "-platform offscreen"
// can start the window), and SIGTERM during the message box of an entry
// that cannot be loaded ends the program through its normal path: exit
// status 0, the settings read and written again.
TEST_F(ProgramCommandLineTest, QtOptionsWorkAndSigtermAtStartWritesTheSettings) {
  QFile(DataFolder() + "/Broken.ap").open(QIODevice::WriteOnly);
  {
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    settings.setValue("AccessList/Default", "Broken");
    settings.setValue("Settings/TimeOut", "77");
  }
  StartWombat({"-platform", "offscreen", "-style", "Fusion"});
  ASSERT_TRUE(WaitUntil(
      [&] {
        return QSettings(SettingsFile(), QSettings::IniFormat).contains("Directory/ExeName");
      },
      kWaitMs))
      << process.readAllStandardError().toStdString();
  ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
  ASSERT_TRUE(process.waitForFinished(kWaitMs));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  QSettings settings(SettingsFile(), QSettings::IniFormat);
  EXPECT_EQ(settings.value("Settings/TimeOut").toString(), "77");
  EXPECT_FALSE(settings.value("MainWindow/Width").toString().isEmpty());
  EXPECT_FALSE(settings.contains("Directory/LinkServer"));
}

}  // namespace
