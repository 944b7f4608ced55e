#pragma once
// Conversion between code page 932 (the model's bytes) and UTF-8 (the source
// files, the file system and Qt). One mapping for the whole program: glibc's
// "CP932", Microsoft's table.

#include <string>
#include <string_view>
#include <vector>

// CP932 bytes to UTF-8. A byte or byte pair with no character becomes U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);

// UTF-8 to CP932 bytes. A character with no CP932 code, or a malformed UTF-8
// sequence, becomes "?".
std::string Utf8ToCp932(std::string_view utf8);

// The characters of `utf8` that have no CP932 code (UTF-8 each), each once,
// in the order they first appear.
std::vector<std::string> UnmappableCharacters(std::string_view utf8);

// A model-byte literal written readably in the source: Sjis("ＭＳ ゴシック").
inline std::string Sjis(std::string_view utf8) { return Utf8ToCp932(utf8); }

// True for the first byte of a two-byte character (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
