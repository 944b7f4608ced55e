// TQuokkaView: the lines. Received lines are folded and stored, the partial
// line is shown and replaced, the line limit is applied, and the list
// operations keep the colours, animations and partial line in step with
// the store. Also the animation timer, which rewrites the visible lines.
#include <QScrollBar>
#include <algorithm>

#include "view/LineFold.h"
#include "view/LineFolder.h"
#include "view/QuokkaView.h"

namespace {

// The timer's shortest interval, as the platform timers of the design had.
constexpr int ShortestMotionInterval = 10;

}  // namespace

int TQuokkaView::FoldWidth() const {
  if (FEightyColumns) return 80;
  return std::max(1, TextAreaWidth() / FCharWidth);
}

// A hidden view is not laid out; it takes the width that its parent will
// give it when it is shown, less its frame and scroll bar.
int TQuokkaView::TextAreaWidth() const {
  if (!isHidden() || !parentWidget()) return viewport()->width();
  const int scrollBar = HasVerticalBar() ? verticalScrollBar()->sizeHint().width() : 0;
  return std::max(1, parentWidget()->contentsRect().width() - 2 * frameWidth() - scrollBar);
}

void TQuokkaView::WriteMotion(int Index, TMotion Motion) {
  if (Index < static_cast<int>(FMotions.size()))
    FMotions[static_cast<size_t>(Index)] = std::move(Motion);
  else
    FMotions.push_back(std::move(Motion));
}

int TQuokkaView::StoreLine(std::string Text) {
  std::erase(Text, FoldMark);
  return StorePieces(TLineFolder(std::move(Text), FoldWidth(), !FIgnoreMotion));
}

// Writes the folder's pieces from FWritePos on: over blanked lines first,
// then appended.
int TQuokkaView::StorePieces(TLineFolder Folder, size_t Offset) {
  int result = LineCount();
  do {
    if (FWritePos >= LineCount()) FLineColors.push_back(FTextColor.rgba());
    FPartial.LastPiece = Offset + Folder.Position();
    TStoredPiece piece = Folder.Next();
    if (!piece.Motion.Empty()) FMotionTimer.start();
    WriteMotion(FWritePos, std::move(piece.Motion));
    if (FWritePos < LineCount()) {
      FLines.Put(FWritePos, piece.Text);
      FLineSerials[static_cast<size_t>(FWritePos)] = NewSerial();
      result = LineCount();
    } else {
      result = FLines.Add(piece.Text);
      FLineSerials.push_back(NewSerial());
    }
    ++FWritePos;
  } while (!Folder.Done());
  return result;
}

void TQuokkaView::DropPartialLine() {
  const int count = LineCount();
  for (int i = 1; i <= FPartialCount; ++i) {
    const int index = count - i;
    if (index < 0) break;
    FMotions[static_cast<size_t>(index)] = {};
    FLines.Put(index, {});
    FLineSerials[static_cast<size_t>(index)] = NewSerial();
  }
  FWritePos = std::max(0, count - FPartialCount);
  FPartialCount = 0;
}

void TQuokkaView::WidenMaxChar(int First, int Last) {
  size_t widest = 0;
  for (int i = std::max(First, 0); i <= Last && i < LineCount(); ++i)
    widest = std::max(widest, FLines.View(i).size());
  widest = std::min(widest, static_cast<size_t>(WidestLayout));
  if (static_cast<int>(widest) > FMaxChar) {
    SetMaxChar(static_cast<int>(widest));
    UpdateScrollRanges();
  }
}

void TQuokkaView::FinishAdding(int SourceLines) {
  {
    TUpdatingScope updating(*this);
    WidenMaxChar(LineCount() - SourceLines, LineCount() - 1);
    UpdateScrollRanges();
    if (FBottomLine < FTopLine + FPageLines - 1) SetBottomLine(FTopLine + FPageLines - 1);
    if (FAutoScroll) {
      SetTopLine(LineCount() - FPageLines);
      SetVScrollPos(FTopLine);
    }
    KeepPageOnTheLines();
  }
  RefreshView();
}

