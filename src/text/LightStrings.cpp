#include "text/LightStrings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <istream>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <ostream>

#include "text/AtomicFile.h"

const char* const TLightStrings::IndexErrorMessage = "インデックスがリストの範囲を超えています";

namespace {

// A stored line is one malloc block: a 32-bit length, then the bytes.
using TLength = uint32_t;

char* NewLine(std::string_view head, std::string_view tail = {}) {
  const size_t size = head.size() + tail.size();
  if (size == 0) return nullptr;
  if (size > std::numeric_limits<TLength>::max()) throw std::length_error("line too long");
  auto* block = static_cast<char*>(std::malloc(sizeof(TLength) + size));
  if (!block) throw std::bad_alloc();
  const auto length = static_cast<TLength>(size);
  std::memcpy(block, &length, sizeof length);
  if (!head.empty()) std::memcpy(block + sizeof length, head.data(), head.size());
  if (!tail.empty()) std::memcpy(block + sizeof length + head.size(), tail.data(), tail.size());
  return block;
}

std::string_view LineView(const char* block) {
  if (!block) return {};
  TLength length;
  std::memcpy(&length, block, sizeof length);
  return {block + sizeof length, length};
}

void FreeLine(char* block) {
  std::free(block);
}

struct TLineDeleter {
  void operator()(char* block) const { FreeLine(block); }
};
using TOwnedLine = std::unique_ptr<char, TLineDeleter>;

[[noreturn]] void RaiseInOutError(int errorCode) {
  throw EInOutError(std::strerror(errorCode), errorCode);
}

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

TFile OpenFile(const std::string& fileName, const char* mode) {
  // The system would take a name with a NUL as the shorter one before it.
  if (fileName.find('\0') != std::string::npos) RaiseInOutError(EINVAL);
  TFile file(std::fopen(fileName.c_str(), mode));
  if (!file) RaiseInOutError(errno ? errno : EIO);
  return file;
}

// Reads a file line by line: CR ends a line, one LF after it is skipped, a
// lone LF stays in the line, 0x1A or the physical end ends the file.
class TLineReader {
 public:
  explicit TLineReader(std::FILE* file) : FFile(file) {}

  // The next line, or false at the end of the file.
  bool ReadLine(std::string& line) {
    line.clear();
    if (AtEnd()) return false;
    for (;;) {
      if (!Fill()) return true;
      const char* begin = FBuffer + FPos;
      const char* end = FBuffer + FSize;
      const char* stop = std::find_if(begin, end, [](char c) { return c == '\r' || c == 0x1A; });
      line.append(begin, stop);
      FPos = stop - FBuffer;
      if (stop == end) continue;
      if (*stop == '\r') {
        ++FPos;
        if (Fill() && FBuffer[FPos] == '\n') ++FPos;
      }
      return true;
    }
  }

 private:
  bool AtEnd() { return !Fill() || FBuffer[FPos] == 0x1A; }

  // Makes at least one unread byte available; false at the end of the file.
  bool Fill() {
    if (FPos < FSize) return true;
    FPos = 0;
    FSize = std::fread(FBuffer, 1, sizeof FBuffer, FFile);
    if (FSize == 0 && std::ferror(FFile)) RaiseInOutError(errno ? errno : EIO);
    return FSize > 0;
  }

  std::FILE* FFile;
  char FBuffer[8192];
  size_t FPos = 0;
  size_t FSize = 0;
};

int32_t PresizeFor(uintmax_t bytes) {
  return static_cast<int32_t>(std::min<uintmax_t>(bytes / 28, TLightStrings::MaxListSize));
}

}  // namespace

TLightStrings::~TLightStrings() {
  Clear();
}

void TLightStrings::Error() const {
  throw EListError(IndexErrorMessage);
}

void TLightStrings::CheckIndex(int32_t Index, int32_t Limit) const {
  if (Index < 0 || Index >= Limit) Error();
}

void TLightStrings::Grow() {
  SetCapacity(FCapacity + 32);
}

int32_t TLightStrings::Add(std::string_view S) {
  return Add(S, {});
}

int32_t TLightStrings::Add(std::string_view Head, std::string_view Tail) {
  TOwnedLine line(NewLine(Head, Tail));
  if (FCount == FCapacity) Grow();
  FList[FCount] = line.release();
  return FCount++;
}

void TLightStrings::Insert(int32_t Index, std::string_view S) {
  CheckIndex(Index, FCount + 1);
  TOwnedLine line(NewLine(S));
  if (FCount == FCapacity) Grow();
  if (Index < FCount) {
    std::memmove(FList + Index + 1, FList + Index, (FCount - Index) * sizeof(TLine));
  }
  FList[Index] = line.release();
  ++FCount;
}

void TLightStrings::Delete(int32_t Index) {
  CheckIndex(Index, FCount);
  FreeLine(FList[Index]);
  --FCount;
  if (Index < FCount) {
    std::memmove(FList + Index, FList + Index + 1, (FCount - Index) * sizeof(TLine));
  }
  FList[FCount] = nullptr;
}

void TLightStrings::DeleteRange(int32_t Index, int32_t Count) {
  if (Count <= 0) return;
  CheckIndex(Index, FCount);
  if (Count > FCount - Index) Error();
  for (int32_t i = Index; i < Index + Count; ++i) FreeLine(FList[i]);
  std::memmove(FList + Index, FList + Index + Count, (FCount - Index - Count) * sizeof(TLine));
  std::fill(FList + FCount - Count, FList + FCount, nullptr);
  FCount -= Count;
}

void TLightStrings::Exchange(int32_t Index1, int32_t Index2) {
  CheckIndex(Index1, FCount);
  CheckIndex(Index2, FCount);
  std::swap(FList[Index1], FList[Index2]);
}

