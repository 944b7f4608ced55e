#include "view/QuokkaView.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <limits>
#include <tuple>

#include "text/QtCodec.h"
#include "view/LineFold.h"
#include "view/LineFolder.h"

namespace {

// Refreshes closer together than this share one paint of the window: the
// screen cannot show more, and a synchronous paint per received block would
// cost more than handling the block.
constexpr qint64 FramePeriodMs = 16;

// The timer's shortest interval, as the platform timers of the design had.
constexpr int ShortestMotionInterval = 10;

// Row key serial of the line after the last one.
constexpr uint64_t NoLineSerial = 1;

// The widest layout, in characters: the back buffer and the horizontal
// range never grow beyond it, whatever is stored unfolded.
constexpr int WidestLayout = 1024;

// Bytes of a line drawn per character of the layout: enough for the
// narrowest characters of a proportional font to fill the back buffer.
constexpr int DrawnBytesPerColumn = 4;

}  // namespace

// The title strip shown above the lines when bvCaption is set.
class TCaptionStrip : public QWidget {
 public:
  explicit TCaptionStrip(QWidget* parent) : QWidget(parent) {}
  void SetText(const QString& text) {
    FText = text;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Highlight));
    painter.setPen(palette().color(QPalette::HighlightedText));
    painter.drawText(rect().adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter, FText);
  }

 private:
  QString FText;
};

TQuokkaView::TQuokkaView(QWidget* parent)
    : QAbstractScrollArea(parent), FCaptionStrip(new TCaptionStrip(this)), FPainter(font()) {
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAttribute(Qt::WA_NoSystemBackground);
  viewport()->setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  FStyle.Background = palette().color(QPalette::Base).rgba();
  FStyle.AccentBackColor = FStyle.Background;
  FStyle.AccentWords = &FAccentWords.Strings();
  FStyle.ReplaceFonts = &FReplaceFonts;
  FBufferColor = FStyle.Background;
  FAccentWords.OnChange = [this](TNotifyStrings&) { NormalizeAccentWords(); };
  FMotionTimer.setInterval(FMotionInterval);
  connect(&FMotionTimer, &QTimer::timeout, this, [this] { MotionTimerTick(); });
  ConnectInteraction();
  FScrollBarSync.setSingleShot(true);
  FScrollBarSync.setInterval(0);
  connect(&FScrollBarSync, &QTimer::timeout, this, [this] { SyncScrollBars(); });
  ApplyScrollBar();
  ApplyBvStyle();
  resize(65, 65);
  UpdateLayout();
}

TQuokkaView::~TQuokkaView() = default;

// ---------------------------------------------------------------------------
// Ingestion

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
  FPartialCount = 0;
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
    for (int i = 0; i < loaded.Count(); ++i) StoreLine(loaded.Get(i));
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
    for (int i = 0; i < loaded.Count(); ++i) Add(loaded.View(i));
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

// ---------------------------------------------------------------------------
// Top line, selection and caret

void TQuokkaView::SetTopLine(int Value) {
  const int count = LineCount();
  Value = std::clamp(Value, 0, std::max(count - 1, 0));
  if (OnViewLineChanging && !FLineEventsOff) OnViewLineChanging(*this, Value);
  FTopLine = Value;
  FBottomLine = std::max(0, std::min(Value + FPageLines - 1, count - 1));
  PlaceCaret(FSelEnd);
  ShowTopLineOnThumb();
  RefreshView();
  if (OnViewLineChanged && !FLineEventsOff) OnViewLineChanged(*this);
}

void TQuokkaView::SetBottomLine(int Value) {
  Value = std::clamp(Value, 0, std::max(LineCount() - 1, 0));
  FBottomLine = Value;
  SetTopLine(std::max(0, Value - (FPageLines - 1)));
}

void TQuokkaView::ResetSelection() {
  FSelStart = {};
  FSelEnd = FSelStart;
  PlaceCaret(FSelEnd);
}

bool TQuokkaView::InPartialLine(int Index) const {
  return FPartialCount > 0 && Index >= LineCount() - FPartialCount;
}

// Its stored lines become ordinary lines that the next batch leaves alone.
void TQuokkaView::EndPartialLine() {
  FPartialCount = 0;
}

