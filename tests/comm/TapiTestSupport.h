// Settings kept in a temporary folder for one telephony test.
#pragma once

#include <QSettings>
#include <QTemporaryDir>

class TTempSettings {
 public:
  TTempSettings() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Folder.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Folder.path());
  }
  QString Path() const { return Folder.path(); }

 private:
  QTemporaryDir Folder;
};
