#pragma once
// The program's data folder: the access list, function keys, replacement
// fonts, call record, sounds and the default log and shortcut folders live
// here. $WOMBAT_HOME when set, else the per-user application data folder.

#include <QString>

// The folder's path without a trailing "/"; created when missing.
QString ProgramFolder();
