// The file part of a path: what follows its last separator ("\\" only where
// it is not the second byte of a character), at most 255 bytes, cut only
// between characters; it is its own file part.

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

// Where the file part starts: after the last separator that begins a
// character ("/" and ":" always do).
size_t PartStart(const std::string& path) {
  const size_t lastHard = path.find_last_of("/:");
  size_t start = lastHard == std::string::npos ? 0 : lastHard + 1;
  for (size_t i = start; i < path.size(); i += IsPair(path, i) ? 2 : 1)
    if (path[i] == '\\') start = i + 1;
  return start;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = TFuzzInput(data, size).Rest();
  const std::string part = FilePartOf(path);
  FUZZ_CHECK(part.size() <= 255);
  const size_t start = PartStart(path);
  FUZZ_CHECK(path.compare(start, part.size(), part) == 0);
  FUZZ_CHECK(IsCharacterBoundary(path, start, start + part.size()));
  // Only a name longer than 255 bytes is cut, by at most one character.
  FUZZ_CHECK(start + part.size() == path.size() || part.size() >= 254);
  FUZZ_CHECK(FilePartOf(part) == part);
  return 0;
}
