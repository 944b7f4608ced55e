#pragma once
// TQuokkaView: the scrolling terminal view. It stores received lines in its
// document, folds them at 80 columns or at the window's width, keeps a base
// colour and an animation entry with every stored line, classifies and
// colours lines as it draws them, and keeps a partial line at the end that
// the next batch of lines replaces.

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/Analysis.h"
#include "text/LightStrings.h"
#include "text/ReplaceFont.h"
#include "view/LineFolder.h"
#include "view/LinePainter.h"
#include "view/Motion.h"
#include "view/NotifyStrings.h"
#include "view/PageBuffer.h"
#include "view/Scrolling.h"
#include "view/Selection.h"
#include "view/TextPoint.h"
#include "view/ViewDocument.h"

class QMenu;
class TCaptionStrip;

// Frame, caption and resizing styles of the view's window.
enum TBvStyles : uint8_t { bvCaption, bvVResize, bvHResize, bvMove, bvClientLow, bvDblFrame };

// A set of TBvStyles.
class TBvStyle {
 public:
  constexpr TBvStyle() = default;
  constexpr TBvStyle(std::initializer_list<TBvStyles> styles) {
    for (TBvStyles style : styles) FBits |= Bit(style);
  }
  constexpr bool Contains(TBvStyles style) const { return (FBits & Bit(style)) != 0; }
  constexpr TBvStyle& Include(TBvStyles style) {
    FBits |= Bit(style);
    return *this;
  }
  constexpr TBvStyle& Exclude(TBvStyles style) {
    FBits &= static_cast<uint8_t>(~Bit(style));
    return *this;
  }
  constexpr bool operator==(const TBvStyle&) const = default;

 private:
  static constexpr uint8_t Bit(TBvStyles style) { return static_cast<uint8_t>(1u << style); }
  uint8_t FBits = 0;
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TQuokkaView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  using TNotifyEvent = std::function<void(TQuokkaView& Sender)>;
  using TBvStyleEvent = std::function<void(TQuokkaView& Sender, TBvStyle& Parm)>;
  using TViewLineEvent = std::function<void(TQuokkaView& Sender, int32_t& Value)>;
  using TMouseMoveEvent =
      std::function<void(TQuokkaView& Sender, Qt::KeyboardModifiers Shift, int X, int Y)>;

  explicit TQuokkaView(QWidget* parent = nullptr);
  ~TQuokkaView() override;

  // --- The lines, as a list of strings ---
  // Removes the partial line, stores S folded; returns its (first) index.
  virtual int Add(std::string_view S);
  // Removes the partial line and stores every line, folded, in order.
  virtual void AddLines(const std::vector<std::string>& Lines);
  // As AddLines; before line i, TextColor becomes Colors[i] (when given).
  virtual void AddColoredLines(const std::vector<std::string>& Lines,
                               const std::vector<QColor>& Colors);
  // Replaces the content by Lines and shows the first page.
  virtual void Assign(const std::vector<std::string>& Lines);
  virtual void Clear();
  virtual void AssignTo(std::vector<std::string>& Dest) const;
  // Removes one stored line; an invalid index raises the store's EListError.
  virtual void Delete(int Index);
  // Swaps two stored lines with their colours and animations.
  virtual void Exchange(int Index1, int Index2);
  // The stored line, or empty outside 0 .. LineCount() - 1.
  virtual std::string Get(int Index) const;
  virtual int IndexOf(std::string_view S) const;
  // Inserts one stored line unfolded before Index; a line inserted into or
  // after the partial line goes before it, which stays last.
  virtual void Insert(int Index, std::string_view S);
  // Replace the content by a file's (UTF-8 path) or stream's lines; file
  // errors raise EInOutError after the view was cleared.
  virtual void LoadFromFile(const std::string& FileName);
  virtual void LoadFromStream(std::istream& Stream);
  // Replaces one stored line unfolded; ignored outside the store.
  virtual void Put(int Index, std::string_view S);
  virtual void SaveToFile(const std::string& FileName) const;
  virtual void SaveToStream(std::ostream& Stream) const;

  // Shows Text as the last line until the next Add, AddLines or
  // ShowPartialLine replaces it; trims the view to MaxLineCount.
  void ShowPartialLine(std::string_view Text);
  // Removes the oldest lines beyond MaxLineCount; the selection stays on
  // the text it covers.
  void ApplyLineLimit();
  // Makes Value the first line shown (clamped; OnViewLineChanging may change it).
  void SetTopLine(int Value);
  // Makes Value the last line shown.
  void SetBottomLine(int Value);
  // Brings the view up to date on the screen.
  void RefreshView();

