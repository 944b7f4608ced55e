#include "view/Selection.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <vector>

#include "text/Codec.h"
#include "view/LineFold.h"

namespace {

enum TByteKind : unsigned char { bkSingle, bkLead, bkTrail };

std::vector<TByteKind> ByteKinds(std::string_view text) {
  std::vector<TByteKind> kinds(text.size(), bkSingle);
  for (size_t pos = 0; pos < text.size();) {
    if (CharLength(text, pos) == 2) {
      kinds[pos] = bkLead;
      kinds[pos + 1] = bkTrail;
      pos += 2;
    } else {
      kinds[pos] = IsLeadByte(static_cast<unsigned char>(text[pos])) ? bkLead : bkSingle;
      ++pos;
    }
  }
  return kinds;
}

bool IsTrailByte(std::string_view line, int column) {
  if (column < 1 || static_cast<size_t>(column) > line.size()) return false;
  return ByteKinds(line)[static_cast<size_t>(column - 1)] == bkTrail;
}

bool FoldsIntoNext(const TLightStrings& lines, int line) {
  return line + 1 < lines.Count() && EndsWithFoldMark(lines.View(line));
}

// A stored line with the lines that fold into it or that it folds into.
// Column k of Line is byte Offset + k of Text (1-based). Fold marks are not
// part of the text, so that they never become part of a word or link.
struct TJoinedLine {
  std::string Text;
  int Line;
  int Offset;
};

TJoinedLine JoinedLine(const TLightStrings& lines, int line) {
  TJoinedLine joined{std::string(WithoutFoldMark(lines.View(line))), line, 0};
  if (FoldsIntoNext(lines, line)) joined.Text += WithoutFoldMark(lines.View(line + 1));
  if (line > 0 && EndsWithFoldMark(lines.View(line - 1))) {
    const std::string_view previous = WithoutFoldMark(lines.View(line - 1));
    joined.Text.insert(0, previous);
    joined.Line = line - 1;
    joined.Offset = static_cast<int>(previous.size());
  }
  return joined;
}

// The bytes [begin, end) of the word around byte `pos` of `text`.
std::pair<size_t, size_t> WordBytes(std::string_view text, size_t pos) {
  const std::vector<TByteKind> kinds = ByteKinds(text);
  if (pos < text.size()) {
    if (kinds[pos] == bkLead) return {pos, std::min(pos + 2, text.size())};
    if (kinds[pos] == bkTrail) return {pos - 1, pos + 1};
    if (IsDelimiter(static_cast<unsigned char>(text[pos]))) return {pos, pos + 1};
  }
  auto wordByte = [&](size_t k) {
    return k < text.size() && kinds[k] == bkSingle &&
           !IsDelimiter(static_cast<unsigned char>(text[k]));
  };
  size_t begin = pos;
  while (begin > 0 && wordByte(begin - 1)) --begin;
  size_t end = std::min(pos, text.size());
  while (wordByte(end)) ++end;
  return {begin, std::max(begin, end)};
}

}  // namespace

int CharLength(std::string_view text, size_t pos) {
  return IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

TLinkKind WordKind(std::string_view word) {
  if (StartsWithLinkScheme(word, 0)) return lkUrl;
  const size_t at = word.find('@');
  const size_t dot = word.find('.');
  if (at != std::string_view::npos && at > 0 && dot != std::string_view::npos && at < dot)
    return lkMailAddress;
  return lkNoLink;
}

std::optional<TWord> WordAt(const TLightStrings& Lines, TTextPoint At) {
  if (At.Column < 1 || At.Line < 0 || At.Line >= Lines.Count()) return std::nullopt;
  const TJoinedLine joined = JoinedLine(Lines, At.Line);
  const auto [begin, end] = WordBytes(
      joined.Text, static_cast<size_t>(At.Column - 1) + static_cast<size_t>(joined.Offset));
  if (begin == end) return std::nullopt;
  TWord word;
  word.Start = {static_cast<int>(begin) + 1, joined.Line};
  word.End = {static_cast<int>(end) + 1, joined.Line};
  word.Text = joined.Text.substr(begin, end - begin);
  word.Kind = WordKind(word.Text);
  return word;
}

TLink LinkAt(const TLightStrings& Lines, TTextPoint At) {
  const std::optional<TWord> word = WordAt(Lines, At);
  if (!word || word->Kind == lkNoLink) return {};
  return {word->Kind, word->Text};
}

TLink LinkOnLineOf(const TLightStrings& Lines, TTextPoint At) {
  if (TLink link = LinkAt(Lines, At); link.Kind != lkNoLink) return link;
  if (At.Line < 0 || At.Line >= Lines.Count()) return {};
  const TJoinedLine joined = JoinedLine(Lines, At.Line);
  std::string lower = joined.Text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower.find('@') == std::string::npos && lower.find("://") == std::string::npos) return {};
  // Positions in the previous line's part lie on that line, the rest on this one.
  const int ownLength = static_cast<int>(WithoutFoldMark(Lines.View(At.Line)).size());
  const int end = joined.Offset + ownLength;
  for (int i = 0; i < end;) {
    const char c = lower[static_cast<size_t>(i)];
    if (c != '@' && c != 'f' && c != 'h' && c != 't') {
      ++i;
      continue;
    }
    const TTextPoint point = i < joined.Offset ? TTextPoint{i + 1, joined.Line}
                                               : TTextPoint{i - joined.Offset + 1, At.Line};
    if (TLink link = LinkAt(Lines, point); link.Kind != lkNoLink) return link;
    i += 2;
  }
  return {};
}

