// The bundled demo host: its entry is made or updated, selected and connected.
#include <QComboBox>
#include <QPushButton>

#include "session/DemoEntry.h"
#include "session/WombatForm.h"

void TWombatForm::ConnectDemo(quint16 port) {
  if (!SaveDemoEntry(*AccessPoint1, port)) return;
  if (APNameList->findText(kDemoEntryName) < 0) APNameList->addItem(kDemoEntryName);
  SelectEntry(kDemoEntryName);
  APNameListChange();
  show();
  if (Connect1->isEnabled()) Connect1Click();
}
