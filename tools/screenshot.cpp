// Saves a picture of the main window as it opens:
//   screenshot [--panel] OUTPUT.png [ARGS...]
// ARGS are the program's own (a telnet address); with them the picture is
// taken a few seconds later, once the host has answered. --panel opens the
// view settings panel first. Run it through tools/screenshot.sh, which gives
// it a fresh data folder and settings store under a virtual X server.
#include <QAction>
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "session/WombatForm.h"
#include "view/Fonts.h"

int main(int argc, char** argv) {
  const bool openPanel = argc > 1 && std::strcmp(argv[1], "--panel") == 0;
  const int first = openPanel ? 2 : 1;
  if (argc <= first) {
    std::fprintf(stderr, "usage: %s [--panel] OUTPUT.png [ARGS...]\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Zeb");
  QApplication::setApplicationName("Wombat");
  RegisterFontSubstitutions();
  const QString output = QString::fromLocal8Bit(argv[first]);
  const QStringList arguments = QApplication::arguments().mid(first + 1);
  TWombatForm form(arguments);
  form.resize(530, 551);
  form.show();
  if (openPanel) form.findChild<QAction*>("A1")->trigger();
  // Leaves the event loop without closing the window, which would ask
  // whether to hang up a connection.
  QTimer::singleShot(arguments.isEmpty() ? 1000 : 4000, &app,
                     [&] { QApplication::exit(form.grab().save(output) ? 0 : 1); });
  return QApplication::exec();
}
