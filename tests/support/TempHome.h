#pragma once
// A fresh data folder and settings store for one test: $WOMBAT_HOME and the
// per-user settings path point into a temporary folder that is removed
// afterwards.

#include <QDir>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

class TTempHome {
 public:
  TTempHome() {
    QDir().mkpath(DataFolder());
    qputenv("WOMBAT_HOME", DataFolder().toUtf8());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, SettingsFolder());
  }
  ~TTempHome() { qunsetenv("WOMBAT_HOME"); }
  TTempHome(const TTempHome&) = delete;
  TTempHome& operator=(const TTempHome&) = delete;

  QString DataFolder() const { return dir_.filePath("data"); }
  QString SettingsFolder() const { return dir_.filePath("settings"); }
  QString DataFile(const QString& name) const { return DataFolder() + "/" + name; }

 private:
  QTemporaryDir dir_;
};
