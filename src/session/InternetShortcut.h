#pragma once
// Internet shortcut files: a link from the views kept as a ".url" file of two
// lines ended by CR LF, "[InternetShortcut]" and "URL=" followed by the link
// ("URL=mailto:" for a mail address). Link texts are CP932 bytes and become
// UTF-8 file names; folders are paths as the file system names them.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// The message shown when a shortcut file cannot be written (UTF-8).
extern const char* const InternetShortcutFailedMessage;

// Saves the link of kind `linkKind` (1 a URL, 2 a mail address) to
// `folder` + "/" + name + ".url", replacing a file of that name. The name is
// the link text without "*", ".", "/", ":", "<", ">", "?", "\" and "~";
// double-byte characters stay whole. An empty folder is the current folder.
// The file is replaced as a whole: a failure leaves an old file of that name
// as it was, shows InternetShortcutFailedMessage through `showMessage` and
// returns false. Another link kind writes nothing and returns false.
bool SaveInternetShortcut(const std::filesystem::path& folder, uint8_t linkKind,
                          const std::string& linkText,
                          const std::function<void(const std::string& utf8Text)>& showMessage);

// The URL of a shortcut file as stored, CP932 bytes: the first
// value that is not empty of a "URL=" line in its "[InternetShortcut]" section. Lines may end in
// CR LF, CR or LF; names compare without regard to letter case. Nothing when
// the file cannot be read or holds no URL.
std::optional<std::string> ReadInternetShortcutUrl(const std::filesystem::path& fileName);
