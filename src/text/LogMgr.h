#pragma once
// The log of a connection: every received line appended to a plain text file
// in the log folder, each line ended by CR LF. The owner picks the file name
// per connection; the log manager opens it inside its folder, appends and
// closes.

#include <fstream>
#include <functional>
#include <string>

// The file part of a CP932 path: the bytes after its last "/", "\" or ":"
// (a second byte of a double-byte character is never taken for one), at most
// 255 bytes and never ending in half a character.
std::string FilePartOf(const std::string& path);

class TLogMgr {
 public:
  TLogMgr() = default;

  // Closes an open log, then, when enabled, opens the file part of `name`
  // (CP932) in the folder for appending. A failure shows a message and leaves
  // no log open.
  void Open(const std::string& name);
  // Appends the line and CR LF when a log is open. A failure shows a message
  // once and closes the log.
  void WriteLine(const std::string& line);
  // Closes the log when one is open; buffered bytes that cannot be written
  // show the write failure message.
  void Close();

  const std::string& Folder() const { return FFolder; }
  // Empty means the current directory; otherwise a final "/" is added.
  void SetFolder(const std::string& folder);
  bool Enabled() const { return FEnabled; }
  // Switching off closes an open log; switching on opens nothing.
  void SetEnabled(bool enabled);
  bool IsOpen() const { return FIsOpen; }
  // The file part last opened, without folder.
  const std::string& FileName() const { return FFileName; }

  // Shows a UTF-8 message to the user; empty = the message is dropped.
  std::function<void(const std::string& utf8Text)> ShowMessage;

 private:
  void Report(const char* what);
  void CloseFile();

  std::ofstream FFile;
  std::string FFileName;
  std::string FFolder;
  bool FIsOpen = false;
  bool FEnabled = true;
};
