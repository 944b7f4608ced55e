// TQuokkaView: scrolling. The top and bottom lines, the scroll ranges and
// positions with their history, scroll requests from the bars, keys and
// wheel with their acceleration, and bringing a point into view.
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <algorithm>
#include <tuple>

#include "view/QuokkaView.h"

namespace {

// Threshold of the acceleration for scroll bar messages.
constexpr int BarThresholdMs = 300;

std::optional<TScrollCode> CodeOfAction(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      return scLineUp;
    case QAbstractSlider::SliderSingleStepAdd:
      return scLineDown;
    case QAbstractSlider::SliderPageStepSub:
      return scPageUp;
    case QAbstractSlider::SliderPageStepAdd:
      return scPageDown;
    case QAbstractSlider::SliderToMinimum:
      return scTop;
    case QAbstractSlider::SliderToMaximum:
      return scBottom;
    case QAbstractSlider::SliderMove:
      return scThumbTrack;
    default:
      return std::nullopt;
  }
}

}  // namespace

void TQuokkaView::ConnectScrollBars() {
  connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this](int action) { VerticalBarAction(action); });
  connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this](int action) { HorizontalBarAction(action); });
  FScrollBarSync.setSingleShot(true);
  FScrollBarSync.setInterval(0);
  connect(&FScrollBarSync, &QTimer::timeout, this, [this] { SyncScrollBars(); });
}

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

void TQuokkaView::KeepPageOnTheLines() {
  const int last = std::max(LineCount() - 1, 0);
  FTopLine = std::clamp(FTopLine, 0, last);
  FBottomLine = std::clamp(FTopLine + FPageLines - 1, FTopLine, last);
  FSelStart = ClampToText(FDocument.Texts(), FSelStart);
  FSelEnd = ClampToText(FDocument.Texts(), FSelEnd);
  PlaceCaret(FSelEnd);
}

void TQuokkaView::UpdateScrollRanges() {
  if (FScrollBar == ssVertical || FScrollBar == ssBoth) {
    const int count = LineCount();
    int maximum = count - FPageLines;
    if (maximum >= count) maximum = count - 1;
    if (maximum <= 0) maximum = 1;
    FVScrollMax = maximum;
    if (maximum < FVScroll.Pos()) SetVScrollPos(maximum);
    TUpdatingScope updating(*this);
    SetTopLine(FTopLine);
  }
  if (FScrollBar == ssHorizontal || FScrollBar == ssBoth)
    FHScrollMax = std::max(0, FMaxChar - viewport()->width() / FCharWidth);
  RequestScrollBarSync();
}

void TQuokkaView::SetVScrollPos(int Value) {
  if (LineCount() - FPageLines < 0) Value = 0;
  FVScroll.Set(Value);
  RequestScrollBarSync();
}

void TQuokkaView::RequestScrollBarSync() {
  if (!FScrollBarSync.isActive()) FScrollBarSync.start();
}

