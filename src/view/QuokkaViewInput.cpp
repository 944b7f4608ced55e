// TQuokkaView: input. The selection and the caret, points under the
// pointer, selecting with the mouse and the keyboard, copying, and the links
// that a double-click opens.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>

#include "text/QtCodec.h"
#include "view/LineFold.h"
#include "view/PlatformUi.h"
#include "view/QuokkaView.h"

namespace {

// Thresholds of the acceleration for scroll keys and dragging.
constexpr int KeyThresholdMs = 200;
constexpr int DragThresholdMs = 200;

// While the pointer is outside with the button held, the drag scrolls one
// step per repetition, this far apart.
constexpr int DragRepeatMs = 30;

}  // namespace

void TQuokkaView::ConnectInput() {
  // The view opens its menu itself on a right button press.
  setContextMenuPolicy(Qt::PreventContextMenu);
  FDragTimer.setSingleShot(true);
  FDragTimer.setInterval(DragRepeatMs);
  connect(&FDragTimer, &QTimer::timeout, this, [this] { RepeatDrag(); });
  connect(&FCaretTimer, &QTimer::timeout, this, [this] { BlinkCaret(); });
}

QMenu* TQuokkaView::PopupMenu() const {
  return FPopupMenu;
}

void TQuokkaView::SetPopupMenu(QMenu* Menu) {
  FPopupMenu = Menu;
}

// Width in pixels of the first Bytes bytes of a stored line; the fold mark
// takes no room.
int TQuokkaView::TextWidth(int Line, int Bytes) const {
  if (Line < 0 || Line >= LineCount() || Bytes <= 0) return 0;
  const std::string_view own = WithoutFoldMark(FDocument.Text(Line));
  return FPainter.Width(own, std::min(static_cast<size_t>(Bytes), own.size()));
}

TTextPoint TQuokkaView::PointToTextPos(int X, int Y) const {
  return PointAt(X, Y, false);
}

TTextPoint TQuokkaView::PointToBytePos(int X, int Y) const {
  return PointAt(X, Y, true);
}

// The column under X' is that of the first character whose right edge
// reaches X'. With AnyByte, the right half of a double-byte character is
// its trail byte.
TTextPoint TQuokkaView::PointAt(int X, int Y, bool AnyByte) const {
  if (LineCount() == 0) return {};
  const bool above = Y < 0;
  Y = std::clamp(Y, 0, FBackBuffer.Height());
  const int x = std::max(std::min(X + FCharWidth * FHScroll.Pos(), FBackBuffer.Width()), 0);
  int line = Y / FLineHeight + FTopLine;
  const bool below = line > LineCount() - 1;
  line = std::min(line, LineCount() - 1);
  const std::string_view text = FDocument.Text(line);
  if (below) return {static_cast<int>(text.size()) + 1, line};
  if (above) return {1, line};

  std::vector<int> ends;  // the byte after each character
  for (size_t pos = 0; pos < text.size(); pos += static_cast<size_t>(CharLength(text, pos)))
    ends.push_back(static_cast<int>(pos) + CharLength(text, pos));
  const auto reached = std::partition_point(ends.begin(), ends.end(),
                                            [&](int end) { return TextWidth(line, end) < x; });
  if (reached == ends.end()) return {static_cast<int>(text.size()) + 1, line};
  const int begin = reached == ends.begin() ? 0 : *(reached - 1);
  int column = begin + 1;
  if (AnyByte && *reached - begin == 2 &&
      2 * x > TextWidth(line, begin) + TextWidth(line, *reached))
    ++column;
  return {column, line};
}

void TQuokkaView::ResetSelection() {
  FSelStart = {};
  FSelEnd = FSelStart;
  PlaceCaret(FSelEnd);
}

