#pragma once
// Cuts a received line into the pieces that a view stores, in one pass over
// the line: each piece holds at most the fold width of whole characters and,
// when text follows, ends with the fold mark. Before each piece is cut, the
// rest of the line is searched for an animated section, which is replaced by
// its first frame; a piece keeps the animation when its region fits in it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "view/Motion.h"

struct TStoredPiece {
  std::string Text;
  TMotion Motion;
};

// A piece without a copy: its text (without the fold mark) stays valid
// until the next call of the folder.
struct TPieceView {
  std::string_view Text;
  bool Folded = false;  // text follows: the stored piece ends with the fold mark
  TMotion Motion;
};

class TLineFolder {
 public:
  // `text` holds no fold marks; `width` is at least 1. The folder reads the
  // text where it is (it must outlive the folder) and copies it only when
  // it holds an animated section to rewrite.
  TLineFolder(std::string_view text, int width, bool parseMotion);
  // Not copied: the text it reads may be its own.
  TLineFolder(const TLineFolder&) = delete;
  TLineFolder& operator=(const TLineFolder&) = delete;

  bool Done() const { return FDone; }
  // Where the next piece starts in the line as rewritten so far.
  size_t Position() const { return FPos; }
  TStoredPiece Next();
  TPieceView NextPiece();

 private:
  // The line as rewritten: FText[0, FWrite) followed by FText[FRead, end).
  // A section is replaced where it stands, so every byte moves at most once.
  // Only an owned text (FOwned) is ever rewritten.
  size_t Size() const { return FWrite + FText.size() - FRead; }
  // The bytes [pos, pos + count) of the rewritten line in one piece: where
  // they lie, or gathered into FGathered when they straddle the rewrite.
  std::string_view Piece(size_t pos, size_t count);
  // Moves the bytes up to `end` of the rewritten line into one piece of FText.
  void Settle(size_t end);
  size_t Find(char byte, size_t from) const;
  // Replaces the first closed section after the current piece's start by its
  // first frame; the motion's start is relative to that piece.
  TMotion ParseNextSection();
  size_t CountHeldCommands(size_t from, size_t open);

  std::string FOwned;
  std::string_view FText;
  std::string FGathered;
  size_t FWrite = 0;
  size_t FRead = 0;
  size_t FPos = 0;
  int FWidth;
  bool FParseMotion;
  bool FDone = false;
  size_t FScanFrom = 0;                 // no section opens before here
  // Command bytes seen before sections, from FFirstCommand on still at or
  // after the piece's start. A vector: a folder is made for every line, and
  // an empty vector allocates nothing.
  std::vector<size_t> FCommandsBefore;
  size_t FFirstCommand = 0;
};
