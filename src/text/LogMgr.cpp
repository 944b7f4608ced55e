#include "text/LogMgr.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text/AtomicFile.h"
#include "text/Codec.h"

namespace {

constexpr size_t kMaxFilePart = 255;

bool IsSeparator(char c) {
  return c == '/' || c == '\\' || c == ':';
}

// 2 for a lead byte followed by a second byte (0x40-0x7E, 0x80-0xFC), else 1.
// "/" and ":" are never second bytes, so they always separate.
size_t CharWidth(const std::string& text, size_t i) {
  if (i + 1 >= text.size() || !IsLeadByte(static_cast<unsigned char>(text[i]))) return 1;
  unsigned char second = static_cast<unsigned char>(text[i + 1]);
  return second >= 0x40 && second <= 0xFC && second != 0x7F ? 2 : 1;
}

}  // namespace

std::string FilePartOf(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); i += CharWidth(path, i)) {
    if (IsSeparator(path[i])) start = i + 1;
  }
  size_t end = start;
  while (end < path.size()) {
    size_t width = CharWidth(path, end);
    if (end + width - start > kMaxFilePart) break;
    end += width;
  }
  return path.substr(start, end - start);
}

TLogMgr::~TLogMgr() {
  if (!IsOpen()) return;
  WritePending();
  CloseFile();
}

void TLogMgr::Open(const std::string& name) {
  Close();
  if (!FEnabled) return;
  FFileName = FilePartOf(name);
  const std::filesystem::path path = FFolder / Cp932ToUtf8(FFileName);
  FFile = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC,
                 S_IRUSR | S_IWUSR);
  if (!IsOpen()) Report("のｵｰﾌﾟﾝに失敗しました。");
}

void TLogMgr::WriteLine(const std::string& line) {
  if (!IsOpen()) return;
  FPending += line;
  FPending += "\r\n";
  if (FPending.size() > MaxPendingBytes) Flush();
}

void TLogMgr::Flush() {
  if (!IsOpen() || WritePending()) return;
  CloseFile();
  Report("への書き出しに失敗しました。");
}

void TLogMgr::Close() {
  Flush();
  if (IsOpen()) CloseFile();
}

bool TLogMgr::WritePending() {
  const bool written = WriteAllBytes(FFile, FPending);
  FPending.clear();
  return written;
}

void TLogMgr::CloseFile() {
  ::close(FFile);
  FFile = -1;
  FPending.clear();
}

void TLogMgr::SetFolder(const std::filesystem::path& folder) {
  FFolder = folder;
  if (!FFolder.empty()) FFolder /= "";
}

void TLogMgr::SetEnabled(bool enabled) {
  if (!enabled) Close();
  FEnabled = enabled;
}

void TLogMgr::Report(const char* what) {
  if (ShowMessage) ShowMessage("ﾛｸﾞﾌｧｲﾙ(" + FFolder.string() + Cp932ToUtf8(FFileName) + ")" + what);
}