TTextPoint TQuokkaView::ClampSelectionEnd(TTextPoint Point) const {
  Point.Line = std::min(Point.Line, LineCount() - 1);
  if (Point.Line < 0) return {};
  const std::string_view line = FDocument.Text(Point.Line);
  const int length = static_cast<int>(line.size());
  if (!line.empty() && Point.Column > length + 1 && Point.Line + 1 < LineCount() &&
      EndsWithFoldMark(line)) {
    Point.Column -= length - 1;
    ++Point.Line;
  }
  return ClampToText(FDocument.Texts(), Point);
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
  const int length = static_cast<int>(FDocument.Text(line).size());
  FCaretPos = {std::clamp(Point.Column, 0, length + 1), line};
  CaretMoved();
}

void TQuokkaView::SetCaret(bool Value) {
  FCaret = Value;
  viewport()->update();
}

QRect TQuokkaView::CaretRect() const {
  const int x =
      TextWidth(FCaretPos.Line, std::max(FCaretPos.Column, 1) - 1) - FCharWidth * FHScroll.Pos();
  const int y = (FCaretPos.Line - FTopLine) * FLineHeight;
  return QRect(x, y, style()->pixelMetric(QStyle::PM_TextCursorWidth), FLineHeight);
}

void TQuokkaView::PaintCaret(QPainter& Painter) const {
  if (!FCaret || !FCaretOn || !hasFocus()) return;
  Painter.setCompositionMode(QPainter::CompositionMode_Difference);
  Painter.fillRect(CaretRect(), Qt::white);
}

// A moved caret shows at once and blinks on from there.
void TQuokkaView::CaretMoved() {
  if (!hasFocus()) return;
  FCaretOn = true;
  if (FCaretTimer.isActive()) FCaretTimer.start();
  viewport()->update();
}

void TQuokkaView::BlinkCaret() {
  FCaretOn = !FCaretOn;
  viewport()->update(CaretRect());
}

void TQuokkaView::focusInEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusInEvent(e);
  FCaretOn = true;
  const int interval = QApplication::cursorFlashTime() / 2;
  if (interval > 0) FCaretTimer.start(interval);
  viewport()->update();
}

void TQuokkaView::focusOutEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusOutEvent(e);
  FCaretTimer.stop();
  viewport()->update();
}

void TQuokkaView::mousePressEvent(QMouseEvent* e) {
  const QPoint at = e->position().toPoint();
  if (e->button() == Qt::LeftButton) {
    if (FClickKind == 2) {
      if (FSelect) OpenWordAt(at.x(), at.y());
    } else {
      FExtending = FSelect;
      SetSelStart(PointToTextPos(at.x(), at.y()));
      SetSelEnd(FSelStart);
      RefreshView();
    }
  } else if (e->button() == Qt::RightButton) {
    // The owner learns which view is under the pointer before its menu opens.
    if (OnMouseMove) OnMouseMove(*this, e->modifiers(), at.x(), at.y());
    if (FPopupMenu) FPopupMenu->popup(e->globalPosition().toPoint());
  }
  FClickKind = 1;
}

void TQuokkaView::mouseDoubleClickEvent(QMouseEvent* e) {
  FClickKind = 2;
  mousePressEvent(e);
}

void TQuokkaView::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  if (FExtending) {
    FExtending = false;
    FDragTimer.stop();
    const QPoint at = e->position().toPoint();
    const TTextPoint point = PointToTextPos(at.x(), at.y());
    if (point.Column == 0) return;
    SetSelEnd(point);
    RefreshView();
  }
  setFocus(Qt::MouseFocusReason);
}

void TQuokkaView::mouseMoveEvent(QMouseEvent* e) {
  const QPoint point = e->position().toPoint();
  if (FExtending) DragTo(point);
  if (OnMouseMove) OnMouseMove(*this, e->modifiers(), point.x(), point.y());
}

void TQuokkaView::DragTo(QPoint Point) {
  FDragPoint = Point;
  if (DragStep()) FDragTimer.start();
}

void TQuokkaView::RepeatDrag() {
  if (FExtending && DragStep()) FDragTimer.start();
}