  int LineCount() const { return FDocument.Count(); }
  int TopLine() const { return FTopLine; }
  int BottomLine() const { return FBottomLine; }
  int PageLines() const { return FPageLines; }
  int LineHeight() const { return FLineHeight; }
  int CharWidth() const { return FCharWidth; }
  // The line colour recorded for stored line Index.
  QColor LineColor(int Index) const;

  // --- Selection (Column, Line); empty when both ends are equal ---
  TTextPoint SelStart() const { return FSelStart; }
  TTextPoint SelEnd() const { return FSelEnd; }
  void SetSelStart(TTextPoint Value);
  // Also places the caret there.
  void SetSelEnd(TTextPoint Value);
  TTextPoint CaretPos() const { return FCaretPos; }

  // The text point under client pixel (X, Y): at a character's start, or at
  // any byte (so it may be a trail byte). Above the lines: column 1 of the
  // top line; below them: after the end of the last line.
  TTextPoint PointToTextPos(int X, int Y) const;
  TTextPoint PointToBytePos(int X, int Y) const;
  // Scrolls so that Point is shown; true when it scrolled.
  bool ScrollIntoView(TTextPoint Point);
  // The selected text as copied (CP932, CR LF between lines) into Buffer,
  // returning its length; with no buffer, an upper bound of the length.
  // -1 when nothing is selected.
  int GetSelText(std::string* Buffer = nullptr) const;
  // Puts the selected text on the clipboard.
  void CopyToClipboard();
  // The link that is the word at Point; none while Select is false.
  TLink LinkAt(TTextPoint Point) const;
  // The link at SelStart or else the first one on its line.
  TLink LinkAtSelStart() const;
  // The double-click action at client pixel (X, Y): selects the word there
  // and opens it when it is a URL or a mail address.
  void OpenWordAt(int X, int Y);
  // The menu that the right mouse button opens; not owned.
  QMenu* PopupMenu() const;
  void SetPopupMenu(QMenu* Menu);

  // The visible lines as drawn, top line first, (MaxChar + 1) character
  // cells wide and PageLines lines high.
  QImage PageImage();

  // --- Properties ---
  TBvStyle BvStyle() const { return FBvStyle; }
  void SetBvStyle(TBvStyle Value);
  int Capacity() const { return FDocument.Capacity(); }
  void SetCapacity(int Value) { FDocument.SetCapacity(Value); }
  QString Caption() const { return FCaption; }
  void SetCaption(const QString& Value);
  bool Caret() const { return FCaret; }
  void SetCaret(bool Value);
  int MaxChar() const { return FMaxChar; }
  void SetMaxChar(int Value);
  int PCanLimit() const { return FPCanLimit; }
  void SetPCanLimit(int Value) { FPCanLimit = std::max(Value, 0); }
  TScrollStyle ScrollBar() const { return FScrollBar; }
  void SetScrollBar(TScrollStyle Value);
  int ScrollSense() const { return FScrollSense; }
  void SetScrollSense(int Value);
  bool Select() const { return FSelect; }
  void SetSelect(bool Value) { FSelect = Value; }
  int ViewTabStop() const { return FViewTabStop; }
  void SetViewTabStop(int Value);

  QColor Color() const { return QColor::fromRgba(FStyle.Background); }
  void SetColor(const QColor& Value);
  // The colour of the view's font (links are marked only when it differs
  // from AddressColor or MailAddressColor).
  QColor FontColor() const { return QColor::fromRgba(FStyle.FontColor); }
  void SetFontColor(const QColor& Value);
  // The base colour recorded for each line added from now on.
  QColor TextColor() const { return FTextColor; }
  void SetTextColor(const QColor& Value) { FTextColor = Value; }

  QColor AccentBackColor() const { return QColor::fromRgba(FStyle.AccentBackColor); }
  void SetAccentBackColor(const QColor& Value);
  QColor AccentColor() const { return QColor::fromRgba(FStyle.AccentColor); }
  void SetAccentColor(const QColor& Value);
  QColor AddressColor() const { return QColor::fromRgba(FStyle.AddressColor); }
  void SetAddressColor(const QColor& Value);
  QColor MailAddressColor() const { return QColor::fromRgba(FStyle.MailAddressColor); }
  void SetMailAddressColor(const QColor& Value);
  QColor ConvColor() const { return QColor::fromRgba(FStyle.ConvColor); }
  void SetConvColor(const QColor& Value);
  QColor PageColor() const { return QColor::fromRgba(FStyle.PageColor); }
  void SetPageColor(const QColor& Value);
  QColor UserColor() const { return QColor::fromRgba(FStyle.UserColor); }
  void SetUserColor(const QColor& Value);
  QColor HandleColor() const { return QColor::fromRgba(FStyle.HandleColor); }
  void SetHandleColor(const QColor& Value);

