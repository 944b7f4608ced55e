// The terminal view's ingestion, driven by a sequence of operations: each
// starts with an operation byte (TOperation, modulo its count) followed by its
// arguments (texts are a length byte and the bytes, numbers 4 bytes low byte
// first). After every operation the top and bottom lines must lie within the
// stored lines; while the stored lines are plain short text, a model of them
// checks that a partial line is replaced exactly by the next batch and that
// nothing else is lost.

#include <QApplication>
#include <QKeyEvent>
#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "view/Fonts.h"
#include "view/QuokkaView.h"

namespace {

// The operation numbers are part of the corpus files: append, never renumber.
enum TOperation : uint8_t {
  opAddLines,         // count byte (0-4), then that many texts
  opShowPartialLine,  // text
  opDelete,           // index byte (of the stored lines)
  opInsert,           // index byte (of the stored lines and one past), text
  opPut,              // index byte, text
  opExchange,         // two index bytes
  opClear,
  opSetTopLine,     // number
  opSetBottomLine,  // number
  opEightyColumns,  // byte: odd switches it on
  opResize,         // width word, height word (pixels, 1 and up)
  opMaxLineCount,   // byte
  opMaxChar,        // word
  opScrollBar,      // byte: TScrollStyle
  opSelStart,       // column number, line number
  opSelEnd,         // column number, line number
  opLinkAtSelStart,
  opLinkAt,      // column number, line number
  opSelText,     // the selected text and its length bound
  opKey,         // key byte (of kKeys), modifier byte (1 Shift, 2 Ctrl)
  opRepaint,     // draws the page now
  opAddLongLine,   // length word, shift byte (the length times 2 to the power 0-4), fill byte
  opInsertLongLine,  // index byte, length word, shift byte, fill byte
  opIgnoreMotion,    // byte: odd ignores animations
  opAutoScroll,      // byte: odd scrolls to the end on every batch
  opPointToText,     // x number, y number; then scrolls that point into view
  opProcessEvents,   // lets deferred scroll bar updates and timers run
  opCount
};

constexpr std::array kKeys{Qt::Key_Left,   Qt::Key_Right, Qt::Key_Up,   Qt::Key_Down,
                           Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};

// A line the model can follow: printable ASCII, short enough never to fold.
bool IsPlain(const std::string& line, int foldWidth) {
  if (static_cast<int>(line.size()) >= foldWidth) return false;
  for (char c : line)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

// True when `part`, in order, can be found within `whole`.
bool IsSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
  size_t found = 0;
  for (const std::string& line : whole)
    if (found < part.size() && line == part[found]) ++found;
  return found == part.size();
}

// The stored lines as the view should hold them, each marked when it belongs
// to the partial line (always the last ones). After an Insert, Put or
// Exchange that touches the partial line, whether its lines still count as
// the partial line is the view's choice, so at the next batch only the other
// lines are checked, in order.
struct TModelLine {
  std::string Text;
  bool Partial = false;
};

class TModel {
 public:
  std::vector<TModelLine> Lines;
  bool Known = true;
  bool PartialTouched = false;

  void Reset(const std::vector<std::string>& lines) {
    Lines.clear();
    for (const std::string& line : lines) Lines.push_back({line});
    Known = true;
    PartialTouched = false;
  }

  int PartialCount() const {
    return static_cast<int>(std::count_if(Lines.begin(), Lines.end(),
                                          [](const TModelLine& line) { return line.Partial; }));
  }

  // The lines outside the partial line, in order.
  std::vector<std::string> Permanent() const {
    std::vector<std::string> lines;
    for (const TModelLine& line : Lines)
      if (!line.Partial) lines.push_back(line.Text);
    return lines;
  }

  // The lines before the partial line, then `batch` written over it; what
  // the batch does not cover of the partial line stays as empty lines.
  std::vector<std::string> AfterBatch(const std::vector<std::string>& batch) const {
    std::vector<std::string> lines = Permanent();
    lines.insert(lines.end(), batch.begin(), batch.end());
    for (int i = static_cast<int>(batch.size()); i < PartialCount(); ++i) lines.emplace_back();
    return lines;
  }