int TQuokkaView::Add(std::string_view S) {
  DropPartialLine();
  const int index = StoreLine(std::string(S));
  FinishAdding(1);
  return index;
}

void TQuokkaView::AddLines(const std::vector<std::string>& Lines) {
  DropPartialLine();
  for (const std::string& line : Lines) StoreLine(line);
  FinishAdding(static_cast<int>(Lines.size()));
}

void TQuokkaView::AddColoredLines(const std::vector<std::string>& Lines,
                                  const std::vector<QColor>& Colors) {
  DropPartialLine();
  for (size_t i = 0; i < Lines.size(); ++i) {
    if (i < Colors.size()) FTextColor = Colors[i];
    StoreLine(Lines[i]);
  }
  FinishAdding(static_cast<int>(Lines.size()));
}

void TQuokkaView::ShowPartialLine(std::string_view Text) {
  const int first = LineCount() - FPartialCount;
  if (!GrowPartialLine(Text)) ReshowPartialLine(Text);
  FPartialCount = LineCount() - first;
  ApplyLineLimit();
  FinishAdding(1);
}

void TQuokkaView::ReshowPartialLine(std::string_view Text) {
  DropPartialLine();
  FPartial.Raw = Text;
  FPartial.Shown = WithoutDanglingLeadByte(Text);
  std::erase(FPartial.Shown, FoldMark);
  FPartial.Width = FoldWidth();
  FPartial.Parsed = !FIgnoreMotion;
  FPartial.Growable = FIgnoreMotion || FPartial.Shown.find(MotionSectionMark) == std::string::npos;
  StorePieces(TLineFolder(FPartial.Shown, FPartial.Width, FPartial.Parsed));
}

// A partial line that only grew since it was shown keeps its stored lines
// but the last, which is folded again with what arrived: the cost of a
// block does not grow with the length of the line. False when the line
// must be stored anew.
bool TQuokkaView::GrowPartialLine(std::string_view Text) {
  if (FPartialCount == 0 || !FPartial.Growable || FPartial.Width != FoldWidth() ||
      FPartial.Parsed == FIgnoreMotion || Text.size() < FPartial.Raw.size() ||
      Text.compare(0, FPartial.Raw.size(), FPartial.Raw) != 0)
    return false;
  // The shown text ends on a character boundary of the raw text.
  const size_t boundary = WithoutDanglingLeadByte(FPartial.Raw).size();
  std::string added(WithoutDanglingLeadByte(Text.substr(boundary)));
  std::erase(added, FoldMark);
  if (!FIgnoreMotion && added.find(MotionSectionMark) != std::string::npos) return false;
  FPartial.Raw.append(Text.substr(FPartial.Raw.size()));
  FPartial.Shown += added;
  FWritePos = LineCount() - 1;
  StorePieces(TLineFolder(FPartial.Shown.substr(FPartial.LastPiece), FPartial.Width,
                          FPartial.Parsed),
              FPartial.LastPiece);
  return true;
}

void TQuokkaView::ApplyLineLimit() {
  if (FMaxLineCount <= 0 || LineCount() <= FMaxLineCount) return;
  const int excess = LineCount() - FMaxLineCount;
  for (int i = 0; i < excess; ++i) FLines.Delete(0);
  FLineColors.erase(FLineColors.begin(), FLineColors.begin() + excess);
  FMotions.erase(FMotions.begin(), FMotions.begin() + excess);
  FLineSerials.erase(FLineSerials.begin(), FLineSerials.begin() + excess);
  // Trimming may take stored lines of the partial line itself.
  FPartialCount = std::min(FPartialCount, LineCount());
  // The selection stays on the text it covers, so that what is highlighted
  // is what a drag goes on to select and what Copy takes.
  FSelStart = LinesRemovedAbove(FSelStart, excess);
  FSelEnd = LinesRemovedAbove(FSelEnd, excess);
  UpdateScrollRanges();
  if (LineCount() - 1 < FTopLine) SetTopLine(LineCount() - 1);
  KeepPageOnTheLines();
}

