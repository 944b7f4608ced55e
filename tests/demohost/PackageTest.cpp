// The Debian package of this build passes Debian's checker, lintian, without
// an error or a warning. The package is made by cpack from the tree already
// built; the test is skipped where lintian is not installed.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "support/ProgramRun.h"

namespace {

constexpr int kWaitMs = 240000;


TEST(PackageTest, LintianFindsNoErrorOrWarning) {
  const QString lintian = QStandardPaths::findExecutable("lintian");
  if (lintian.isEmpty()) GTEST_SKIP() << "lintian is not installed (make package installs it)";
  QTemporaryDir output;
  const TProgramRun packed =
      RunProgram("cpack",
                 {"-G", "DEB", "-B", output.path(), "--config", WOMBAT_BINARY_DIR "/CPackConfig.cmake"},
                 kWaitMs);
  ASSERT_EQ(packed.ExitCode, 0) << (packed.Output + packed.Error).toStdString();
  const QStringList packages = QDir(output.path()).entryList({"wombat_*.deb"}, QDir::Files);
  ASSERT_EQ(packages.size(), 1) << (packed.Output + packed.Error).toStdString();

  const TProgramRun checked =
      RunProgram(lintian,
                 {"--tag-display-limit", "0", "--info", "--display-info",
                  QDir(output.path()).filePath(packages.front())},
                 kWaitMs);
  const QStringList tags = checked.Output.split('\n').filter(QRegularExpression("^[EW]: "));
  EXPECT_TRUE(tags.isEmpty()) << (checked.Output + checked.Error).toStdString();
  EXPECT_NE(checked.ExitCode, -1) << (checked.Output + checked.Error).toStdString();
}

}  // namespace