  // After a partial line of `count` stored lines was shown.
  void ShowPartial(const std::vector<std::string>& lines, int count) {
    Reset(lines);
    for (int i = 0; i < count; ++i) Lines[Lines.size() - 1 - static_cast<size_t>(i)].Partial = true;
  }

  void Touch(int index) {
    if (Lines[static_cast<size_t>(index)].Partial) PartialTouched = true;
  }

  // An inserted line: before any line of the partial line it leaves it whole.
  void Insert(int index, const std::string& text) {
    for (int i = 0; i < index; ++i) Touch(i);
    Lines.insert(Lines.begin() + index, {text});
  }
};

class TViewDriver {
 public:
  explicit TViewDriver(TFuzzInput& input) : FInput(input) {
    FView.setFont(DefaultTerminalFont());
    FView.resize(640, 400);
    FView.show();
    QCoreApplication::processEvents();  // the window is exposed: repaints draw
  }

  void Run() {
    while (!FInput.AtEnd()) {
      Step(static_cast<TOperation>(FInput.Byte() % opCount));
      CheckLineRange();
    }
  }

 private:
  std::vector<std::string> Stored() const {
    std::vector<std::string> lines;
    FView.AssignTo(lines);
    return lines;
  }

  int FoldWidth() const {
    if (FView.EightyColumns()) return 80;
    const int pixels = std::min(FView.viewport()->width(), FView.width() - 20);
    return std::max(1, pixels / std::max(1, FView.CharWidth()));
  }

  int Index(int extra) { return FInput.Below(FView.LineCount() + extra); }

  TTextPoint Point() {
    const int column = FInput.Int();
    return {column, FInput.Int()};
  }

  std::string LongLine() {
    const size_t length = size_t{FInput.Word()} << FInput.Below(5);
    return std::string(length, static_cast<char>(FInput.Byte()));
  }

  void CheckLineRange() const {
    const int last = std::max(0, FView.LineCount() - 1);
    FUZZ_CHECK(0 <= FView.TopLine() && FView.TopLine() <= FView.BottomLine());
    FUZZ_CHECK(FView.BottomLine() <= last);
  }

  void Step(TOperation operation) {
    switch (operation) {
      case opAddLines: {
        std::vector<std::string> batch(static_cast<size_t>(FInput.Below(5)));
        for (std::string& line : batch) line = FInput.Text();
        AddLines(batch);
        break;
      }
      case opShowPartialLine: ShowPartialLine(FInput.Text()); break;
      case opDelete: if (FView.LineCount() > 0) Delete(Index(0)); break;
      case opInsert: {
        const int index = Index(1);
        Insert(index, FInput.Text());
        break;
      }
      case opPut: {
        const int index = Index(0);
        const std::string text = FInput.Text();
        if (FView.LineCount() > 0) Put(index, text);
        break;
      }
      case opExchange: {
        const int first = Index(0), second = Index(0);
        if (FView.LineCount() > 0) Exchange(first, second);
        break;
      }
      case opClear: FView.Clear(); FModel.Reset({}); break;
      case opSetTopLine: FView.SetTopLine(FInput.Int()); break;
      case opSetBottomLine: FView.SetBottomLine(FInput.Int()); break;
      case opEightyColumns: FView.SetEightyColumns(FInput.Byte() % 2 == 1); break;
      case opResize: {
        const int width = 1 + FInput.Word() % 2000;
        FView.resize(width, 1 + FInput.Word() % 1500);
        break;
      }
      case opMaxLineCount: FView.SetMaxLineCount(FInput.Byte()); break;
      case opMaxChar: FView.SetMaxChar(FInput.Word()); break;
      case opScrollBar: FView.SetScrollBar(static_cast<TScrollStyle>(FInput.Below(4))); break;
      case opSelStart: FView.SetSelStart(Point()); break;
      case opSelEnd: FView.SetSelEnd(Point()); break;
      case opLinkAtSelStart: FView.LinkAtSelStart(); break;
      case opLinkAt: FView.LinkAt(Point()); break;
      case opSelText: CheckSelectedText(); break;
      case opKey: PressKey(); break;
      case opRepaint: FView.viewport()->repaint(); break;
      case opAddLongLine: AddLines({LongLine()}); break;
      case opInsertLongLine: {
        const int index = Index(1);
        Insert(index, LongLine());
        break;
      }
      case opIgnoreMotion: IgnoreMotion(FInput.Byte() % 2 == 1); break;
      case opAutoScroll: FView.SetAutoScroll(FInput.Byte() % 2 == 1); break;
      case opPointToText: {
        const int x = FInput.Int();
        FView.ScrollIntoView(FView.PointToTextPos(x, FInput.Int()));
        break;
      }
      case opProcessEvents: QCoreApplication::processEvents(); break;
      case opCount: break;
    }
  }

