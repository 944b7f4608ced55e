// Pauses of the connection handling: two seconds after a connection comes up,
// one second for each "*" of a script step, one second before a silent line
// is connected again. During a pause the window stays drawn and the user may
// type, but received data, transport events, commands and timer ticks are
// held back; they run after the handler that paused has finished, in the
// order they arrived. So the host and the user see everything happen in the
// same order as if the program had stood still for the pause.
#include <QEventLoop>
#include <QTimer>

#include "session/WombatForm.h"

void TWombatForm::Pause(int milliseconds) {
  ++FPauseDepth;
  QEventLoop loop;
  QTimer::singleShot(std::max(milliseconds, 0), &loop, &QEventLoop::quit);
  loop.exec();
  --FPauseDepth;
  ResumeHeldActions();
}

// Held actions run once nothing holds them any more: no pause and no
// hand-off to the sibling program.
void TWombatForm::ResumeHeldActions() {
  if (!Paused() && !HandingOffToSibling() && !FHeldActions.empty())
    QMetaObject::invokeMethod(
        this, [this] { RunHeldActions(); }, Qt::QueuedConnection);
}

// Actions are held while a pause runs, and while actions held before still
// wait, so that the order stays. What a held action causes at once runs at once.
bool TWombatForm::Holding() const {
  return Paused() || HandingOffToSibling() || (!FHeldActions.empty() && !FRunningHeldAction);
}

void TWombatForm::WhenNotPaused(std::function<void()> action) {
  if (Holding())
    FHeldActions.push_back(std::move(action));
  else
    action();
}

// Stops when an action pauses again; that pause resumes the rest.
void TWombatForm::RunHeldActions() {
  while (!Paused() && !HandingOffToSibling() && !FHeldActions.empty()) {
    std::function<void()> action = std::move(FHeldActions.front());
    FHeldActions.pop_front();
    const bool wasRunning = std::exchange(FRunningHeldAction, true);
    action();
    FRunningHeldAction = wasRunning;
  }
}
