#include "view/ViewDocument.h"

#include <algorithm>

size_t TViewDocument::Checked(int Index) const {
  if (Index < 0 || Index >= Count()) FTexts.Error();
  return static_cast<size_t>(Index);
}

int TViewDocument::Append(std::string_view Head, std::string_view Tail, QRgb Color,
                          TMotion Motion) {
  const int index = FTexts.Add(Head, Tail);
  FLines.push_back({Color, NewSerial(), std::move(Motion)});
  return index;
}

void TViewDocument::Rewrite(int Index, std::string_view Head, std::string_view Tail,
                            TMotion Motion) {
  FTexts.Put(Index, Head, Tail);
  TViewLine& line = FLines[Checked(Index)];
  line.Motion = std::move(Motion);
  line.Serial = NewSerial();
}

void TViewDocument::Put(int Index, std::string_view Text) {
  FTexts.Put(Index, Text);
  FLines[Checked(Index)].Serial = NewSerial();
}

void TViewDocument::Blank(int Index) {
  Rewrite(Index, {}, {}, {});
}

void TViewDocument::NextFrame(int Index) {
  TViewLine& line = FLines[Checked(Index)];
  FTexts.Put(Index, NextMotionFrame(FTexts.View(Index), line.Motion));
  line.Serial = NewSerial();
}

void TViewDocument::Insert(int Index, std::string_view Text, QRgb Color) {
  FTexts.Insert(Index, Text);
  FLines.insert(FLines.begin() + Index, TViewLine{Color, NewSerial(), {}});
}

void TViewDocument::Delete(int Index) {
  FTexts.Delete(Index);
  FLines.erase(FLines.begin() + Index);
}

void TViewDocument::DeleteFirst(int Count) {
  Count = std::min(Count, this->Count());
  if (Count <= 0) return;
  FTexts.DeleteRange(0, Count);
  FLines.erase(FLines.begin(), FLines.begin() + Count);
}

void TViewDocument::Exchange(int Index1, int Index2) {
  FTexts.Exchange(Index1, Index2);
  std::swap(FLines[Checked(Index1)], FLines[Checked(Index2)]);
}

void TViewDocument::Clear() {
  FTexts.Clear();
  FLines.clear();
}

void TViewDocument::AppendRecords(QRgb Color) {
  while (FLines.size() < static_cast<size_t>(Count())) FLines.push_back({Color, NewSerial(), {}});
}

void TViewDocument::LoadFromFile(const std::string& FileName, QRgb Color) {
  Clear();
  try {
    FTexts.LoadFromFile(FileName);
  } catch (...) {
    AppendRecords(Color);
    throw;
  }
  AppendRecords(Color);
}

void TViewDocument::LoadFromStream(std::istream& Stream, QRgb Color) {
  Clear();
  FTexts.LoadFromStream(Stream);
  AppendRecords(Color);
}