  void AddLines(const std::vector<std::string>& batch) {
    bool plain = FModel.Known && FView.IgnoreMotion();
    for (const std::string& line : batch) plain = plain && IsPlain(line, FoldWidth());
    const std::vector<std::string> expected = FModel.AfterBatch(batch);
    std::vector<std::string> permanent = FModel.Permanent();
    permanent.insert(permanent.end(), batch.begin(), batch.end());
    FView.AddLines(batch);
    const std::vector<std::string> stored = Stored();
    if (plain && !FModel.PartialTouched) FUZZ_CHECK(stored == expected);
    if (plain && FModel.PartialTouched) FUZZ_CHECK(IsSubsequence(permanent, stored));
    // A batch leaves no partial line, so the model starts again from here
    // unless animations may change the lines.
    if (FView.IgnoreMotion()) FModel.Reset(stored);
  }

  void IgnoreMotion(bool ignore) {
    FView.SetIgnoreMotion(ignore);
    if (!ignore) FModel.Known = false;
  }

  void ShowPartialLine(const std::string& text) {
    const bool plain = FModel.Known && !FModel.PartialTouched && FView.IgnoreMotion() &&
                       IsPlain(text, FoldWidth());
    std::vector<std::string> expected = FModel.AfterBatch({text});
    const int partial = std::max(FModel.PartialCount(), 1);
    FView.ShowPartialLine(text);
    FModel.Known = plain;
    if (!plain) return;
    const int limit = FView.MaxLineCount();
    while (limit > 0 && static_cast<int>(expected.size()) > limit) expected.erase(expected.begin());
    FUZZ_CHECK(Stored() == expected);
    FModel.ShowPartial(expected, std::min(partial, static_cast<int>(expected.size())));
  }

  void Delete(int index) {
    FView.Delete(index);
    if (FModel.Known) FModel.Lines.erase(FModel.Lines.begin() + index);
  }

  void Insert(int index, const std::string& text) {
    FView.Insert(index, text);
    if (FModel.Known) FModel.Insert(index, text);
  }

  void Put(int index, const std::string& text) {
    FView.Put(index, text);
    if (!FModel.Known) return;
    FModel.Touch(index);
    FModel.Lines[static_cast<size_t>(index)].Text = text;
  }

  void Exchange(int first, int second) {
    FView.Exchange(first, second);
    if (!FModel.Known) return;
    FModel.Touch(first);
    FModel.Touch(second);
    std::swap(FModel.Lines[static_cast<size_t>(first)], FModel.Lines[static_cast<size_t>(second)]);
  }

  void CheckSelectedText() const {
    const int bound = FView.GetSelText();
    std::string text;
    const int length = FView.GetSelText(&text);
    FUZZ_CHECK((bound == -1) == (length == -1));
    if (length >= 0) FUZZ_CHECK(length <= bound && static_cast<int>(text.size()) == length);
  }

  void PressKey() {
    const Qt::Key key = kKeys[static_cast<size_t>(FInput.Below(kKeys.size()))];
    const int modifiers = FInput.Byte();
    Qt::KeyboardModifiers held;
    if (modifiers & 1) held |= Qt::ShiftModifier;
    if (modifiers & 2) held |= Qt::ControlModifier;
    QKeyEvent press(QEvent::KeyPress, key, held);
    QCoreApplication::sendEvent(&FView, &press);
  }

  TFuzzInput& FInput;
  TQuokkaView FView;
  TModel FModel;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: Qt's own globals are gone by the time statics are.
  static const QApplication* const application = new QApplication(*argc, *argv);
  (void)application;
  RegisterFontSubstitutions();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput input(data, size);
  TViewDriver(input).Run();
  return 0;
}
