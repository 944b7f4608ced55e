// The access name list and its commands, and the sound, folder and logging
// commands of the menus.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "access/APConfig.h"
#include "access/FolderSelect.h"
#include "access/SoundEdit.h"
#include "session/ProgramFolder.h"
#include "session/WombatForm.h"
#include "text/LogMgr.h"
#include "text/QtCodec.h"
#include "view/PlatformUi.h"

namespace {

constexpr int kDeleted = 1;
constexpr int kAdded = 0;

}  // namespace

QStringList TWombatForm::EntryNames() const {
  QStringList names;
  for (int i = 0; i < APNameList->count(); ++i) names << APNameList->itemText(i);
  return names;
}

QString TWombatForm::SelectedEntry() const {
  return APNameList->currentIndex() >= 0 ? APNameList->currentText() : QString();
}

// Choosing another entry cancels a wait to reconnect the last one.
void TWombatForm::APNameListChange() {
  if (SelectedEntry() != FSession->EntryName()) FSession->CancelReconnect();
  const bool selected = APNameList->currentIndex() >= 0;
  SetCommandEnabled(Edit1, selected);
  SetCommandEnabled(Edit2, selected);
  SetCommandEnabled(Delete2, selected);
  ShowSession();
  if (!selected) {
    HostEdit->clear();
    PortEdit->clear();
    return;
  }
  FCurrentEntry = {};
  AccessPoint1->Load(FromQString(APNameList->currentText()), FCurrentEntry);
  HostEdit->setText(ToQString(FCurrentEntry.HostName));
  PortEdit->setText(ToQString(ShownPort(FCurrentEntry.Port)));
}

void TWombatForm::Add2Click() {
  QString name;
  if (!PlatformUi().InputQuery("ｱｸｾｽﾘｽﾄへの追加", "アクセス名", name) || name.isEmpty()) return;
  if (EditEntry(name, APNameList->findText(name) < 0)) {
    if (APNameList->findText(name) < 0) APNameList->addItem(name);
    APNameList->setCurrentIndex(APNameList->findText(name));
  }
  APNameListChange();
  InputEdit->setFocus();
}

void TWombatForm::Edit2Click() {
  if (APNameList->currentIndex() < 0) return;
  EditEntry(APNameList->currentText(), false);
  APNameListChange();
  InputEdit->setFocus();
}

// Opens the entry editor on a new or an existing entry; true when closed
// with OK (the entry was saved).
bool TWombatForm::EditEntry(const QString& name, bool isNew) {
  TAPConfigForm form(*AccessPoint1, *TAPI, this);
  if (isNew)
    form.NewEntry(name);
  else
    form.LoadEntry(name);
  return form.exec() == QDialog::Accepted;
}

void TWombatForm::Delete2Click() {
  const QString name = APNameList->currentText();
  if (APNameList->findText(name) >= 0) AccessPoint1->Delete(FromQString(name));
  APNameList->setCurrentIndex(APNameList->count() > 0 ? 0 : -1);
  APNameListChange();
}

void TWombatForm::AccessPoint1Delete(TAccessPoint&, const std::string& name, int kind) {
  const QString entry = ToQString(name);
  if (kind == kDeleted) APNameList->removeItem(APNameList->findText(entry));
  if (kind == kAdded && APNameList->findText(entry) < 0) APNameList->addItem(entry);
}

void TWombatForm::KS1Click() {
  TSoundConfigForm form(FConnectSound, FDisconnectSound, ProgramFolder(), this);
  form.exec();
}

void TWombatForm::KL1Click() {
  TFolderForm form(ProgramFolder(), this);
  form.SetFolders(FShortcutFolder, FromPath(FSession->LogMgr().Folder()));
  if (form.exec() == QDialog::Accepted) {
    FShortcutFolder = form.ShortcutFolder();
    FSession->LogMgr().SetFolder(ToPath(form.LogFolder()));
  }
  InputEdit->setFocus();
}

void TWombatForm::LoggingClick() {
  FSession->LogMgr().SetEnabled(Logging->isChecked());
}