// Scrolls one step towards a pointer outside the window and extends the
// selection to it; true when it scrolled.
bool TQuokkaView::DragStep() {
  const int top = FTopLine;
  const int left = FHScroll.Pos();
  if (FDragPoint.y() < 0) SetTopLine(FTopLine - 1);
  if (FDragPoint.y() > viewport()->height() && FBottomLine < LineCount() - 1)
    SetTopLine(FTopLine + 1);
  if (FDragPoint.x() < 0) HScrollRequest(scLineUp, 0, DragThresholdMs);
  if (FDragPoint.x() > viewport()->width()) HScrollRequest(scLineDown, 0, DragThresholdMs);
  const bool scrolled = FTopLine != top || FHScroll.Pos() != left;
  const TTextPoint point = PointToTextPos(FDragPoint.x(), FDragPoint.y());
  if (point.Column == 0) return false;
  SetSelEnd(point);
  RefreshView();
  return scrolled;
}

void TQuokkaView::keyPressEvent(QKeyEvent* e) {
  if (MoveCaretByKey(*e) || ScrollByKey(*e))
    e->accept();
  else
    e->ignore();
}

void TQuokkaView::keyReleaseEvent(QKeyEvent* e) {
  FExtending = false;
  e->ignore();
}

bool TQuokkaView::MoveCaretByKey(const QKeyEvent& Key) {
  if (!FCaret || LineCount() == 0) return false;
  const std::optional<TCaretKey> caretKey = CaretKey(Key.key(), Key.modifiers(), FSelect);
  if (!caretKey) return false;
  SetSelEnd(CaretStep(FDocument.Texts(), FCaretPos, caretKey->Move));
  if (!caretKey->Extend) SetSelStart(FSelEnd);
  FExtending = caretKey->Extend;
  if (!ScrollIntoView(FCaretPos)) RefreshView();
  return true;
}

bool TQuokkaView::ScrollByKey(const QKeyEvent& Key) {
  bool matched = false;
  if (HasVerticalBar()) {
    if (const auto code = VerticalScrollKey(Key.key(), Key.modifiers())) {
      VScrollMessage(*code, 0, KeyThresholdMs);
      matched = true;
    }
  }
  if (HasHorizontalBar()) {
    if (const auto code = HorizontalScrollKey(Key.key(), Key.modifiers())) {
      HScrollRequest(*code, 0, KeyThresholdMs);
      matched = true;
    }
  }
  return matched;
}

int TQuokkaView::GetSelText(std::string* Buffer) const {
  return SelectionText(FDocument.Texts(), FSelStart, FSelEnd, Buffer);
}

void TQuokkaView::CopyToClipboard() {
  if (GetSelText() <= 0) return;
  std::string text;
  if (GetSelText(&text) > 0) QGuiApplication::clipboard()->setText(ToQString(text));
}

TLink TQuokkaView::LinkAt(TTextPoint Point) const {
  return FSelect ? ::LinkAt(FDocument.Texts(), ClampToText(FDocument.Texts(), Point)) : TLink{};
}

TLink TQuokkaView::LinkAtSelStart() const {
  return FSelect ? LinkOnLineOf(FDocument.Texts(), FSelStart) : TLink{};
}

void TQuokkaView::OpenWordAt(int X, int Y) {
  const std::optional<TWord> word =
      FSelect ? WordAt(FDocument.Texts(), PointToBytePos(X, Y)) : std::nullopt;
  if (word) {
    SetSelStart(word->Start);
    SetSelEnd(word->End);
    if (word->Kind != lkNoLink) {
      const QString url =
          ToQString(word->Kind == lkMailAddress ? "mailto:" + word->Text : word->Text);
      if (!OnOpenLink || !OnOpenLink(url)) PlatformUi().OpenUrl(url);
      SetSelEnd(FSelStart);
    }
  }
  RefreshView();
}
