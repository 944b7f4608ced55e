// The Debian package of this build passes Debian's checker, lintian, without
// an error or a warning. The package is made by cpack from the tree already
// built; the test is skipped where lintian is not installed.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

constexpr int kWaitMs = 240000;

struct TRun {
  int ExitCode = -1;
  QString Output;
};

TRun RunProgram(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  TRun run;
  if (!process.waitForFinished(kWaitMs)) return run;
  run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.Output = QString::fromUtf8(process.readAll());
  return run;
}

TEST(PackageTest, LintianFindsNoErrorOrWarning) {
  const QString lintian = QStandardPaths::findExecutable("lintian");
  if (lintian.isEmpty()) GTEST_SKIP() << "lintian is not installed (make package installs it)";
  QTemporaryDir output;
  const TRun packed = RunProgram(
      "cpack", {"-G", "DEB", "-B", output.path(), "--config", WOMBAT_BINARY_DIR "/CPackConfig.cmake"});
  ASSERT_EQ(packed.ExitCode, 0) << packed.Output.toStdString();
  const QStringList packages = QDir(output.path()).entryList({"wombat_*.deb"}, QDir::Files);
  ASSERT_EQ(packages.size(), 1) << packed.Output.toStdString();

  const TRun checked = RunProgram(lintian, {"--no-tag-display-limit", "--info", "--display-info",
                                            QDir(output.path()).filePath(packages.front())});
  const QStringList tags = checked.Output.split('\n').filter(QRegularExpression("^[EW]: "));
  EXPECT_TRUE(tags.isEmpty()) << checked.Output.toStdString();
  EXPECT_NE(checked.ExitCode, -1) << checked.Output.toStdString();
}

}  // namespace
