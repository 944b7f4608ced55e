// Wombat: a communications terminal for Japanese bulletin-board and chat hosts.
#include <QApplication>
#include <cstdio>

#include "session/CommandLine.h"
#include "session/WombatForm.h"
#include "view/Fonts.h"
#include "view/PlatformUi.h"

namespace {

QStringList Arguments(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

// --help and --version answer on the console, before any display is opened.
bool AnsweredOnTheConsole(const TCommandLine& line) {
  if (line.Help)
    std::fputs(qPrintable(CommandLineUsage()), stdout);
  else if (line.Version)
    std::printf("Wombat %s\n", WOMBAT_VERSION);
  return line.Help || line.Version;
}

}  // namespace

int main(int argc, char** argv) {
  // Qt's own options (-platform, -style ...) are taken out by QApplication,
  // so only what is left is checked for errors.
  if (AnsweredOnTheConsole(ParseCommandLine(Arguments(argc, argv)))) return 0;
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Zeb");
  QApplication::setApplicationName("Wombat");
  QApplication::setApplicationVersion(WOMBAT_VERSION);
  const TCommandLine line = ParseCommandLine(QApplication::arguments().mid(1));
  if (!line.Error.isEmpty()) {
    std::fprintf(stderr, "wombat: %s\n%s", qPrintable(line.Error), qPrintable(CommandLineUsage()));
    return 2;
  }
  RegisterFontSubstitutions();
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
