// Saves a picture of the main window as it opens: screenshot OUTPUT.png [ARGS...]
// ARGS are the program's own (a telnet address); with them the picture is
// taken a few seconds later, once the host has answered. Run it through
// tools/screenshot.sh, which gives it a fresh data folder and settings store
// under a virtual X server.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "session/WombatForm.h"
#include "view/Fonts.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png [ARGS...]\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Zeb");
  QApplication::setApplicationName("Wombat");
  RegisterFontSubstitutions();
  const QString output = QString::fromLocal8Bit(argv[1]);
  const QStringList arguments = QApplication::arguments().mid(2);
  TWombatForm form(arguments);
  form.resize(530, 551);
  form.show();
  // Leaves the event loop without closing the window, which would ask
  // whether to hang up a connection.
  QTimer::singleShot(arguments.isEmpty() ? 1000 : 4000, &app,
                     [&] { QApplication::exit(form.grab().save(output) ? 0 : 1); });
  return QApplication::exec();
}
