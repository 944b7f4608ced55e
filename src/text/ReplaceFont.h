#pragma once
// The replacement font table: per double-byte character code, the character
// to draw in its place and the font face to draw it with. Loaded from
// "Replace.txt", whose lines hold the code in columns 1-5, the replacement in
// columns 7-11 and the font face from column 13 on.

#include <cstdint>
#include <string>
#include <unordered_map>

struct TReplaceFont {
  // Lead byte * 256 + second byte, in code page 932.
  int32_t Code = 0;
  // High byte * 256 + low byte of the character drawn instead; a high byte
  // of 0 means the single byte given by the low byte; 0 or less: none.
  int32_t ReplaceCode = 0;
  // The font face for the replacement (CP932).
  std::string FontName;
};

class TReplaceFontList {
 public:
  // Adds the entries of the file (a UTF-8 path); a missing or unreadable
  // file adds nothing more, blank lines and lines whose numbers do not read
  // are skipped.
  void LoadFromFile(const std::string& path);
  // Adds the entry, or updates the entry of its code when present, so that
  // a later entry for a code wins.
  void Add(const TReplaceFont& entry);
  // Copies the three fields of `entry` into the entry listed under `code`;
  // nothing when absent.
  void Update(int32_t code, const TReplaceFont& entry);
  // The entry for `code`, or one with ReplaceCode 0 and no font. The result
  // is shared: the next Find overwrites it.
  const TReplaceFont& Find(int32_t code);
  int32_t Count() const { return static_cast<int32_t>(FEntries.size()); }
  // Changes whenever an entry is added or changed, so that users of the
  // list can tell that what they drew is out of date.
  uint64_t Version() const { return FVersion; }

 private:
  // Keyed by the code an entry was listed under.
  std::unordered_map<int32_t, TReplaceFont> FEntries;
  TReplaceFont FResult;
  uint64_t FVersion = 0;
};