void TQuokkaView::Assign(const std::vector<std::string>& Lines) {
  Clear();
  for (const std::string& line : Lines) StoreLine(line);
  WidenMaxChar(0, LineCount() - 1);
  UpdateScrollRanges();
  SetTopLine(0);
  ResetSelection();
  if (FBottomLine < FTopLine + FPageLines - 1) SetBottomLine(FTopLine + FPageLines - 1);
}

void TQuokkaView::Clear() {
  FLineColors.clear();
  FMotions.clear();
  FLineSerials.clear();
  FLines.Clear();
  FPartialCount = 0;
  FWritePos = 0;
  UpdateScrollRanges();
  ResetSelection();
  if (FTopLine != 0) {
    SetTopLine(0);
  } else {
    KeepPageOnTheLines();
    RefreshView();
  }
}

void TQuokkaView::AssignTo(std::vector<std::string>& Dest) const {
  FLines.AssignTo(Dest);
}

void TQuokkaView::Delete(int Index) {
  const int partialStart = LineCount() - FPartialCount;
  FLines.Delete(Index);
  if (Index >= partialStart) {
    --FPartialCount;
    FPartial.Growable = false;
  }
  const auto at = static_cast<ptrdiff_t>(Index);
  FLineColors.erase(FLineColors.begin() + at);
  FMotions.erase(FMotions.begin() + at);
  FLineSerials.erase(FLineSerials.begin() + at);
  UpdateScrollRanges();
  ResetSelection();
  if (LineCount() - 1 < FTopLine) SetTopLine(LineCount() - 1);
  KeepPageOnTheLines();
}

void TQuokkaView::Exchange(int Index1, int Index2) {
  FLines.Exchange(Index1, Index2);
  if (InPartialLine(Index1) || InPartialLine(Index2)) EndPartialLine();
  const auto i = static_cast<size_t>(Index1);
  const auto j = static_cast<size_t>(Index2);
  std::swap(FLineColors[i], FLineColors[j]);
  std::swap(FMotions[i], FMotions[j]);
  std::swap(FLineSerials[i], FLineSerials[j]);
  KeepPageOnTheLines();
  auto shown = [this](int index) { return index >= FTopLine && index <= FBottomLine; };
  if (shown(Index1) || shown(Index2)) RefreshView();
}

std::string TQuokkaView::Get(int Index) const {
  if (Index < 0 || Index >= LineCount()) return {};
  return FLines.Get(Index);
}

int TQuokkaView::IndexOf(std::string_view S) const {
  return FLines.IndexOf(S);
}

void TQuokkaView::Insert(int Index, std::string_view S) {
  // The partial line stays last: a line inserted into or after it goes before it.
  if (Index <= LineCount() && InPartialLine(Index)) Index = LineCount() - FPartialCount;
  FLines.Insert(Index, S);
  const auto at = static_cast<ptrdiff_t>(Index);
  FLineColors.insert(FLineColors.begin() + at, FTextColor.rgba());
  FMotions.insert(FMotions.begin() + at, TMotion{});
  FLineSerials.insert(FLineSerials.begin() + at, NewSerial());
  WidenMaxChar(Index, Index);
  UpdateScrollRanges();
  KeepPageOnTheLines();
  if (Index <= FBottomLine) RefreshView();
}

void TQuokkaView::Put(int Index, std::string_view S) {
  if (Index < 0 || Index >= LineCount()) return;
  FLines.Put(Index, S);
  if (InPartialLine(Index)) EndPartialLine();
  KeepPageOnTheLines();
  FLineSerials[static_cast<size_t>(Index)] = NewSerial();
  UpdateScrollRanges();
  if (Index >= FTopLine && Index <= FBottomLine) RefreshView();
}

