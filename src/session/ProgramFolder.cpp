#include "session/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

void CreatePrivateFolder(const QString& folder) {
  QDir().mkpath(QFileInfo(folder).path());
  QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

}  // namespace

QString ProgramFolder() {
  QString folder = qEnvironmentVariable("WOMBAT_HOME");
  if (folder.isEmpty()) folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  folder = QDir::cleanPath(QDir(folder).absolutePath());
  if (!QFileInfo::exists(folder)) CreatePrivateFolder(folder);
  return folder;
}

std::filesystem::path ToPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

QString FromPath(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.native()));
}
