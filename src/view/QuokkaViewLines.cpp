// TQuokkaView: the lines. Received lines are folded and stored in the
// document, the partial line is shown and replaced, the line limit is
// applied, and the list operations keep the partial line last. Also the
// animation timer, which rewrites the visible lines.
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

// A line is copied only when it holds fold marks to drop; the folder reads
// it where it is.
int TQuokkaView::StoreLine(std::string_view Text) {
  std::string cleaned;
  if (Text.find(FoldMark) != std::string_view::npos) {
    cleaned = Text;
    std::erase(cleaned, FoldMark);
    Text = cleaned;
  }
  TLineFolder folder(Text, FoldWidth(), !FIgnoreMotion);
  return StorePieces(folder);
}

// Writes the folder's pieces from FWritePos on: over blanked lines first,
// then appended. Each piece goes into the store with its fold mark in one copy.
int TQuokkaView::StorePieces(TLineFolder& Folder, size_t Offset) {
  static constexpr char Mark[] = {FoldMark};
  int result = LineCount();
  do {
    FPartial.LastPiece = Offset + Folder.Position();
    TPieceView piece = Folder.NextPiece();
    if (!piece.Motion.Empty()) FMotionTimer.start();
    const std::string_view mark(Mark, piece.Folded ? 1 : 0);
    if (FWritePos < LineCount()) {
      FDocument.Rewrite(FWritePos, piece.Text, mark, std::move(piece.Motion));
      result = LineCount();
    } else {
      result = FDocument.Append(piece.Text, mark, FTextColor.rgba(), std::move(piece.Motion));
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
    FDocument.Blank(index);
  }
  FWritePos = std::max(0, count - FPartialCount);
  FPartialCount = 0;
}

void TQuokkaView::WidenMaxChar(int First, int Last) {
  size_t widest = 0;
  for (int i = std::max(First, 0); i <= Last && i < LineCount(); ++i)
    widest = std::max(widest, FDocument.Text(i).size());
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
  const int index = StoreLine(S);
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
  TLineFolder folder(FPartial.Shown, FPartial.Width, FPartial.Parsed);
  StorePieces(folder);
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
  TLineFolder folder(std::string_view(FPartial.Shown).substr(FPartial.LastPiece), FPartial.Width,
                     FPartial.Parsed);
  StorePieces(folder, FPartial.LastPiece);
  return true;
}

void TQuokkaView::ApplyLineLimit() {
  if (FMaxLineCount <= 0 || LineCount() <= FMaxLineCount) return;
  const int excess = LineCount() - FMaxLineCount;
  FDocument.DeleteFirst(excess);
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
  FDocument.Clear();
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
  FDocument.Texts().AssignTo(Dest);
}

void TQuokkaView::Delete(int Index) {
  const int partialStart = LineCount() - FPartialCount;
  FDocument.Delete(Index);
  if (Index >= partialStart) {
    --FPartialCount;
    FPartial.Growable = false;
  }
  UpdateScrollRanges();
  ResetSelection();
  if (LineCount() - 1 < FTopLine) SetTopLine(LineCount() - 1);
  KeepPageOnTheLines();
}

void TQuokkaView::Exchange(int Index1, int Index2) {
  FDocument.Exchange(Index1, Index2);
  if (InPartialLine(Index1) || InPartialLine(Index2)) EndPartialLine();
  KeepPageOnTheLines();
  auto shown = [this](int index) { return index >= FTopLine && index <= FBottomLine; };
  if (shown(Index1) || shown(Index2)) RefreshView();
}

std::string TQuokkaView::Get(int Index) const {
  if (Index < 0 || Index >= LineCount()) return {};
  return std::string(FDocument.Text(Index));
}

int TQuokkaView::IndexOf(std::string_view S) const {
  return FDocument.Texts().IndexOf(S);
}

void TQuokkaView::Insert(int Index, std::string_view S) {
  // The partial line stays last: a line inserted into or after it goes before it.
  if (Index <= LineCount() && InPartialLine(Index)) Index = LineCount() - FPartialCount;
  FDocument.Insert(Index, S, FTextColor.rgba());
  WidenMaxChar(Index, Index);
  UpdateScrollRanges();
  KeepPageOnTheLines();
  if (Index <= FBottomLine) RefreshView();
}

void TQuokkaView::Put(int Index, std::string_view S) {
  if (Index < 0 || Index >= LineCount()) return;
  FDocument.Put(Index, S);
  if (InPartialLine(Index)) EndPartialLine();
  KeepPageOnTheLines();
  UpdateScrollRanges();
  if (Index >= FTopLine && Index <= FBottomLine) RefreshView();
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
  for (int i = 0; i < Loaded.Count(); ++i) StoreLine(Loaded.View(i));
}

void TQuokkaView::LoadFromFile(const std::string& FileName) {
  Clear();
  if (FIgnoreMotion) {
    try {
      FDocument.LoadFromFile(FileName, FTextColor.rgba());
    } catch (...) {
      // The document keeps what it read before the failure.
      FinishLoading();
      throw;
    }
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
    FDocument.LoadFromStream(Stream, FTextColor.rgba());
  } else {
    TLightStrings loaded;
    loaded.LoadFromStream(Stream);
    StoreLoadedLines(loaded);
  }
  FinishLoading();
}

void TQuokkaView::SaveToFile(const std::string& FileName) const {
  FDocument.Texts().SaveToFile(FileName);
}

void TQuokkaView::SaveToStream(std::ostream& Stream) const {
  FDocument.Texts().SaveToStream(Stream);
}

QColor TQuokkaView::LineColor(int Index) const {
  if (Index < 0 || Index >= LineCount()) return {};
  return QColor::fromRgba(FDocument.Line(Index).Color);
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
    if (FDocument.Line(index).Motion.Empty()) continue;
    FDocument.NextFrame(index);
    changed = true;
  }
  if (changed) RefreshView();
}
