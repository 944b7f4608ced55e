#include "view/Selection.h"

#include <algorithm>
#include <cctype>
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
  const auto pos = static_cast<size_t>(column - 1);
  return column >= 1 && pos < line.size() && ByteKinds(line)[pos] == bkTrail;
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
  const auto [begin, end] =
      WordBytes(joined.Text, static_cast<size_t>(At.Column - 1 + joined.Offset));
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

int SelectionText(const TLightStrings& Lines, TTextPoint A, TTextPoint B, std::string* Buffer) {
  if (A == B || Lines.Count() == 0) return -1;
  const bool ordered = A.Line < B.Line || (A.Line == B.Line && A.Column <= B.Column);
  const TTextPoint start = ordered ? A : B;
  const TTextPoint end = ordered ? B : A;
  std::vector<std::string_view> pieces;
  for (int line = std::max(start.Line, 0); line <= end.Line && line < Lines.Count(); ++line) {
    const std::string_view text = Lines.View(line);
    const int firstColumn = line == start.Line ? start.Column : 1;
    if (static_cast<int>(text.size()) < firstColumn) continue;
    const size_t from = static_cast<size_t>(std::max(firstColumn, 1) - 1);
    size_t to = text.size();
    if (line == end.Line) to = std::min(to, static_cast<size_t>(std::max(end.Column - 1, 0)));
    pieces.push_back(text.substr(from, std::max(to, from) - from));
  }
  if (pieces.empty()) return 0;
  if (Buffer == nullptr) {
    size_t bound = 2 * (pieces.size() - 1);
    for (std::string_view piece : pieces) bound += piece.size();
    return static_cast<int>(bound);
  }
  Buffer->clear();
  for (size_t i = 0; i < pieces.size(); ++i) {
    std::string piece(pieces[i]);
    std::erase(piece, FoldMark);
    *Buffer += piece;
    if (i + 1 < pieces.size() && !EndsWithFoldMark(pieces[i])) *Buffer += "\r\n";
  }
  return static_cast<int>(Buffer->size());
}

TTextPoint CaretStep(const TLightStrings& Lines, TTextPoint From, TCaretMove Move) {
  TTextPoint to = From;
  auto onTrailByte = [&] { return IsTrailByte(Lines.View(to.Line), to.Column); };
  switch (Move) {
    case cmUp:
      if (to.Line > 0) --to.Line;
      if (onTrailByte()) --to.Column;
      break;
    case cmDown:
      if (to.Line < Lines.Count() - 1) ++to.Line;
      if (onTrailByte()) ++to.Column;
      break;
    case cmLeft:
      if (to.Column > 1) --to.Column;
      if (onTrailByte()) --to.Column;
      break;
    case cmRight:
      ++to.Column;
      if (onTrailByte()) ++to.Column;
      break;
  }
  return to;
}
