#include "view/LineFolder.h"

#include <algorithm>
#include <cstring>

#include "view/LineFold.h"

TLineFolder::TLineFolder(std::string_view text, int width, bool parseMotion)
    : FText(text),
      FWidth(std::max(width, 1)),
      FParseMotion(parseMotion && text.find(MotionSectionMark) != std::string_view::npos) {
  if (FParseMotion) {
    FOwned = text;
    FText = FOwned;
  }
}

std::string_view TLineFolder::Piece(size_t pos, size_t count) {
  count = std::min(count, Size() - pos);
  if (pos + count <= FWrite) return FText.substr(pos, count);
  if (pos >= FWrite) return FText.substr(FRead + (pos - FWrite), count);
  FGathered.assign(FText, pos, FWrite - pos);
  FGathered.append(FText, FRead, count - FGathered.size());
  return FGathered;
}

void TLineFolder::Settle(size_t end) {
  if (end <= FWrite) return;
  const size_t count = end - FWrite;
  if (FWrite != FRead) std::memmove(FOwned.data() + FWrite, FOwned.data() + FRead, count);
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
  while (FFirstCommand < FCommandsBefore.size() && FCommandsBefore[FFirstCommand] < FPos)
    ++FFirstCommand;
  return FCommandsBefore.size() - FFirstCommand;
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
  std::memcpy(FOwned.data() + open, first.data(), first.size());
  FWrite = open + first.size();
  FScanFrom = FWrite;
  motion.Start = static_cast<int>(open - FPos) + 1;
  return motion;
}

TPieceView TLineFolder::NextPiece() {
  TPieceView piece;
  if (FParseMotion) piece.Motion = ParseNextSection();
  const size_t left = Size() - FPos;
  piece.Text = Piece(FPos, static_cast<size_t>(FWidth) + 1);
  size_t cut = left;
  if (left >= static_cast<size_t>(FWidth))
    cut = std::min(cut, static_cast<size_t>(FoldCut(piece.Text, FWidth)));
  // An animated region that the fold cuts through stays at its first frame.
  if (!piece.Motion.Empty() &&
      static_cast<size_t>(piece.Motion.Start - 1 + piece.Motion.Width) > cut)
    piece.Motion = {};
  piece.Text = piece.Text.substr(0, cut);
  FPos += cut;
  FDone = FPos >= Size();
  piece.Folded = !FDone;
  return piece;
}

TStoredPiece TLineFolder::Next() {
  TPieceView piece = NextPiece();
  std::string text(piece.Text);
  if (piece.Folded) text += FoldMark;
  return {std::move(text), std::move(piece.Motion)};
}
