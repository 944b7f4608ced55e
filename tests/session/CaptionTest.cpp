// The caption as the window manager sees it on X11: the program runs on the
// xcb platform under a virtual X server, and the title property of its
// window is read with xprop.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "support/EventWait.h"
#include "support/LoopbackPeer.h"

namespace {

constexpr int kWaitMs = 10000;

QString Output(const QString& program, const QStringList& arguments, const QString& display) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DISPLAY", display);
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  process.waitForFinished(5000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

class CaptionTest : public testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
        QStandardPaths::findExecutable("xprop").isEmpty())
      GTEST_SKIP() << "Xvfb or xprop is missing (packages xvfb and x11-utils)";
    for (int number = 90 + QCoreApplication::applicationPid() % 100; display.isEmpty(); ++number)
      if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
        display = QStringLiteral(":%1").arg(number);
    server.start("Xvfb", {display, "-nolisten", "tcp", "-screen", "0", "800x600x24"});
    const QString socket = "/tmp/.X11-unix/X" + display.mid(1);
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(socket); }, kWaitMs));
  }
  void TearDown() override {
    for (QProcess* process : {&program, &server}) {
      if (process->state() == QProcess::NotRunning) continue;
      process->terminate();
      if (!process->waitForFinished(5000)) process->kill();
      process->waitForFinished();
    }
  }

  // Wombat on the virtual display, connecting to the peer at once; a silent
  // line is restarted after a second.
  void StartWombat() {
    QSettings(home.filePath("config/Zeb/Wombat.conf"), QSettings::IniFormat)
        .setValue("Settings/TimeOut", 1);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("WOMBAT_HOME", home.filePath("data"));
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    program.setProcessEnvironment(environment);
    program.start(WOMBAT_BINARY_DIR "/src/wombat",
                  {QStringLiteral("telnet://127.0.0.1:%1/").arg(peer.Port())});
  }

  // The title of the program's main window (the one with a window class),
  // as the window manager reads it.
  QString Title() {
    static const QRegularExpression window(R"(^\s+(0x[0-9a-f]+) "[^"]*": \("wombat")",
                                           QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match =
        window.match(Output("xwininfo", {"-root", "-children"}, display));
    if (!match.hasMatch()) return {};
    const QString property = Output("xprop", {"-id", match.captured(1), "_NET_WM_NAME"}, display);
    const qsizetype start = property.indexOf('"');
    return start < 0 ? QString() : property.mid(start + 1, property.lastIndexOf('"') - start - 1);
  }
  bool WaitForTitle(const QString& title) {
    return WaitUntil([&] { return Title() == title; }, kWaitMs);
  }

  QTemporaryDir home;
  QString display;
  QProcess server;
  QProcess program;
  TLoopbackPeer peer;
};

TEST_F(CaptionTest, TheWindowManagerSeesTheEntryWhileConnectedAndWombatOtherwise) {
  StartWombat();
  ASSERT_TRUE(peer.WaitForConnections(1, kWaitMs));
  EXPECT_TRUE(WaitForTitle("Wombat - Temp")) << Title().toStdString();
  // The silent line is restarted: "Wombat" while it waits to connect again,
  // then the same caption again.
  EXPECT_TRUE(WaitForTitle("Wombat")) << Title().toStdString();
  ASSERT_TRUE(peer.WaitForConnections(2, kWaitMs));
  EXPECT_TRUE(WaitForTitle("Wombat - Temp")) << Title().toStdString();
  peer.Send("alive\r");
  peer.CloseClient();
  EXPECT_TRUE(WaitForTitle("Wombat")) << Title().toStdString();
}

}  // namespace