// Gives the lines loaded straight into the store their colour, serial and
// (empty) animation entries.
void TQuokkaView::AppendLineEntries() {
  const auto count = static_cast<size_t>(LineCount());
  FLineColors.resize(count, FTextColor.rgba());
  FMotions.resize(count);
  while (FLineSerials.size() < count) FLineSerials.push_back(NewSerial());
}

void TQuokkaView::FinishLoading() {
  WidenMaxChar(0, LineCount() - 1);
  UpdateScrollRanges();
  ResetSelection();
  KeepPageOnTheLines();
  if (FTopLine != 0)
    SetTopLine(0);
  else
    RefreshView();
}

// Loaded lines are folded and scanned for animation as received ones are.
void TQuokkaView::StoreLoadedLines(const TLightStrings& Loaded) {
  for (int i = 0; i < Loaded.Count(); ++i) StoreLine(std::string(Loaded.View(i)));
}

void TQuokkaView::LoadFromFile(const std::string& FileName) {
  Clear();
  if (FIgnoreMotion) {
    try {
      FLines.LoadFromFile(FileName);
    } catch (...) {
      // The store keeps what it read before the failure.
      AppendLineEntries();
      FinishLoading();
      throw;
    }
    AppendLineEntries();
  } else {
    TLightStrings loaded;
    loaded.LoadFromFile(FileName);
    StoreLoadedLines(loaded);
  }
  FinishLoading();
}

void TQuokkaView::LoadFromStream(std::istream& Stream) {
  Clear();
  if (FIgnoreMotion) {
    FLines.LoadFromStream(Stream);
    AppendLineEntries();
  } else {
    TLightStrings loaded;
    loaded.LoadFromStream(Stream);
    StoreLoadedLines(loaded);
  }
  FinishLoading();
}

void TQuokkaView::SaveToFile(const std::string& FileName) const {
  FLines.SaveToFile(FileName);
}

void TQuokkaView::SaveToStream(std::ostream& Stream) const {
  FLines.SaveToStream(Stream);
}

QColor TQuokkaView::LineColor(int Index) const {
  if (Index < 0 || Index >= LineCount()) return {};
  return QColor::fromRgba(FLineColors[static_cast<size_t>(Index)]);
}

bool TQuokkaView::InPartialLine(int Index) const {
  return FPartialCount > 0 && Index >= LineCount() - FPartialCount;
}

// Its stored lines become ordinary lines that the next batch leaves alone.
void TQuokkaView::EndPartialLine() {
  FPartialCount = 0;
}

TTextPoint TQuokkaView::LinesRemovedAbove(TTextPoint Point, int Removed) {
  if (Point.Line >= Removed) return {Point.Column, Point.Line - Removed};
  return {};
}

void TQuokkaView::SetIgnoreMotion(bool Value) {
  FIgnoreMotion = Value;
  if (Value)
    FMotionTimer.stop();
  else
    FMotionTimer.start();
}

void TQuokkaView::SetMotionInterval(int Value) {
  FMotionInterval = std::max(Value, ShortestMotionInterval);
  FMotionTimer.setInterval(FMotionInterval);
}

void TQuokkaView::MotionTimerTick() {
  if (FIgnoreMotion || LineCount() == 0) return;
  bool changed = false;
  const int last = std::min(FBottomLine, LineCount() - 1);
  for (int index = std::max(FTopLine, 0); index <= last; ++index) {
    TMotion& motion = FMotions[static_cast<size_t>(index)];
    if (motion.Empty()) continue;
    FLines.Put(index, NextMotionFrame(FLines.View(index), motion));
    FLineSerials[static_cast<size_t>(index)] = NewSerial();
    changed = true;
  }
  if (changed) RefreshView();
}
