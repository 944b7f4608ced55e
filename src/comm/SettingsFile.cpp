#include "comm/SettingsFile.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kAsideNameAttempts = 100;

// The keys and values of the settings' own file, without those that fall back
// to the organisation's or the system's files.
QMap<QString, QString> OwnValues(QSettings& settings) {
  const bool fallbacks = settings.fallbacksEnabled();
  settings.setFallbacksEnabled(false);
  QMap<QString, QString> values;
  for (const QString& key : settings.allKeys()) values[key] = settings.value(key).toString();
  settings.setFallbacksEnabled(fallbacks);
  return values;
}

// The file as written, parsed afresh: QSettings keeps what it parsed of a file
// under the file's name, so the bytes are parsed from a copy of their own.
bool ReadsBackWhole(QSettings& settings) {
  QFile written(settings.fileName());
  QTemporaryFile copy;
  if (!written.open(QIODevice::ReadOnly) || !copy.open()) return false;
  const QByteArray bytes = written.readAll();
  if (copy.write(bytes) != bytes.size() || !copy.flush()) return false;
  QSettings check(copy.fileName(), QSettings::IniFormat);
  return check.status() == QSettings::NoError && OwnValues(check) == OwnValues(settings);
}

// A file system without an atomic rename that refuses to replace gets a
// second name and loses the first, which refuses to replace as well.
bool RenameNoReplace(const QByteArray& from, const QByteArray& to) {
  if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL) return false;
  if (::link(from.constData(), to.constData()) != 0) return false;
  ::unlink(from.constData());
  return true;
}

}  // namespace

bool SyncSettings(QSettings& settings) {
  const QByteArray path = QFile::encodeName(settings.fileName());
  const QByteArray kept = path + ".old";
  const bool existed = access(path.constData(), F_OK) == 0;
  unlink(kept.constData());
  const bool keptOld = existed && link(path.constData(), kept.constData()) == 0;
  settings.sync();
  const bool whole = settings.status() == QSettings::NoError && ReadsBackWhole(settings);
  if (!whole && keptOld)
    rename(kept.constData(), path.constData());
  else
    unlink(kept.constData());
  if (!whole && !existed) unlink(path.constData());
  return whole;
}

QString MoveAside(const QString& path) {
  const QByteArray from = QFile::encodeName(path);
  for (int attempt = 1; attempt <= kAsideNameAttempts; ++attempt) {
    QString aside = path + ".unreadable";
    if (attempt > 1) aside += '-' + QString::number(attempt);
    const QByteArray to = QFile::encodeName(aside);
    if (RenameNoReplace(from, to)) return aside;
    if (errno != EEXIST) return {};
  }
  return {};
}
