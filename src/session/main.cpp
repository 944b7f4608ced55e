// Wombat: a communications terminal for Japanese bulletin-board and chat hosts.
#include <QApplication>

#include "session/WombatForm.h"
#include "view/Fonts.h"
#include "view/PlatformUi.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Zeb");
  QApplication::setApplicationName("Wombat");
  RegisterFontSubstitutions();
  try {
    TWombatForm form;
    form.show();
    return QApplication::exec();
  } catch (const ERegistryException& error) {
    PlatformUi().ShowMessage(QString::fromStdString(error.what()));
    return 1;
  }
}
