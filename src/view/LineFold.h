#pragma once
// Folding of stored lines: a line wider than the fold width is stored as
// several lines, each but the last ending with the fold mark. Never splits a
// double-byte character.

#include <string_view>

#include "text/LightStrings.h"

// Ends a stored line that continues on the next stored line; never shown or copied.
inline constexpr char FoldMark = '\x1F';

inline bool EndsWithFoldMark(std::string_view line) {
  return !line.empty() && line.back() == FoldMark;
}

// The line without its final fold mark, if it has one.
inline std::string_view WithoutFoldMark(std::string_view line) {
  return EndsWithFoldMark(line) ? line.substr(0, line.size() - 1) : line;
}

// Where a text of at least `width` bytes is cut: the number of bytes of the
// whole characters that fit into `width` bytes. A double-byte character that
// does not fit goes to the next piece; with a width of 1 a leading double-byte
// character is taken whole (the piece is then 2 bytes wide).
int FoldCut(std::string_view text, int width);

// The text without a final lead byte whose trail byte has not arrived yet.
std::string_view WithoutDanglingLeadByte(std::string_view text);

// True when stored line `index` continues on the next stored line.
bool FoldsIntoNext(const TLightStrings& lines, int index);

// A stored line with the parts of its neighbours that folds join to it, as
// drawing and word lookup both see it. Fold marks are never part of it.
struct TFoldJoin {
  std::string_view Before;    // the previous line's text when this line continues it
  std::string_view Own;       // the line's own text
  std::string_view After;     // the next line's text when this line continues on it
  bool Continuation = false;  // the previous line folds into this one
};

TFoldJoin JoinAcrossFolds(const TLightStrings& lines, int index);