  bool IgnoreEffect() const { return FStyle.IgnoreEffect; }
  void SetIgnoreEffect(bool Value);
  bool NormalMode() const { return FStyle.NormalMode; }
  void SetNormalMode(bool Value);
  bool IgnoreAccent() const { return FStyle.IgnoreAccent; }
  void SetIgnoreAccent(bool Value);
  // The emphasised words; every change normalises them and redraws.
  TNotifyStrings& AccentWords() { return FAccentWords; }
  // Characters drawn in another glyph and font (loaded by the owner).
  TReplaceFontList& ReplaceFonts() { return FReplaceFonts; }

  bool HalfScroll() const { return FHalfScroll; }
  void SetHalfScroll(bool Value) { FHalfScroll = Value; }
  bool AutoScroll() const { return FAutoScroll; }
  void SetAutoScroll(bool Value) { FAutoScroll = Value; }
  // Line limit applied by ShowPartialLine and ApplyLineLimit; 0 or less: none.
  int MaxLineCount() const { return FMaxLineCount; }
  void SetMaxLineCount(int Value) { FMaxLineCount = Value; }
  int VSpace() const { return FVSpace; }
  void SetVSpace(int Value);
  // Fold at 80 bytes instead of the window's width.
  bool EightyColumns() const { return FEightyColumns; }
  void SetEightyColumns(bool Value) { FEightyColumns = Value; }
  bool IgnoreMotion() const { return FIgnoreMotion; }
  void SetIgnoreMotion(bool Value);
  int MotionInterval() const { return FMotionInterval; }
  void SetMotionInterval(int Value);

