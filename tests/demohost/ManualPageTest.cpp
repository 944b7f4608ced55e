// The three programs' command lines: every option that --help prints is
// described in the program's manual page, --help answers with 0 and a wrong
// option is refused with the usage and 2.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include "support/ProgramRun.h"

namespace {

constexpr int kWaitMs = 20000;
const char* const kPrograms[] = {"wombat", "wombat-link", "wombat-demohost"};

// The options are read before a display would be opened.
TProgramRun RunWithoutDisplay(const char* program, const QStringList& arguments) {
  return RunProgram(QString(WOMBAT_BINARY_DIR "/src/") + program, arguments, kWaitMs,
                    EnvironmentWithoutDisplay());
}

// "-h", "--help", "-platform", "--port-file" ...: words that begin with one or
// two hyphens, not hyphens inside words ("wombat-link") or before numbers.
QSet<QString> Options(const QString& text) {
  static const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[A-Za-z][\\w-]*"));
  QSet<QString> options;
  for (const QRegularExpressionMatch& match : option.globalMatch(text))
    options << match.captured(0);
  return options;
}

// The page's text with roff's escaped hyphens and font changes read as text.
QString ManualPageText(const char* program) {
  QFile page(QString(WOMBAT_SOURCE_DIR "/data/man/") + program + ".1");
  if (!page.open(QIODevice::ReadOnly)) return {};
  QString text = QString::fromUtf8(page.readAll());
  text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
  text.remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]|\\\\c|\\\\%")));
  return text;
}

TEST(ManualPageTest, EveryOptionOfTheHelpIsInTheManualPage) {
  for (const char* program : kPrograms) {
    const TProgramRun help = RunWithoutDisplay(program, {"--help"});
    ASSERT_EQ(help.ExitCode, 0) << program << help.Error.toStdString();
    const QSet<QString> helpOptions = Options(help.Output);
    EXPECT_TRUE(helpOptions.contains("--help")) << program;
    const QSet<QString> pageOptions = Options(ManualPageText(program));
    for (const QString& option : helpOptions)
      EXPECT_TRUE(pageOptions.contains(option))
          << program << ": " << option.toStdString() << " is missing from the manual page";
  }
}

TEST(ManualPageTest, AWrongOptionIsRefusedWithTheUsageAndTwo) {
  for (const char* program : kPrograms) {
    for (const QStringList& arguments :
         {QStringList{"--bogus"}, QStringList{"-x"}}) {
      const TProgramRun run = RunWithoutDisplay(program, arguments);
      EXPECT_EQ(run.ExitCode, 2) << program << " " << arguments.join(' ').toStdString();
      EXPECT_TRUE(run.Error.contains(program)) << program << ": " << run.Error.toStdString();
      EXPECT_TRUE(run.Output.isEmpty()) << program;
    }
  }
  // A value that is missing is a wrong command line as well.
  EXPECT_EQ(RunWithoutDisplay("wombat-demohost", {"--port"}).ExitCode, 2);
  EXPECT_EQ(RunWithoutDisplay("wombat-link", {"--server"}).ExitCode, 2);
}

}  // namespace
