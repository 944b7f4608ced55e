#include "view/LineFold.h"

#include "text/Codec.h"

int FoldCut(std::string_view text, int width) {
  int cut = width;
  size_t j = 0;  // 0-based; the 1-based position is j + 1
  while (static_cast<int>(j) < width && j < text.size()) {
    const int position = static_cast<int>(j) + 1;
    if (!IsLeadByte(static_cast<unsigned char>(text[j]))) {
      cut = position;
      ++j;
    } else if (position < width || (position == 1 && text.size() > 1)) {
      cut = position + 1;
      j += 2;
    } else {
      break;
    }
  }
  return cut;
}

std::string_view WithoutDanglingLeadByte(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    if (IsLeadByte(static_cast<unsigned char>(text[pos]))) {
      if (pos + 1 == text.size()) return text.substr(0, pos);
      pos += 2;
    } else {
      ++pos;
    }
  }
  return text;
}

bool FoldsIntoNext(const TLightStrings& lines, int index) {
  return index >= 0 && index + 1 < lines.Count() && EndsWithFoldMark(lines.View(index));
}

TFoldJoin JoinAcrossFolds(const TLightStrings& lines, int index) {
  TFoldJoin join;
  join.Own = WithoutFoldMark(lines.View(index));
  join.Continuation = FoldsIntoNext(lines, index - 1);
  if (join.Continuation) join.Before = WithoutFoldMark(lines.View(index - 1));
  if (FoldsIntoNext(lines, index)) join.After = WithoutFoldMark(lines.View(index + 1));
  return join;
}
