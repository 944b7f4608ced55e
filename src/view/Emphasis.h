#pragma once
// Emphasised words: the user's words found in a line by their normalised
// form (half-width letters and signs, upper case, full-width katakana), so
// that a word matches however wide or in whichever case the host wrote it.

#include <string>
#include <string_view>
#include <vector>

// A stretch of a line: bytes [Begin, End).
struct TByteSpan {
  size_t Begin;
  size_t End;
};

// Every occurrence of every word in `line`, word by word in list order, each
// word's occurrences from left to right. The words must be normalised
// already. Matches start only at character boundaries of the normalised
// text, so a single-byte word never matches the second byte of a
// double-byte character.
std::vector<TByteSpan> FindAccentSpans(std::string_view line,
                                       const std::vector<std::string>& words);
