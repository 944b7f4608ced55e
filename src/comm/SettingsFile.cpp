#include "comm/SettingsFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
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

// The values of the file's bytes, parsed afresh: QSettings keeps what it
// parsed of a file under the file's name (and reports a parse error only to
// the first reader), so the bytes are parsed from a copy of their own.
// Nothing when the file cannot be read or parsed.
std::optional<QMap<QString, QString>> ParsedValues(const QString& path) {
  QFile written(path);
  QTemporaryFile copy;
  if (!written.open(QIODevice::ReadOnly) || !copy.open()) return std::nullopt;
  const QByteArray bytes = written.readAll();
  if (copy.write(bytes) != bytes.size() || !copy.flush()) return std::nullopt;
  QSettings check(copy.fileName(), QSettings::IniFormat);
  if (check.status() != QSettings::NoError) return std::nullopt;
  return OwnValues(check);
}

bool ReadsBackWhole(QSettings& settings) {
  const std::optional<QMap<QString, QString>> values = ParsedValues(settings.fileName());
  return values && *values == OwnValues(settings);
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

bool SettingsFileUnparsable(const QString& path) {
  const QFileInfo file(path);
  return file.isFile() && file.isReadable() && !ParsedValues(path);
}
