// Wombat: a communications terminal for Japanese bulletin-board and chat hosts.
#include <QApplication>
#include <QTranslator>
#include <cstdio>

#include "session/CommandLine.h"
#include "session/QtTranslations.h"
#include "session/SessionEndSignals.h"
#include "session/WombatForm.h"
#include "view/Fonts.h"
#include "view/PlatformUi.h"

namespace {

constexpr int kUsageError = 2;

QStringList Arguments(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

// --help and --version answer on the console; nothing needs a display.
bool AnsweredOnTheConsole(const TCommandLine& line) {
  if (line.Help)
    std::fputs(qPrintable(CommandLineUsage()), stdout);
  else if (line.Version)
    std::printf("Wombat %s\n", WOMBAT_VERSION);
  return line.Help || line.Version;
}

}  // namespace

int main(int argc, char** argv) {
  // A signal from here on closes the window through its normal path.
  InstallSessionEndSignals();
  const TCommandLine line = ParseCommandLine(Arguments(argc, argv));
  if (!line.Error.isEmpty()) {
    std::fprintf(stderr, "wombat: %s (wombat --help lists the options)\n", qPrintable(line.Error));
    return kUsageError;
  }
  if (AnsweredOnTheConsole(line)) return 0;
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Zeb");
  QApplication::setApplicationName("Wombat");
  QApplication::setApplicationVersion(WOMBAT_VERSION);
  RegisterFontSubstitutions();
  QTranslator qtTexts;
  if (LoadJapaneseQtTexts(qtTexts)) QApplication::installTranslator(&qtTexts);
  try {
    TWombatForm form(line.Address);
    form.show();
    if (line.DemoPort) form.ConnectDemo(*line.DemoPort);
    return QApplication::exec();
  } catch (const ERegistryException& error) {
    PlatformUi().ShowMessage(QString::fromStdString(error.what()));
    return 1;
  }
}
