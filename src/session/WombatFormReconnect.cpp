// The two switches of a long chat: reconnecting a dropped telnet line (off
// on a first start) and the desktop notifications (on).
#include <QAction>
#include <QMenu>

#include "session/DesktopNotifier.h"
#include "session/WombatForm.h"

namespace {

const QString kSettings = QStringLiteral("Settings");

}  // namespace

void TWombatForm::AddCompanionCommands(QMenu* menu) {
  AutoReconnect1 = AddCommand(menu, "AutoReconnect1", "切断されたら自動で再接続(&U)");
  AutoReconnect1->setCheckable(true);
  Notify1 = AddCommand(menu, "Notify1", "通知(&N)");
  Notify1->setCheckable(true);
}

void TWombatForm::WireCompanionCommands() {
  Wire(AutoReconnect1, [this] { FSession->AutoReconnect = AutoReconnect1->isChecked(); });
  Wire(Notify1, [this] { FNotifier->SetEnabled(Notify1->isChecked()); });
}

void TWombatForm::LoadCompanionSettings(TGenRegist& reg) {
  FSession->AutoReconnect = reg.ReadBoolData(kWombatKey, kSettings, "AutoReconnect", false);
  AutoReconnect1->setChecked(FSession->AutoReconnect);
  const bool notify = reg.ReadBoolData(kWombatKey, kSettings, "Notify", true);
  Notify1->setChecked(notify);
  FNotifier->SetEnabled(notify);
}

void TWombatForm::SaveCompanionSettings(TGenRegist& reg) const {
  reg.WriteBoolData(kWombatKey, kSettings, "AutoReconnect", FSession->AutoReconnect);
  reg.WriteBoolData(kWombatKey, kSettings, "Notify", Notify1->isChecked());
}
