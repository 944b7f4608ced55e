#include "view/LineFolder.h"

#include <algorithm>
#include <cstring>

#include "view/LineFold.h"

TLineFolder::TLineFolder(std::string text, int width, bool parseMotion)
    : FText(std::move(text)), FWidth(std::max(width, 1)), FParseMotion(parseMotion) {}

std::string TLineFolder::Copy(size_t pos, size_t count) const {
  count = std::min(count, Size() - pos);
  std::string copy;
  copy.reserve(count);
  if (pos < FWrite) copy.append(FText, pos, std::min(count, FWrite - pos));
  const size_t settled = copy.size();
  if (settled < count) copy.append(FText, FRead + (pos + settled - FWrite), count - settled);
  return copy;
}

void TLineFolder::Settle(size_t end) {
  if (end <= FWrite) return;
  const size_t count = end - FWrite;
  if (FWrite != FRead) std::memmove(FText.data() + FWrite, FText.data() + FRead, count);
  FWrite += count;
  FRead += count;
}

size_t TLineFolder::Find(char byte, size_t from) const {
  if (from < FWrite) {
    const size_t found = FText.find(byte, from);
    if (found < FWrite) return found;
    from = FWrite;
  }
  const size_t found = FText.find(byte, FRead + (from - FWrite));
  return found == std::string::npos ? found : found - FRead + FWrite;
}

// Command bytes between the piece's start and a section's opening each add
// an empty frame. Those already seen are remembered, so that no byte is
// counted twice however far the section lies.
size_t TLineFolder::CountHeldCommands(size_t from, size_t open) {
  for (size_t pos = from; pos < open; ++pos)
    if (IsMotionCommand(FText[pos])) FCommandsBefore.push_back(pos);
  while (!FCommandsBefore.empty() && FCommandsBefore.front() < FPos) FCommandsBefore.pop_front();
  return FCommandsBefore.size();
}

TMotion TLineFolder::ParseNextSection() {
  const size_t from = std::max(FPos, FScanFrom);
  const size_t open = Find(MotionSectionMark, from);
  const size_t close = open == std::string::npos ? open : Find(MotionSectionMark, open + 1);
  if (close == std::string::npos) {
    FParseMotion = false;  // no closed section is left in the line
    return {};
  }
  Settle(close + 1);
  const size_t held = CountHeldCommands(from, open);
  const std::string_view section(FText.data() + open, close - open + 1);
  TMotion motion = ParseSection(section, held);
  const std::string first = PaddedFrame(motion);
  std::memcpy(FText.data() + open, first.data(), first.size());
  FWrite = open + first.size();
  FScanFrom = FWrite;
  motion.Start = static_cast<int>(open - FPos) + 1;
  return motion;
}

TStoredPiece TLineFolder::Next() {
  TStoredPiece piece;
  if (FParseMotion) piece.Motion = ParseNextSection();
  const size_t left = Size() - FPos;
  piece.Text = Copy(FPos, static_cast<size_t>(FWidth) + 1);
  size_t cut = left;
  if (left >= static_cast<size_t>(FWidth))
    cut = std::min(cut, static_cast<size_t>(FoldCut(piece.Text, FWidth)));
  // An animated region that the fold cuts through stays at its first frame.
  if (!piece.Motion.Empty() &&
      static_cast<size_t>(piece.Motion.Start - 1 + piece.Motion.Width) > cut)
    piece.Motion = {};
  piece.Text.resize(cut);
  FPos += cut;
  FDone = FPos >= Size();
  if (!FDone) piece.Text += FoldMark;
  return piece;
}
