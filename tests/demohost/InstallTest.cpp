// Installing into a temporary prefix: the programs, the desktop entry, the
// icon, the metainfo and the manual pages land where desktops and man look
// for them, and pass their validators (when these are installed).
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "support/ProgramRun.h"

namespace {

constexpr int kProcessWaitMs = 120000;


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
    const TProgramRun run = RunProgram(program, arguments);
    EXPECT_EQ(run.ExitCode, 0) << (run.Output + run.Error).toStdString();
  }

  static inline QTemporaryDir* prefix = nullptr;
  static inline TProgramRun installed;
};

TEST_F(InstallTest, InstallsProgramsDesktopEntryIconMetainfoAndManualPages) {
  ASSERT_EQ(installed.ExitCode, 0) << (installed.Output + installed.Error).toStdString();
  for (const char* path : {"bin/wombat", "bin/wombat-demohost", "bin/wombat-link",
                           "share/applications/wombat.desktop",
                           "share/icons/hicolor/scalable/apps/wombat.svg",
                           "share/metainfo/org.zeb.wombat.metainfo.xml",
                           "share/man/man1/wombat.1.gz", "share/man/man1/wombat-link.1.gz",
                           "share/man/man1/wombat-demohost.1.gz",
                           "share/doc/wombat/copyright", "share/doc/wombat/changelog.gz"})
    EXPECT_TRUE(QFile::exists(Installed(path))) << path;
  const TProgramRun version = RunProgram(Installed("bin/wombat"), {"--version"});
  EXPECT_EQ(version.ExitCode, 0);
  EXPECT_TRUE(version.Output.startsWith("Wombat ")) << (version.Output + version.Error).toStdString();
  const TProgramRun help = RunProgram(Installed("bin/wombat-demohost"), {"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  EXPECT_TRUE(help.Output.contains("--port")) << (help.Output + help.Error).toStdString();
}

// man finds the pages of a prefix whose bin folder is on the PATH, as
// $HOME/.local/bin is for a user's own installation.
TEST_F(InstallTest, ManFindsTheInstalledPages) {
  ASSERT_EQ(installed.ExitCode, 0);
  if (QStandardPaths::findExecutable("man").isEmpty()) GTEST_SKIP() << "man is not installed";
  QProcess man;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("PATH", Installed("bin") + ":/usr/bin:/bin");
  environment.remove("MANPATH");
  man.setProcessEnvironment(environment);
  for (const char* page : {"wombat", "wombat-link", "wombat-demohost"}) {
    man.start("man", {"-w", page});
    ASSERT_TRUE(man.waitForFinished(kProcessWaitMs));
    EXPECT_EQ(QString::fromLocal8Bit(man.readAllStandardOutput()).trimmed(),
              Installed(QString("share/man/man1/%1.1.gz").arg(page)));
  }
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
