// The window's width: the terminal view folds at 80 columns, so the window
// is made wide enough for 80 columns of the view's font at the first start,
// beside the view settings panel, and after a font is chosen there.
#include <QScreen>
#include <QScrollBar>
#include <algorithm>

#include "session/WombatForm.h"
#include "view/QuokkaView.h"

namespace {

constexpr int kFoldColumns = 80;

}  // namespace

// The terminal view's whole width when its text area holds 80 columns and
// the caret after them.
int TWombatForm::EightyColumnViewWidth() const {
  return kFoldColumns * TerminalView->CharWidth() + 1 + 2 * TerminalView->frameWidth() +
         TerminalView->verticalScrollBar()->sizeHint().width();
}

// A shown window whose terminal view is narrower than 80 columns grows, as
// far as the screen allows.
void TWombatForm::WidenForEightyColumns() {
  const int missing = EightyColumnViewWidth() - TerminalView->width();
  if (missing > 0) WidenWithinScreen(missing);
}

// Widens the window by `extra` pixels, or by as many as the screen has room
// for, moving it left where its right edge would leave the screen; returns
// what it added.
int TWombatForm::WidenWithinScreen(int extra) {
  const QScreen* place = screen();
  if (!place) return 0;
  const QRect available = place->availableGeometry();
  extra = std::clamp(extra, 0, std::max(available.width() - frameGeometry().width(), 0));
  const int overflow = frameGeometry().right() + extra - available.right();
  if (overflow > 0) move(x() - overflow, y());
  resize(width() + extra, height());
  return extra;
}
