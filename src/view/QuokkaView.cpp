// TQuokkaView: the widget. Construction, layout and metrics, the frame and
// caption, the back buffer and drawing, and the look properties.
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <limits>

#include "text/Codec.h"
#include "text/QtCodec.h"
#include "view/LineFold.h"
#include "view/Links.h"
#include "view/QuokkaView.h"

namespace {

// Refreshes closer together than this share one paint of the window: the
// screen cannot show more, and a synchronous paint per received block would
// cost more than handling the block.
constexpr qint64 FramePeriodMs = 16;

// Row key serial of the line after the last one.
constexpr uint64_t NoLineSerial = 1;

// Bytes of a line drawn per character of the layout: enough for the
// narrowest characters of a proportional font to fill the back buffer.
constexpr int DrawnBytesPerColumn = 4;

// Colour setters: the accent and address colours redraw only when they
// change, the others always.
bool Store(QRgb& field, const QColor& value) {
  const QRgb rgba = value.rgba();
  const bool changed = field != rgba;
  field = rgba;
  return changed;
}

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
  ConnectInput();
  ConnectScrollBars();
  ApplyScrollBar();
  ApplyBvStyle();
  resize(65, 65);
  UpdateLayout();
}

TQuokkaView::~TQuokkaView() = default;

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

void TQuokkaView::SetMaxChar(int Value) {
  Value = std::clamp(Value, 1, WidestLayout);
  if (Value == FMaxChar) return;
  FMaxChar = Value;
  UpdateLayout();
}

void TQuokkaView::SetViewTabStop(int Value) {
  if (Value < 0 || Value == FViewTabStop) return;
  FViewTabStop = Value;
  RefreshView();
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

TRowKey TQuokkaView::RowKey(int Index) const {
  if (Index < 0 || Index >= LineCount()) return {};
  const TLightStrings& texts = FDocument.Texts();
  const TViewLine& line = FDocument.Line(Index);
  TRowKey key;
  key.Line = line.Serial;
  key.Before = FoldsIntoNext(texts, Index - 1) ? FDocument.Line(Index - 1).Serial : 0;
  if (EndsWithFoldMark(FDocument.Text(Index)))
    key.After = FoldsIntoNext(texts, Index) ? FDocument.Line(Index + 1).Serial : NoLineSerial;
  key.Color = line.Color;
  if (const auto selected = ::SelectedBytes(texts, FSelStart, FSelEnd, Index)) {
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
  const TFoldJoin join = JoinAcrossFolds(FDocument.Texts(), Index);
  TLineText line;
  line.Own = DrawnPart(join.Own);
  // A link that runs in from an over-long line, or on beyond what is drawn,
  // is marked only where it is drawn.
  const std::string before = LinkContextBefore(Index);
  line.Before = before;
  if (line.Own.size() == join.Own.size()) line.After = DrawnPart(join.After);
  line.HeadLine = FDocument.Text(Index).size() >= 4 && !join.Continuation;
  line.BaseColor = FDocument.Line(Index).Color;
  const std::vector<TStyleRun> runs = StyleRuns(line, FStyle, FAnalysis);
  FPainter.Draw(Painter, Top, FLineHeight, FLineHeight - FVSpace, FBackBuffer.Width(), line, runs,
                FStyle.Background, ::SelectedBytes(FDocument.Texts(), FSelStart, FSelEnd, Index));
}

// A link ends at a delimiter, so a line that holds one (or a double-byte
// character) is the farthest a link that reaches Index can start.
std::string TQuokkaView::LinkContextBefore(int Index) const {
  constexpr size_t MostBytes = 8192;
  std::string before;
  for (int k = Index - 1;
       k >= 0 && FoldsIntoNext(FDocument.Texts(), k) && before.size() < MostBytes; --k) {
    const std::string_view text = WithoutFoldMark(FDocument.Text(k));
    if (DrawnPart(text).size() != text.size()) break;
    before.insert(0, text);
    if (std::any_of(text.begin(), text.end(), [](char c) {
          const auto byte = static_cast<unsigned char>(c);
          return IsDelimiter(byte) || IsLeadByte(byte);
        }))
      break;
  }
  return before;
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
  const int xOffset = FCharWidth * FHScroll.Pos();
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
