// Installing into a temporary prefix: the programs, the desktop entry, the
// icon and the metainfo land where desktops look for them and pass their
// validators (when these are installed).
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

constexpr int kProcessWaitMs = 120000;

struct TRun {
  int ExitCode = -1;
  QString Output;
};

TRun RunProgram(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  TRun run;
  if (!process.waitForFinished(kProcessWaitMs)) return run;
  run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.Output = QString::fromUtf8(process.readAll());
  return run;
}

class InstallTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    prefix = new QTemporaryDir;
    installed = RunProgram("cmake", {"--install", WOMBAT_BINARY_DIR, "--prefix", prefix->path()});
  }
  static void TearDownTestSuite() { delete prefix; }
  static QString Installed(const QString& path) { return prefix->filePath(path); }
  static void Validate(const char* validator, QStringList arguments) {
    const QString program = QStandardPaths::findExecutable(validator);
    if (program.isEmpty()) GTEST_SKIP() << validator << " is not installed";
    const TRun run = RunProgram(program, arguments);
    EXPECT_EQ(run.ExitCode, 0) << run.Output.toStdString();
  }

  static inline QTemporaryDir* prefix = nullptr;
  static inline TRun installed;
};

TEST_F(InstallTest, InstallsProgramsDesktopEntryIconAndMetainfo) {
  ASSERT_EQ(installed.ExitCode, 0) << installed.Output.toStdString();
  for (const char* path :
       {"bin/wombat", "bin/wombat-demohost", "bin/wombat-link", "share/applications/wombat.desktop",
        "share/icons/hicolor/scalable/apps/wombat.svg",
        "share/metainfo/org.zeb.wombat.metainfo.xml"})
    EXPECT_TRUE(QFile::exists(Installed(path))) << path;
  const TRun version = RunProgram(Installed("bin/wombat"), {"--version"});
  EXPECT_EQ(version.ExitCode, 0);
  EXPECT_TRUE(version.Output.startsWith("Wombat ")) << version.Output.toStdString();
  const TRun help = RunProgram(Installed("bin/wombat-demohost"), {"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  EXPECT_TRUE(help.Output.contains("--port")) << help.Output.toStdString();
}

TEST_F(InstallTest, DesktopEntryPassesItsValidator) {
  ASSERT_EQ(installed.ExitCode, 0);
  Validate("desktop-file-validate", {Installed("share/applications/wombat.desktop")});
}

TEST_F(InstallTest, MetainfoPassesItsValidator) {
  ASSERT_EQ(installed.ExitCode, 0);
  Validate("appstreamcli", {"validate", "--no-net", Installed("share/metainfo/org.zeb.wombat.metainfo.xml")});
}

}  // namespace
