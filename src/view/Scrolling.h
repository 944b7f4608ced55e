#pragma once
// Scrolling of a view: the codes of a scroll request, the key tables that
// make requests or move the caret, the position a request leads to, and the
// acceleration of requests that follow each other quickly.

#include <Qt>
#include <cstdint>
#include <optional>

#include "view/Selection.h"

// The codes of a scroll request as the scroll bars report them. Horizontal
// requests use the same codes: line up is line left, top is leftmost.
enum TScrollCode {
  scLineUp,
  scLineDown,
  scPageUp,
  scPageDown,
  scThumbPosition,
  scThumbTrack,
  scTop,
  scBottom,
  scEndScroll
};

// An arrow key that moves the caret; Extend when it extends the selection.
struct TCaretKey {
  TCaretMove Move;
  bool Extend;
};

// The arrow keys without modifier move the caret; with Shift (only when
// `select` is true) they extend the selection. Other combinations: nothing.
std::optional<TCaretKey> CaretKey(int key, Qt::KeyboardModifiers modifiers, bool select);
// Up, Down (line), Ctrl+Up, Ctrl+Down, Page Up, Page Down (page),
// Ctrl+Home (top), Ctrl+End (bottom).
std::optional<TScrollCode> VerticalScrollKey(int key, Qt::KeyboardModifiers modifiers);
// Left, Right (line), Ctrl+Left, Ctrl+Right (page), Home, End.
std::optional<TScrollCode> HorizontalScrollKey(int key, Qt::KeyboardModifiers modifiers);

// The position that a request leads to from `base`: a line is `step`, a
// page `page`; the thumb codes go to `thumb`; top and bottom to 0 and
// `maximum`; the end of a scroll stays. Limited to 0 .. maximum.
int ScrollTarget(TScrollCode code, int base, int step, int page, int thumb, int maximum);

// True when three positions in a row strictly rise or strictly fall.
bool SteadyMovement(int older, int previous, int current);

// A scroll position with the two before it, which tell whether scrolling
// moves steadily in one direction.
class TScrollHistory {
 public:
  int Pos() const { return FPos; }
  // A different position shifts the older ones.
  void Set(int value) {
    if (value == FPos) return;
    FPrev2 = FPrev;
    FPrev = FPos;
    FPos = value;
  }
  bool Steady() const { return SteadyMovement(FPrev2, FPrev, FPos); }

 private:
  int FPos = 0;
  int FPrev = 0;
  int FPrev2 = 0;
};

// Milliseconds of a monotonic clock, for the times of scroll requests.
int64_t ScrollClockNow();

// The step of line scrolls. Requests that follow each other within the
// threshold while the position moves steadily in one direction grow the
// step by one every tenth request, up to the scroll sense; a pause longer
// than the threshold, or an unsteady movement, brings it back to 1.
class TScrollAcceleration {
 public:
  // Brings the step up to date for a request at `now`. `limit` is the
  // largest step the view allows (about a page).
  void Update(int64_t now, int threshold, int sense, bool steady, int limit);
  int Step() const { return FStep; }

 private:
  int FStep = 1;
  int FRun = 0;
  int64_t FLast = ScrollClockNow();
};
