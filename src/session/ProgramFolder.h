#pragma once
// The program's data folder: the access list, function keys, replacement
// fonts, call record, sounds and the default log and shortcut folders live
// here. $WOMBAT_HOME when set, else the per-user application data folder.
// Folders stay paths as the file system names them; they never pass through
// code page 932.

#include <QString>
#include <filesystem>

// The folder's path without a trailing "/". Created when missing, private to
// the user (0700), since its entry files hold the user's passwords.
QString ProgramFolder();

// A folder or file path of the dialogs and settings as the file system names it.
std::filesystem::path ToPath(const QString& path);
// The same path for the dialogs and settings.
QString FromPath(const std::filesystem::path& path);