std::string TLightStrings::Get(int32_t Index) const {
  return std::string(View(Index));
}

std::string_view TLightStrings::View(int32_t Index) const {
  CheckIndex(Index, FCount);
  return LineView(FList[Index]);
}

void TLightStrings::Put(int32_t Index, std::string_view S) {
  Put(Index, S, {});
}

void TLightStrings::Put(int32_t Index, std::string_view Head, std::string_view Tail) {
  CheckIndex(Index, FCount);
  char* line = NewLine(Head, Tail);
  FreeLine(FList[Index]);
  FList[Index] = line;
}

void TLightStrings::Clear() {
  if (FCapacity == 0) return;
  SetCount(0);
  SetCapacity(0);
}

int32_t TLightStrings::IndexOf(std::string_view S) const {
  for (int32_t i = 0; i < FCount; ++i) {
    if (LineView(FList[i]) == S) return i;
  }
  return -1;
}

void TLightStrings::AddStrings(const std::vector<std::string>& Strings) {
  const int64_t total = int64_t{FCount} + static_cast<int64_t>(Strings.size());
  if (total > MaxListSize) Error();
  SetCapacity(static_cast<int32_t>(total));
  for (const std::string& line : Strings) Add(line);
}

void TLightStrings::Assign(const std::vector<std::string>& Strings) {
  Clear();
  AddStrings(Strings);
}

void TLightStrings::AssignTo(std::vector<std::string>& Dest) const {
  Dest.clear();
  Dest.reserve(FCount);
  for (int32_t i = 0; i < FCount; ++i) Dest.emplace_back(LineView(FList[i]));
}

void TLightStrings::SetCount(int32_t NewCount) {
  if (NewCount < 0 || NewCount > MaxListSize) Error();
  if (NewCount > FCapacity) SetCapacity(NewCount);
  for (int32_t i = NewCount; i < FCount; ++i) {
    FreeLine(FList[i]);
    FList[i] = nullptr;
  }
  FCount = NewCount;
}

void TLightStrings::SetCapacity(int32_t NewCapacity) {
  if (NewCapacity > MaxListSize) Error();
  if (NewCapacity == FCapacity) return;
  if (NewCapacity < FCount) Error();
  if (NewCapacity == 0) {
    std::free(FList);
    FList = nullptr;
  } else {
    auto* list = static_cast<TLine*>(std::realloc(FList, NewCapacity * sizeof(TLine)));
    if (!list) throw std::bad_alloc();
    FList = list;
    if (NewCapacity > FCapacity) {
      std::fill(FList + FCapacity, FList + NewCapacity, nullptr);
    }
  }
  FCapacity = NewCapacity;
}

std::string TLightStrings::GetText() const {
  size_t size = 0;
  for (int32_t i = 0; i < FCount; ++i) size += LineView(FList[i]).size() + 2;
  std::string text;
  text.reserve(size);
  for (int32_t i = 0; i < FCount; ++i) {
    text += LineView(FList[i]);
    text += "\r\n";
  }
  return text;
}

void TLightStrings::SetText(std::string_view Text) {
  Clear();
  if (Text.empty()) return;
  SetCapacity(PresizeFor(Text.size()));
  const char* p = Text.data();
  const char* end = p + Text.size();
  // The end of the text and an embedded NUL both end it.
  auto at = [&](char c) { return p < end && *p == c; };
  while (p < end && *p != '\0') {
    const char* start = p;
    while (p < end && *p != '\0' && *p != '\n' && *p != '\r') ++p;
    Add(std::string_view(start, p - start));
    if (at('\r')) ++p;
    if (at('\n')) ++p;
  }
  SetCapacity(FCount);
}

std::string TLightStrings::GetCommaText() const {
  std::string text;
  text.reserve(4096);
  for (int32_t i = 0; i < FCount; ++i) {
    const std::string_view line = LineView(FList[i]);
    if (line.find_first_of(" ,") != std::string_view::npos) {
      text += '"';
      text += line;
      text += '"';
    } else {
      text += line;
    }
    text += ',';
  }
  if (!text.empty()) text.pop_back();
  return text;
}

void TLightStrings::SetCommaText(std::string_view Text) {
  Clear();
  size_t pos = 0;
  while (pos < Text.size()) {
    const bool quoted = Text[pos] == '"';
    if (quoted) ++pos;
    const char* stops = quoted ? "\"\r" : ",\"\r";
    const size_t start = std::min(pos, Text.size());
    size_t stop = start;
    while (stop < Text.size() && Text[stop] != '\0' && !std::strchr(stops, Text[stop])) ++stop;
    Add(Text.substr(start, stop - start));
    pos = stop + (quoted ? 2 : 1);
  }
}

void TLightStrings::LoadFromFile(const std::string& FileName) {
  Clear();
  TFile file = OpenFile(FileName, "rb");
  std::error_code error;
  const std::filesystem::path path(FileName);
  if (std::filesystem::is_regular_file(path, error)) {
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (!error) SetCapacity(PresizeFor(size));
  }
  TLineReader reader(file.get());
  std::string line;
  try {
    while (reader.ReadLine(line)) Add(line);
  } catch (const EInOutError&) {
    SetCapacity(FCount);
    throw;
  }
  SetCapacity(FCount);
}

void TLightStrings::SaveToFile(const std::string& FileName) const {
  WriteFileAtomically(FileName, GetText());
}

void TLightStrings::SaveToStream(std::ostream& Stream) const {
  const std::string text = GetText();
  Stream.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!Stream) RaiseInOutError(EIO);
}

void TLightStrings::LoadFromStream(std::istream& Stream) {
  Clear();
  const std::string text{std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>()};
  SetText(text);
}
