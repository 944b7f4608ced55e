#pragma once
// The log of a connection: every received line appended to a plain text file
// in the log folder, each line ended by CR LF. The owner picks the file name
// per connection; the log manager opens it inside its folder, appends and
// closes. The lines of a received block are handed to the file together
// when the block ends, so that a program killed after a block has been shown
// leaves all of its complete lines in the log.

#include <filesystem>
#include <functional>
#include <string>

// The file part of a CP932 path: the bytes after its last "/", "\" or ":"
// (a second byte of a double-byte character is never taken for one), at most
// 255 bytes and never ending in half a character.
std::string FilePartOf(const std::string& path);

class TLogMgr {
 public:
  // Lines waiting for Flush beyond this many bytes are written at once.
  static constexpr size_t MaxPendingBytes = 64 * 1024;

  TLogMgr() = default;
  // Writes the waiting lines without messages; the owner closes first.
  ~TLogMgr();
  TLogMgr(const TLogMgr&) = delete;
  TLogMgr& operator=(const TLogMgr&) = delete;

  // Closes an open log, then, when enabled, opens the file part of `name`
  // (CP932) in the folder for appending; a new file is private to the user.
  // A failure shows a message and leaves no log open.
  void Open(const std::string& name);
  // Adds the line and CR LF to the lines waiting for Flush when a log is
  // open.
  void WriteLine(const std::string& line);
  // Hands the waiting lines to the file in one write; the receive road calls
  // it once per block. A failure shows a message once and closes the log.
  void Flush();
  // Flushes and closes the log when one is open.
  void Close();

  const std::filesystem::path& Folder() const { return FFolder; }
  // Empty means the current directory; otherwise a final "/" is added.
  void SetFolder(const std::filesystem::path& folder);
  bool Enabled() const { return FEnabled; }
  // Switching off closes an open log; switching on opens nothing.
  void SetEnabled(bool enabled);
  bool IsOpen() const { return FFile >= 0; }
  // The file part last opened, without folder.
  const std::string& FileName() const { return FFileName; }

  // Shows a UTF-8 message to the user; empty = the message is dropped.
  std::function<void(const std::string& utf8Text)> ShowMessage;

 private:
  void Report(const char* what);
  bool WritePending();
  void CloseFile();

  int FFile = -1;
  std::string FPending;
  std::string FFileName;
  std::filesystem::path FFolder;
  bool FEnabled = true;
};
