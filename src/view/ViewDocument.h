#pragma once
// TViewDocument: the lines a view holds, each with what the view keeps
// beside it. A line is its text and a TViewLine record (base colour,
// animation, serial); every operation changes both together. The texts stay
// in the compact line store, which the fold and selection helpers read, and
// its errors (EListError, EInOutError) are the document's.

#include <QRgb>
#include <cstdint>
#include <deque>
#include <iosfwd>
#include <string>
#include <string_view>

#include "text/LightStrings.h"
#include "view/Motion.h"

struct TViewLine {
  QRgb Color = 0;       // the base colour the line was added with
  uint64_t Serial = 0;  // changes whenever the line's text changes
  TMotion Motion;       // empty for a line without animation
};

class TViewDocument {
 public:
  int Count() const { return FTexts.Count(); }
  const TLightStrings& Texts() const { return FTexts; }
  // Line Index's text without a copy; valid until the line changes.
  std::string_view Text(int Index) const { return FTexts.View(Index); }
  const TViewLine& Line(int Index) const { return FLines[Checked(Index)]; }

  // Appends Head followed by Tail as one line; returns its index.
  int Append(std::string_view Head, std::string_view Tail, QRgb Color, TMotion Motion);
  // Rewrites line Index's text and animation; its colour stays.
  void Rewrite(int Index, std::string_view Head, std::string_view Tail, TMotion Motion);
  // Replaces line Index's text; its colour and animation stay.
  void Put(int Index, std::string_view Text);
  // Makes line Index empty, without animation.
  void Blank(int Index);
  // Shows the animation's next frame in line Index, whose record holds it.
  void NextFrame(int Index);
  void Insert(int Index, std::string_view Text, QRgb Color);
  void Delete(int Index);
  // Removes the first Count lines (at most all of them) in one step.
  void DeleteFirst(int Count);
  void Exchange(int Index1, int Index2);
  void Clear();

  // Replace the lines by a file's or stream's (unfolded, without
  // animation), each with Color; after a failed load the lines read so far
  // stay.
  void LoadFromFile(const std::string& FileName, QRgb Color);
  void LoadFromStream(std::istream& Stream, QRgb Color);

  int Capacity() const { return FTexts.Capacity(); }
  void SetCapacity(int Value) { FTexts.SetCapacity(Value); }

 private:
  size_t Checked(int Index) const;
  uint64_t NewSerial() { return FNextSerial++; }
  // Gives the lines loaded straight into the store their records.
  void AppendRecords(QRgb Color);

  TLightStrings FTexts;
  // A deque: dropping the oldest lines costs what they are, not what is kept.
  std::deque<TViewLine> FLines;
  uint64_t FNextSerial = 2;  // 0 and 1 mark "no line" in row keys
};
