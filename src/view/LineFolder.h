#pragma once
// Cuts a received line into the pieces that a view stores, in one pass over
// the line: each piece holds at most the fold width of whole characters and,
// when text follows, ends with the fold mark. Before each piece is cut, the
// rest of the line is searched for an animated section, which is replaced by
// its first frame; a piece keeps the animation when its region fits in it.

#include <cstddef>
#include <deque>
#include <string>

#include "view/Motion.h"

struct TStoredPiece {
  std::string Text;
  TMotion Motion;
};

class TLineFolder {
 public:
  // `text` holds no fold marks; `width` is at least 1.
  TLineFolder(std::string text, int width, bool parseMotion);

  bool Done() const { return FDone; }
  // Where the next piece starts in the line as rewritten so far.
  size_t Position() const { return FPos; }
  TStoredPiece Next();

 private:
  // The line as rewritten: FText[0, FWrite) followed by FText[FRead, end).
  // A section is replaced where it stands, so every byte moves at most once.
  size_t Size() const { return FWrite + FText.size() - FRead; }
  std::string Copy(size_t pos, size_t count) const;
  // Moves the bytes up to `end` of the rewritten line into one piece of FText.
  void Settle(size_t end);
  size_t Find(char byte, size_t from) const;
  // Replaces the first closed section after the current piece's start by its
  // first frame; the motion's start is relative to that piece.
  TMotion ParseNextSection();
  size_t CountHeldCommands(size_t from, size_t open);

  std::string FText;
  size_t FWrite = 0;
  size_t FRead = 0;
  size_t FPos = 0;
  int FWidth;
  bool FParseMotion;
  bool FDone = false;
  size_t FScanFrom = 0;                 // no section opens before here
  std::deque<size_t> FCommandsBefore;  // command bytes seen before sections
};