// A block of received text changes the ranges and positions several times
// (lines added, then the oldest removed); the scroll bars take only the
// result, when control returns to the event loop.
void TQuokkaView::SyncScrollBars() {
  for (auto [bar, maximum, value] : {std::tuple(verticalScrollBar(), FVScrollMax, FVScroll.Pos()),
                                     std::tuple(horizontalScrollBar(), FHScrollMax, FHScroll.Pos())}) {
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

void TQuokkaView::SetScrollBar(TScrollStyle Value) {
  if (Value == FScrollBar) return;
  FScrollBar = Value;
  ApplyScrollBar();
  UpdateLayout();
}

void TQuokkaView::SetScrollSense(int Value) {
  if (Value >= 1 && Value <= 10) FScrollSense = Value;
}

bool TQuokkaView::ScrollIntoView(TTextPoint Point) {
  Point = ClampToText(FDocument.Texts(), Point);
  bool scrolled = false;
  {
    TUpdatingScope updating(*this);
    const int left = FCharWidth * FHScroll.Pos();
    const int width = viewport()->width();
    const int h = TextWidth(Point.Line, std::max(Point.Column, 1) - 1);
    if (Point.Line < FTopLine) {
      SetTopLine(Point.Line);
      scrolled = true;
    }
    if (Point.Line > FBottomLine) {
      SetBottomLine(Point.Line);
      scrolled = true;
    }
    if (h < left) {
      SetHScrollPos(h / FCharWidth);
      scrolled = true;
    }
    if (left + width < h) {
      SetHScrollPos((h - width) / FCharWidth);
      scrolled = true;
    }
  }
  if (scrolled) RefreshView();
  return scrolled;
}

// The scroll bars move the view through its own handlers, not by shifting
// the viewport's pixels.
void TQuokkaView::scrollContentsBy(int, int) {}

// The bars report what the user did; the view decides where it goes, and
// the bars show that at once.
// The wheel scrolls like the vertical bar, from where the bar stands: the
// bar is brought up to date first.
void TQuokkaView::wheelEvent(QWheelEvent* e) {
  SyncScrollBars();
  QAbstractScrollArea::wheelEvent(e);
}

void TQuokkaView::VerticalBarAction(int Action) {
  if (const auto code = CodeOfAction(Action))
    VScrollMessage(*code, verticalScrollBar()->sliderPosition(), BarThresholdMs);
  SyncScrollBars();
}

void TQuokkaView::HorizontalBarAction(int Action) {
  if (const auto code = CodeOfAction(Action))
    HScrollRequest(*code, horizontalScrollBar()->sliderPosition(), BarThresholdMs);
  SyncScrollBars();
}

void TQuokkaView::VScrollMessage(TScrollCode Code, int Thumb, int Threshold) {
  if (!HasVerticalBar()) return;
  const int room = LineCount() - FPageLines;
  if (room <= 0) {
    SetTopLine(0);
    return;
  }
  VScrollRequest(Code, Thumb, Threshold);
  const int top = qRound(static_cast<double>(FVScroll.Pos()) / FVScrollMax * room);
  if (top != FTopLine) SetTopLine(top);
}

void TQuokkaView::VScrollRequest(TScrollCode Code, int Thumb, int Threshold) {
  int page = FPageLines - 1;
  if (FHalfScroll) page /= 2;
  Accelerate(Threshold);
  const int target =
      ScrollTarget(Code, FTopLine, FAcceleration.Step(), std::max(page, 1), Thumb, FVScrollMax);
  if (target != FVScroll.Pos()) SetVScrollPos(target);
}

void TQuokkaView::HScrollRequest(TScrollCode Code, int Thumb, int Threshold) {
  if (!HasHorizontalBar()) return;
  const int page = std::max(viewport()->width() / FCharWidth, 1);
  Accelerate(Threshold);
  const int target =
      ScrollTarget(Code, FHScroll.Pos(), FAcceleration.Step(), page, Thumb, FHScrollMax);
  if (target != FHScroll.Pos()) SetHScrollPos(target);
}

void TQuokkaView::SetHScrollPos(int Value) {
  Value = std::clamp(Value, 0, std::max(FMaxChar - 1, 0));
  FHScroll.Set(Value);
  RequestScrollBarSync();
  PlaceCaret(FSelEnd);
  RefreshView();
}

void TQuokkaView::Accelerate(int Threshold) {
  const bool verticalSteady = FVScroll.Steady();
  const bool horizontalSteady = FHScroll.Steady();
  int limit = FPageLines - 1;
  const int columns = viewport()->width() / FCharWidth;
  if (horizontalSteady && columns < limit) limit = columns;
  FAcceleration.Update(ScrollClockNow(), Threshold, FScrollSense,
                       verticalSteady || horizontalSteady, limit);
}

// The thumb shows the top line, whoever set it.
void TQuokkaView::ShowTopLineOnThumb() {
  if (!HasVerticalBar()) return;
  const int room = LineCount() - FPageLines;
  SetVScrollPos(room > 0 ? qRound(static_cast<double>(FTopLine) * FVScrollMax / room) : 0);
}
