// The file part of a path: a tail of the path that starts at its start or
// after a separator, after the last "/" or ":" (never second bytes), holds at
// most 255 bytes, is cut only between characters, and is its own file part.

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "text/Codec.h"
#include "text/LogMgr.h"

namespace {

bool IsPair(const std::string& text, size_t i) {
  if (i + 1 >= text.size() || !IsLeadByte(static_cast<unsigned char>(text[i]))) return false;
  const auto second = static_cast<unsigned char>(text[i + 1]);
  return second >= 0x40 && second <= 0xFC && second != 0x7F;
}

// True when walking characters from `from` reaches `to` exactly.
bool IsCharacterBoundary(const std::string& text, size_t from, size_t to) {
  while (from < to) from += IsPair(text, from) ? 2 : 1;
  return from == to;
}

// The start of `part` in `path`, or npos when no place fits.
size_t PartStart(const std::string& path, const std::string& part) {
  const size_t lastHard = path.find_last_of("/:");
  const size_t first = lastHard == std::string::npos ? 0 : lastHard + 1;
  for (size_t start = first; start <= path.size(); ++start) {
    const bool afterSeparator = start == first || path[start - 1] == '\\';
    if (afterSeparator && IsCharacterBoundary(path, first, start) &&
        path.compare(start, part.size(), part) == 0)
      return start;
  }
  return std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = TFuzzInput(data, size).Rest();
  const std::string part = FilePartOf(path);
  FUZZ_CHECK(part.size() <= 255);
  const size_t start = PartStart(path, part);
  FUZZ_CHECK(start != std::string::npos);
  FUZZ_CHECK(IsCharacterBoundary(path, start, start + part.size()));
  FUZZ_CHECK(FilePartOf(part) == part);
  return 0;
}