void TQuokkaView::KeepPageOnTheLines() {
  const int last = std::max(LineCount() - 1, 0);
  FTopLine = std::clamp(FTopLine, 0, last);
  FBottomLine = std::clamp(FTopLine + FPageLines - 1, FTopLine, last);
  FSelStart = ClampToText(FLines, FSelStart);
  FSelEnd = ClampToText(FLines, FSelEnd);
  PlaceCaret(FSelEnd);
}

TTextPoint TQuokkaView::LinesRemovedAbove(TTextPoint Point, int Removed) {
  if (Point.Line >= Removed) return {Point.Column, Point.Line - Removed};
  return {};
}

TTextPoint TQuokkaView::ClampSelectionEnd(TTextPoint Point) const {
  Point.Line = std::min(Point.Line, LineCount() - 1);
  if (Point.Line < 0) return {};
  const std::string_view line = FLines.View(Point.Line);
  const int length = static_cast<int>(line.size());
  if (!line.empty() && Point.Column > length + 1 && Point.Line + 1 < LineCount() &&
      EndsWithFoldMark(line)) {
    Point.Column -= length - 1;
    ++Point.Line;
  }
  return ClampToText(FLines, Point);
}

void TQuokkaView::SetSelStart(TTextPoint Value) {
  FSelStart = ClampSelectionEnd(Value);
}

void TQuokkaView::SetSelEnd(TTextPoint Value) {
  FSelEnd = ClampSelectionEnd(Value);
  PlaceCaret(FSelEnd);
}

void TQuokkaView::PlaceCaret(TTextPoint Point) {
  const int line = std::min(Point.Line, LineCount() - 1);
  if (line < 0) {
    FCaretPos = {};
    return;
  }
  const int length = static_cast<int>(FLines.View(line).size());
  FCaretPos = {std::clamp(Point.Column, 0, length + 1), line};
  CaretMoved();
}

// ---------------------------------------------------------------------------
// Layout and scroll bars

void TQuokkaView::UpdateMetrics() {
  const QFontMetrics metrics(font());
  FLineHeight = std::max(1, metrics.lineSpacing() + FVSpace);
  FCharWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('A')));
  const int clientWidth = viewport()->width();
  if (FMaxChar * FCharWidth < clientWidth)
    FMaxChar = qRound(static_cast<double>(clientWidth) / FCharWidth) + 1;
}

void TQuokkaView::UpdateLayout() {
  {
    TUpdatingScope updating(*this);
    UpdateMetrics();
    // Even a view lower than a line shows one, so that it can reach its end.
    FPageLines = std::max(1, viewport()->height() / FLineHeight);
    UpdateScrollRanges();
    FPainter = TLinePainter(font());
    FBackBuffer.Reset((FMaxChar + 1) * FCharWidth, FLineHeight, FPageLines);
    if (LineCount() > FPageLines) SetBottomLine(FPageLines + FTopLine - 1);
    KeepPageOnTheLines();
  }
  RefreshView();
}

void TQuokkaView::HandleSizeChange() {
  const bool eventsWereOff = FLineEventsOff;
  FLineEventsOff = true;
  const int previousBottom = FBottomLine;
  UpdateLayout();
  if (previousBottom >= FTopLine + FPageLines) SetTopLine(previousBottom - FPageLines + 1);
  if (OnResize) OnResize(*this);
  FLineEventsOff = eventsWereOff;
}

void TQuokkaView::UpdateScrollRanges() {
  if (FScrollBar == ssVertical || FScrollBar == ssBoth) {
    const int count = LineCount();
    int maximum = count - FPageLines;
    if (maximum >= count) maximum = count - 1;
    if (maximum <= 0) maximum = 1;
    FVScrollMax = maximum;
    if (maximum < FVScrollPos) SetVScrollPos(maximum);
    TUpdatingScope updating(*this);
    SetTopLine(FTopLine);
  }
  if (FScrollBar == ssHorizontal || FScrollBar == ssBoth)
    FHScrollMax = std::max(0, FMaxChar - viewport()->width() / FCharWidth);
  RequestScrollBarSync();
}

