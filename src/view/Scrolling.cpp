#include "view/Scrolling.h"

#include <algorithm>
#include <chrono>

namespace {

enum TModifier { mdNone, mdShift, mdCtrl, mdOther };

TModifier ModifierOf(Qt::KeyboardModifiers modifiers) {
  modifiers &= ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
  if (modifiers == Qt::NoModifier) return mdNone;
  if (modifiers == Qt::ShiftModifier) return mdShift;
  if (modifiers == Qt::ControlModifier) return mdCtrl;
  return mdOther;
}

// Requests that grow the step this many times in a row make it one larger.
constexpr int StepsPerGrowth = 10;

}  // namespace

std::optional<TCaretKey> CaretKey(int key, Qt::KeyboardModifiers modifiers, bool select) {
  const TModifier modifier = ModifierOf(modifiers);
  if (modifier != mdNone && !(modifier == mdShift && select)) return std::nullopt;
  const bool extend = modifier == mdShift;
  switch (key) {
    case Qt::Key_Up:
      return TCaretKey{cmUp, extend};
    case Qt::Key_Down:
      return TCaretKey{cmDown, extend};
    case Qt::Key_Left:
      return TCaretKey{cmLeft, extend};
    case Qt::Key_Right:
      return TCaretKey{cmRight, extend};
    default:
      return std::nullopt;
  }
}

std::optional<TScrollCode> VerticalScrollKey(int key, Qt::KeyboardModifiers modifiers) {
  switch (ModifierOf(modifiers)) {
    case mdNone:
      if (key == Qt::Key_Up) return scLineUp;
      if (key == Qt::Key_Down) return scLineDown;
      if (key == Qt::Key_PageUp) return scPageUp;
      if (key == Qt::Key_PageDown) return scPageDown;
      return std::nullopt;
    case mdCtrl:
      if (key == Qt::Key_Up) return scPageUp;
      if (key == Qt::Key_Down) return scPageDown;
      if (key == Qt::Key_Home) return scTop;
      if (key == Qt::Key_End) return scBottom;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::optional<TScrollCode> HorizontalScrollKey(int key, Qt::KeyboardModifiers modifiers) {
  switch (ModifierOf(modifiers)) {
    case mdNone:
      if (key == Qt::Key_Left) return scLineUp;
      if (key == Qt::Key_Right) return scLineDown;
      if (key == Qt::Key_Home) return scTop;
      if (key == Qt::Key_End) return scBottom;
      return std::nullopt;
    case mdCtrl:
      if (key == Qt::Key_Left) return scPageUp;
      if (key == Qt::Key_Right) return scPageDown;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

int ScrollTarget(TScrollCode code, int base, int step, int page, int thumb, int maximum) {
  int target = base;
  switch (code) {
    case scLineUp:
      target = base - step;
      break;
    case scLineDown:
      target = base + step;
      break;
    case scPageUp:
      target = base - page;
      break;
    case scPageDown:
      target = base + page;
      break;
    case scThumbPosition:
    case scThumbTrack:
      target = thumb;
      break;
    case scTop:
      target = 0;
      break;
    case scBottom:
      target = maximum;
      break;
    case scEndScroll:
      break;
  }
  return std::clamp(target, 0, std::max(maximum, 0));
}

bool SteadyMovement(int older, int previous, int current) {
  return (older < previous && previous < current) || (older > previous && previous > current);
}

int64_t ScrollClockNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void TScrollAcceleration::Update(int64_t now, int threshold, int sense, bool steady, int limit) {
  if (now - FLast > threshold) {
    FStep = 1;
    FRun = 0;
  } else if (FStep < sense) {
    if (steady) {
      if (++FRun == StepsPerGrowth) {
        FStep = std::max(1, std::min(FStep + 1, limit));
        FRun = 0;
      }
    } else {
      FStep = 1;
      FRun = 0;
    }
  }
  FLast = now;
}
