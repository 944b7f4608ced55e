#include "session/ProgramFolder.h"

#include <QDir>
#include <QStandardPaths>

QString ProgramFolder() {
  QString folder = qEnvironmentVariable("WOMBAT_HOME");
  if (folder.isEmpty()) folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  folder = QDir::cleanPath(QDir(folder).absolutePath());
  QDir().mkpath(folder);
  return folder;
}
