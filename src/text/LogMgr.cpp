#include "text/LogMgr.h"

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

void TLogMgr::Open(const std::string& name) {
  Close();
  if (!FEnabled) return;
  FFileName = FilePartOf(name);
  FFile.clear();
  FFile.open(Cp932ToUtf8(FFolder + FFileName), std::ios::binary | std::ios::app);
  if (!FFile.is_open()) {
    Report("のｵｰﾌﾟﾝに失敗しました。");
    return;
  }
  FIsOpen = true;
}

void TLogMgr::WriteLine(const std::string& line) {
  if (!FIsOpen) return;
  FFile.write(line.data(), static_cast<std::streamsize>(line.size()));
  FFile.write("\r\n", 2);
  if (!FFile) {
    CloseFile();
    Report("への書き出しに失敗しました。");
  }
}

void TLogMgr::Close() {
  if (!FIsOpen) return;
  CloseFile();
  if (!FFile) Report("への書き出しに失敗しました。");
}

void TLogMgr::CloseFile() {
  FFile.close();
  FIsOpen = false;
}

void TLogMgr::SetFolder(const std::string& folder) {
  FFolder = folder;
  if (!FFolder.empty() && FFolder.back() != '/') FFolder += '/';
}

void TLogMgr::SetEnabled(bool enabled) {
  if (!enabled) Close();
  FEnabled = enabled;
}

void TLogMgr::Report(const char* what) {
  if (ShowMessage) ShowMessage("ﾛｸﾞﾌｧｲﾙ(" + Cp932ToUtf8(FFolder + FFileName) + ")" + what);
}