void TQuokkaView::SetVScrollPos(int Value) {
  if (LineCount() - FPageLines < 0) Value = 0;
  if (Value != FVScrollPos) {
    FVScrollPrev2 = FVScrollPrev;
    FVScrollPrev = FVScrollPos;
    FVScrollPos = Value;
  }
  RequestScrollBarSync();
}

void TQuokkaView::RequestScrollBarSync() {
  if (!FScrollBarSync.isActive()) FScrollBarSync.start();
}

// A block of received text changes the ranges and positions several times
// (lines added, then the oldest removed); the scroll bars take only the
// result, when control returns to the event loop.
void TQuokkaView::SyncScrollBars() {
  for (auto [bar, maximum, value] : {std::tuple(verticalScrollBar(), FVScrollMax, FVScrollPos),
                                     std::tuple(horizontalScrollBar(), FHScrollMax, FHScrollPos)}) {
    const QSignalBlocker blocker(bar);
    bar->setRange(0, maximum);
    bar->setValue(value);
  }
  verticalScrollBar()->setPageStep(std::max(FPageLines, 1));
}

void TQuokkaView::ApplyScrollBar() {
  const bool vertical = FScrollBar == ssVertical || FScrollBar == ssBoth;
  const bool horizontal = FScrollBar == ssHorizontal || FScrollBar == ssBoth;
  setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TQuokkaView::ApplyBvStyle() {
  if (FBvStyle.Contains(bvDblFrame))
    setFrameStyle(QFrame::WinPanel | QFrame::Raised);
  else if (FBvStyle.Contains(bvClientLow))
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  else
    setFrameStyle(QFrame::NoFrame);
  const bool caption = FBvStyle.Contains(bvCaption);
  setViewportMargins(0, caption ? QFontMetrics(font()).height() + 4 : 0, 0, 0);
  FCaptionStrip->setVisible(caption);
  PlaceCaptionStrip();
}

void TQuokkaView::PlaceCaptionStrip() {
  const QRect inside = contentsRect();
  FCaptionStrip->setGeometry(inside.left(), inside.top(), inside.width(),
                             viewport()->y() - inside.top());
}

void TQuokkaView::SetBvStyle(TBvStyle Value) {
  if (Value == FBvStyle) return;
  if (OnBvStyleChanging) OnBvStyleChanging(*this, Value);
  FBvStyle = Value;
  ApplyBvStyle();
  UpdateLayout();
  if (OnBvStyleChanged) OnBvStyleChanged(*this);
}

void TQuokkaView::SetCaption(const QString& Value) {
  const std::string bytes = FromQString(Value);
  const QString caption =
      ToQString(WithoutDanglingLeadByte(std::string_view(bytes).substr(0, 255)));
  if (caption == FCaption) return;
  FCaption = caption;
  FCaptionStrip->SetText(FCaption);
}

void TQuokkaView::SetScrollBar(TScrollStyle Value) {
  if (Value == FScrollBar) return;
  FScrollBar = Value;
  ApplyScrollBar();
  UpdateLayout();
}

void TQuokkaView::SetMaxChar(int Value) {
  Value = std::clamp(Value, 1, WidestLayout);
  if (Value == FMaxChar) return;
  FMaxChar = Value;
  UpdateLayout();
}

void TQuokkaView::SetScrollSense(int Value) {
  if (Value >= 1 && Value <= 10) FScrollSense = Value;
}

void TQuokkaView::SetViewTabStop(int Value) {
  if (Value < 0 || Value == FViewTabStop) return;
  FViewTabStop = Value;
  RefreshView();
}

void TQuokkaView::SetCaret(bool Value) {
  FCaret = Value;
  viewport()->update();
}

void TQuokkaView::SetVSpace(int Value) {
  if (Value == FVSpace) return;
  FVSpace = Value;
  UpdateLayout();
}

bool TQuokkaView::event(QEvent* e) {
  const bool handled = QAbstractScrollArea::event(e);
  if (e->type() == QEvent::Resize) {
    PlaceCaptionStrip();
    HandleSizeChange();
  }
  return handled;
}

void TQuokkaView::changeEvent(QEvent* e) {
  QAbstractScrollArea::changeEvent(e);
  if (e->type() == QEvent::FontChange) {
    ApplyBvStyle();
    UpdateLayout();
  }
}

void TQuokkaView::moveEvent(QMoveEvent* e) {
  QAbstractScrollArea::moveEvent(e);
  RefreshView();
}

void TQuokkaView::mouseMoveEvent(QMouseEvent* e) {
  const QPoint point = e->position().toPoint();
  if (FExtending) DragTo(point);
  if (OnMouseMove) OnMouseMove(*this, e->modifiers(), point.x(), point.y());
}

// The scroll bars move the view through its own handlers, not by shifting
// the viewport's pixels.
void TQuokkaView::scrollContentsBy(int, int) {}

// ---------------------------------------------------------------------------
// Drawing

void TQuokkaView::RefreshView() {
  if (FUpdating) return;
  viewport()->update();
  if (FPaintCount >= FPCanLimit)
    PaintNow();
  else
    ++FPaintCount;
}

void TQuokkaView::PaintNow() {
  if (FPaintClock.isValid() && FPaintClock.elapsed() < FramePeriodMs) return;
  viewport()->repaint();
}

void TQuokkaView::Restyle() {
  FBackBuffer.Invalidate();
  RefreshView();
}

bool TQuokkaView::IsContinuation(int Index) const {
  return Index >= 1 && Index - 1 < LineCount() && EndsWithFoldMark(FLines.View(Index - 1));
}

bool TQuokkaView::IsContinued(int Index) const {
  return Index + 1 < LineCount() && EndsWithFoldMark(FLines.View(Index));
}

TRowKey TQuokkaView::RowKey(int Index) const {
  if (Index < 0 || Index >= LineCount()) return {};
  const auto at = static_cast<size_t>(Index);
  TRowKey key;
  key.Line = FLineSerials[at];
  key.Before = IsContinuation(Index) ? FLineSerials[at - 1] : 0;
  if (EndsWithFoldMark(FLines.View(Index)))
    key.After = IsContinued(Index) ? FLineSerials[at + 1] : NoLineSerial;
  key.Color = FLineColors[at];
  if (const auto selected = ::SelectedBytes(FLines, FSelStart, FSelEnd, Index)) {
    constexpr size_t Widest = std::numeric_limits<uint32_t>::max() - 1;
    key.SelFirst = static_cast<uint32_t>(std::min(selected->First, Widest) + 1);
    key.SelLast = static_cast<uint32_t>(std::min(selected->Last, Widest) + 1);
  }
  return key;
}

void TQuokkaView::DrawLine(QPainter& Painter, int Top, int Index) {
  if (Index < 0 || Index >= LineCount()) {
    Painter.fillRect(0, Top, FBackBuffer.Width(), FLineHeight, QColor(FStyle.Background));
    return;
  }
  const std::string_view stored = FLines.View(Index);
  const bool continuation = IsContinuation(Index);
  TLineText line;
  line.Own = DrawnPart(WithoutFoldMark(stored));
  const bool whole = line.Own.size() == WithoutFoldMark(stored).size();
  // A link may run in from an over-long previous line; it is left unmarked.
  if (continuation) {
    const std::string_view before = WithoutFoldMark(FLines.View(Index - 1));
    if (DrawnPart(before).size() == before.size()) line.Before = before;
  }
  if (IsContinued(Index) && whole) line.After = DrawnPart(FLines.View(Index + 1));
  line.HeadLine = stored.size() >= 4 && !continuation;
  line.BaseColor = FLineColors[static_cast<size_t>(Index)];
  const std::vector<TStyleRun> runs = StyleRuns(line, FStyle, FAnalysis);
  FPainter.Draw(Painter, Top, FLineHeight, FLineHeight - FVSpace, FBackBuffer.Width(), line, runs,
                FStyle.Background, ::SelectedBytes(FLines, FSelStart, FSelEnd, Index));
}

// The start of a line that covers the back buffer's width: drawing costs in
// proportion to what can be seen, however long the stored line.
std::string_view TQuokkaView::DrawnPart(std::string_view Text) const {
  const int most = DrawnBytesPerColumn * (FMaxChar + 1);
  if (static_cast<int>(Text.size()) <= most) return Text;
  return Text.substr(0, static_cast<size_t>(FoldCut(Text, most)));
}

void TQuokkaView::BringPageUpToDate() {
  // The replacement list tells no one when it changes; its version does.
  if (FBufferColor != FStyle.Background || FDrawnReplacements != FReplaceFonts.Version()) {
    FBufferColor = FStyle.Background;
    FDrawnReplacements = FReplaceFonts.Version();
    FBackBuffer.Invalidate();
  }
  std::vector<TRowKey> keys(static_cast<size_t>(FPageLines));
  for (int row = 0; row < FPageLines; ++row)
    keys[static_cast<size_t>(row)] = RowKey(FTopLine + row);
  FBackBuffer.Update(keys, [this](QPainter& painter, int row, int top) {
    DrawLine(painter, top, FTopLine + row);
  });
}

QImage TQuokkaView::PageImage() {
  BringPageUpToDate();
  return FBackBuffer.PageImage();
}

void TQuokkaView::paintEvent(QPaintEvent* e) {
  BringPageUpToDate();
  QPainter painter(viewport());
  const QRect clip = e->rect();
  const int xOffset = FCharWidth * FHScrollPos;
  FBackBuffer.PaintTo(painter, clip, xOffset);
  // Below the last whole line and right of the buffer: the background.
  const QRegion uncovered =
      QRegion(clip) - QRegion(-xOffset, 0, FBackBuffer.Width(), FBackBuffer.Height());
  for (const QRect& rect : uncovered) painter.fillRect(rect, QColor(FStyle.Background));
  PaintCaret(painter);
  FPaintCount = 0;
  FPaintClock.start();
}

void TQuokkaView::NormalizeAccentWords() {
  if (FNormalizingWords) return;
  FNormalizingWords = true;
  std::vector<std::string> words;
  for (const std::string& word : FAccentWords.Strings()) words.push_back(NormalizeText(word));
  FAccentWords.Assign(std::move(words));
  FNormalizingWords = false;
  Restyle();
}

// Colour setters: the accent and address colours redraw only when they
// change, the others always.
namespace {
bool Store(QRgb& field, const QColor& value) {
  const QRgb rgba = value.rgba();
  const bool changed = field != rgba;
  field = rgba;
  return changed;
}
}  // namespace

void TQuokkaView::SetColor(const QColor& Value) {
  FStyle.Background = Value.rgba();
  viewport()->update();
}

void TQuokkaView::SetFontColor(const QColor& Value) {
  if (Store(FStyle.FontColor, Value)) Restyle();
}

void TQuokkaView::SetAccentBackColor(const QColor& Value) {
  if (Store(FStyle.AccentBackColor, Value)) Restyle();
}

void TQuokkaView::SetAccentColor(const QColor& Value) {
  if (Store(FStyle.AccentColor, Value)) Restyle();
}

void TQuokkaView::SetAddressColor(const QColor& Value) {
  if (Store(FStyle.AddressColor, Value)) Restyle();
}

void TQuokkaView::SetMailAddressColor(const QColor& Value) {
  if (Store(FStyle.MailAddressColor, Value)) Restyle();
}

void TQuokkaView::SetConvColor(const QColor& Value) {
  Store(FStyle.ConvColor, Value);
  Restyle();
}

void TQuokkaView::SetPageColor(const QColor& Value) {
  Store(FStyle.PageColor, Value);
  Restyle();
}

void TQuokkaView::SetUserColor(const QColor& Value) {
  Store(FStyle.UserColor, Value);
  Restyle();
}

void TQuokkaView::SetHandleColor(const QColor& Value) {
  Store(FStyle.HandleColor, Value);
  Restyle();
}

void TQuokkaView::SetIgnoreEffect(bool Value) {
  FStyle.IgnoreEffect = Value;
  Restyle();
}

void TQuokkaView::SetNormalMode(bool Value) {
  FStyle.NormalMode = Value;
  Restyle();
}

void TQuokkaView::SetIgnoreAccent(bool Value) {
  FStyle.IgnoreAccent = Value;
  Restyle();
}

// ---------------------------------------------------------------------------
// Animation

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