  // --- Events ---
  TNotifyEvent OnResize;
  TBvStyleEvent OnBvStyleChanging;
  TNotifyEvent OnBvStyleChanged;
  TViewLineEvent OnViewLineChanging;
  TNotifyEvent OnViewLineChanged;
  TMouseMoveEvent OnMouseMove;
  // A double-clicked link; true when the owner opened it. Unset or false: the
  // desktop opens it.
  std::function<bool(const QString& url)> OnOpenLink;

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void changeEvent(QEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  // The widest layout, in characters: the back buffer and the horizontal
  // range never grow beyond it, whatever is stored unfolded.
  static constexpr int WidestLayout = 1024;

  // Sets FUpdating for its lifetime and restores the previous value.
  class TUpdatingScope {
   public:
    explicit TUpdatingScope(TQuokkaView& view) : FView(view), FWas(view.FUpdating) {
      view.FUpdating = true;
    }
    ~TUpdatingScope() { FView.FUpdating = FWas; }

   private:
    TQuokkaView& FView;
    bool FWas;
  };

  // Lines (QuokkaViewLines.cpp)
  int StoreLine(std::string_view Text);
  int StorePieces(TLineFolder& Folder, size_t Offset = 0);
  void ReshowPartialLine(std::string_view Text);
  bool GrowPartialLine(std::string_view Text);
  int FoldWidth() const;
  int TextAreaWidth() const;
  void DropPartialLine();
  void FinishAdding(int SourceLines);
  void WidenMaxChar(int First, int Last);
  void StoreLoadedLines(const TLightStrings& Loaded);
  void FinishLoading();
  bool InPartialLine(int Index) const;
  void EndPartialLine();
  static TTextPoint LinesRemovedAbove(TTextPoint Point, int Removed);
  void MotionTimerTick();

  // Scrolling (QuokkaViewScrolling.cpp)
  // Brings the top and bottom lines, the selection and the caret back onto
  // the lines.
  void KeepPageOnTheLines();
  void UpdateScrollRanges();
  void SetVScrollPos(int Value);
  void RequestScrollBarSync();
  void SyncScrollBars();
  void ApplyScrollBar();
  bool HasVerticalBar() const { return FScrollBar == ssVertical || FScrollBar == ssBoth; }
  bool HasHorizontalBar() const { return FScrollBar == ssHorizontal || FScrollBar == ssBoth; }
  void ConnectScrollBars();
  void VerticalBarAction(int Action);
  void HorizontalBarAction(int Action);
  void VScrollMessage(TScrollCode Code, int Thumb, int Threshold);
  void VScrollRequest(TScrollCode Code, int Thumb, int Threshold);
  void HScrollRequest(TScrollCode Code, int Thumb, int Threshold);
  void SetHScrollPos(int Value);
  void Accelerate(int Threshold);
  void ShowTopLineOnThumb();

  // Input: selection, caret, mouse, keys and links (QuokkaViewInput.cpp)
  void ConnectInput();
  void ResetSelection();
  TTextPoint ClampSelectionEnd(TTextPoint Point) const;
  void PlaceCaret(TTextPoint Point);
  int TextWidth(int Line, int Bytes) const;
  TTextPoint PointAt(int X, int Y, bool AnyByte) const;
  QRect CaretRect() const;
  void PaintCaret(QPainter& Painter) const;
  void CaretMoved();
  void BlinkCaret();
  void DragTo(QPoint Point);
  bool DragStep();
  void RepeatDrag();
  bool MoveCaretByKey(const QKeyEvent& Key);
  bool ScrollByKey(const QKeyEvent& Key);

  // The widget: layout and drawing (QuokkaView.cpp)
  void UpdateMetrics();
  void UpdateLayout();
  void HandleSizeChange();
  void ApplyBvStyle();
  void PlaceCaptionStrip();
  void Restyle();
  void PaintNow();
  void BringPageUpToDate();
  TRowKey RowKey(int Index) const;
  void DrawLine(QPainter& Painter, int Top, int Index);
  std::string_view DrawnPart(std::string_view Text) const;
  // The text of the stored lines before Index that fold into it, as far back
  // as a link may run in from; only lines drawn whole count.
  std::string LinkContextBefore(int Index) const;
  void NormalizeAccentWords();

  TBvStyle FBvStyle{bvClientLow};
  QString FCaption;
  TCaptionStrip* FCaptionStrip = nullptr;
  bool FCaret = false;
  TTextPoint FCaretPos;
  TViewDocument FDocument;
  int FMaxChar = 255;
  TPageBuffer FBackBuffer;
  TLinePainter FPainter;
  int FLineHeight = 1;
  int FCharWidth = 1;
  int FTopLine = 0;
  int FBottomLine = 0;
  int FPageLines = 0;
  int FViewTabStop = 0;
  // The scroll bars' ranges (0 .. maximum) and positions with their history;
  // the scroll bar widgets follow them when control returns to the event loop.
  int FVScrollMax = 1;
  TScrollHistory FVScroll;
  int FHScrollMax = 0;
  TScrollHistory FHScroll;
  TScrollAcceleration FAcceleration;
  QTimer FScrollBarSync;
  int FScrollSense = 1;
  TScrollStyle FScrollBar = ssNone;
  int FPaintCount = 0;
  QElapsedTimer FPaintClock;
  QRgb FBufferColor = 0;
  int FPCanLimit = 0;
  TTextPoint FSelStart;
  TTextPoint FSelEnd;
  bool FSelect = true;
  bool FExtending = false;
  int FClickKind = 1;
  QPoint FDragPoint;
  QTimer FDragTimer;
  QTimer FCaretTimer;
  bool FCaretOn = true;
  QPointer<QMenu> FPopupMenu;
  bool FUpdating = false;
  bool FLineEventsOff = false;
  TLineStyle FStyle;
  TNotifyStrings FAccentWords;
  bool FNormalizingWords = false;
  bool FHalfScroll = false;
  bool FAutoScroll = false;
  QColor FTextColor = Qt::black;
  int FMaxLineCount = 0;
  int FVSpace = 0;
  bool FEightyColumns = false;
  TAnalysis FAnalysis;
  bool FIgnoreMotion = true;
  QTimer FMotionTimer;
  int FMotionInterval = 500;
  int FPartialCount = 0;
  int FWritePos = 0;
  // The partial line as last shown, so that a line that grows is folded
  // again only from its last stored piece.
  struct TPartialLine {
    std::string Raw;        // as given
    std::string Shown;      // as stored, before folding
    size_t LastPiece = 0;   // where the last stored piece begins in Shown
    int Width = 0;          // the fold width it was stored with
    bool Parsed = false;    // animations were parsed
    bool Growable = false;  // it may grow in place
  } FPartial;
  TReplaceFontList FReplaceFonts;
  uint64_t FDrawnReplacements = 0;  // version of FReplaceFonts when the page was drawn
};
