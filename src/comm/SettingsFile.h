#pragma once
// Writing the settings file so that a full disk cannot cut it short.
//
// QSettings replaces its file through QSaveFile, and Qt 6.4's QSaveFile puts
// a cut-short file in place, reporting success, when the disk fills up during
// its last write. SyncSettings keeps the file as it was under a second name
// (a hard link, which takes no space) until the new file reads back whole,
// and otherwise puts the old file back.

class QSettings;
class QString;

// Writes the settings' changes to their file; no group may be open. False
// when the file could not be written whole: the file is then as it was
// before (when the file system allows a second name for it).
bool SyncSettings(QSettings& settings);

// Renames the file at `path` to a free name beside it ("<path>.unreadable",
// then "<path>.unreadable-2" and so on), never over another file. The new
// name, or empty when it could not be renamed.
QString MoveAside(const QString& path);

// A settings file is there but its bytes cannot be parsed.
bool SettingsFileUnparsable(const QString& path);
