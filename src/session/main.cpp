// Wombat: a communications terminal for Japanese bulletin-board and chat hosts.
#include <QApplication>

#include "session/WombatForm.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Zeb");
  QApplication::setApplicationName("Wombat");
  QApplication::setApplicationDisplayName("Wombat");
  TWombatForm form;
  form.show();
  return QApplication::exec();
}
