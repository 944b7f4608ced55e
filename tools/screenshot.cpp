// Saves a picture of the main window as it opens: screenshot OUTPUT.png
// Run it through tools/screenshot.sh, which gives it a fresh data folder and
// settings store under a virtual X server.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "session/WombatForm.h"
#include "view/Fonts.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Zeb");
  QApplication::setApplicationName("Wombat");
  RegisterFontSubstitutions();
  const QString output = QString::fromLocal8Bit(argv[1]);
  TWombatForm form;
  form.resize(530, 551);
  form.show();
  int result = 1;
  QTimer::singleShot(1000, &app, [&] {
    if (form.grab().save(output)) result = 0;
    QApplication::quit();
  });
  QApplication::exec();
  return result;
}