std::optional<TByteRange> SelectedBytes(const TLightStrings& Lines, TTextPoint A, TTextPoint B,
                                        int Line) {
  if (A == B || Line < 0 || Line >= Lines.Count()) return std::nullopt;
  const bool ordered = A.Line < B.Line || (A.Line == B.Line && A.Column <= B.Column);
  const TTextPoint start = ordered ? A : B;
  const TTextPoint end = ordered ? B : A;
  if (Line < start.Line || Line > end.Line) return std::nullopt;
  const std::string_view text = Lines.View(Line);
  // Columns below 1 count as 1; columns are taken as byte offsets from here on.
  auto offset = [](int column) { return static_cast<size_t>(std::max(column, 1) - 1); };
  const size_t first = Line == start.Line ? offset(start.Column) : 0;
  if (text.size() <= first) return std::nullopt;
  const size_t last = Line == end.Line ? std::min(text.size(), offset(end.Column)) : text.size();
  return TByteRange{first, std::max(first, last)};
}

int SelectionText(const TLightStrings& Lines, TTextPoint A, TTextPoint B, std::string* Buffer) {
  if (A == B || Lines.Count() == 0) return -1;
  std::vector<std::string_view> pieces;
  const int first = std::max(std::min(A.Line, B.Line), 0);
  const int last = std::min(std::max(A.Line, B.Line), Lines.Count() - 1);
  for (int line = first; line <= last; ++line)
    if (const std::optional<TByteRange> range = SelectedBytes(Lines, A, B, line))
      pieces.push_back(Lines.View(line).substr(range->First, range->Last - range->First));
  if (pieces.empty()) return 0;
  if (Buffer == nullptr) {
    size_t bound = 2 * (pieces.size() - 1);
    for (std::string_view piece : pieces) bound += piece.size();
    return static_cast<int>(std::min<size_t>(bound, std::numeric_limits<int>::max()));
  }
  Buffer->clear();
  for (size_t i = 0; i < pieces.size(); ++i) {
    for (char c : pieces[i])
      if (c != FoldMark) *Buffer += c;
    if (i + 1 < pieces.size() && !EndsWithFoldMark(pieces[i])) *Buffer += "\r\n";
  }
  return static_cast<int>(Buffer->size());
}

TTextPoint ClampToText(const TLightStrings& Lines, TTextPoint Point) {
  if (Lines.Count() == 0 || Point.Line < 0) return {};
  Point.Line = std::min(Point.Line, Lines.Count() - 1);
  const auto length = static_cast<int>(Lines.View(Point.Line).size());
  Point.Column = std::clamp(Point.Column, 0, length + 1);
  return Point;
}

namespace {

int OwnLength(const TLightStrings& lines, int line) {
  return static_cast<int>(WithoutFoldMark(lines.View(line)).size());
}

// The end of a folded line's own text is the start of its continuation;
// the caret takes the latter, so that every step moves it on screen.
TTextPoint AcrossFold(const TLightStrings& lines, TTextPoint point) {
  if (FoldsIntoNext(lines, point.Line) && point.Column > OwnLength(lines, point.Line))
    return {1, point.Line + 1};
  return point;
}

// The column of the character before `column` on the line (1 when none).
int PreviousCharacter(std::string_view own, int column) {
  int start = 1;
  for (size_t pos = 0; static_cast<int>(pos) + 1 < column && pos < own.size();
       pos += static_cast<size_t>(CharLength(own, pos)))
    start = static_cast<int>(pos) + 1;
  return start;
}

// One line up or down, keeping the column on the line and off a trail byte.
TTextPoint VerticalStep(const TLightStrings& lines, TTextPoint to, int direction) {
  to.Line = std::clamp(to.Line + direction, 0, lines.Count() - 1);
  const std::string_view text = lines.View(to.Line);
  to.Column = std::min(to.Column, OwnLength(lines, to.Line) + 1);
  if (IsTrailByte(text, to.Column)) to.Column += direction;
  return to;
}

}  // namespace

TTextPoint CaretStep(const TLightStrings& Lines, TTextPoint From, TCaretMove Move) {
  if (Lines.Count() == 0) return {};
  TTextPoint to = ClampToText(Lines, From);
  to.Column = std::max(to.Column, 1);
  switch (Move) {
    case cmUp:
      return VerticalStep(Lines, to, -1);
    case cmDown:
      return VerticalStep(Lines, to, 1);
    case cmLeft: {
      to = AcrossFold(Lines, to);
      if (to.Column > 1)
        return {PreviousCharacter(WithoutFoldMark(Lines.View(to.Line)), to.Column), to.Line};
      if (to.Line == 0 || !FoldsIntoNext(Lines, to.Line - 1)) return to;
      const int previous = to.Line - 1;
      return {PreviousCharacter(WithoutFoldMark(Lines.View(previous)),
                                OwnLength(Lines, previous) + 1),
              previous};
    }
    case cmRight: {
      to = AcrossFold(Lines, to);
      const std::string_view own = WithoutFoldMark(Lines.View(to.Line));
      if (to.Column <= static_cast<int>(own.size()))
        to.Column += CharLength(own, static_cast<size_t>(to.Column - 1));
      return AcrossFold(Lines, to);
    }
  }
  return to;
}
