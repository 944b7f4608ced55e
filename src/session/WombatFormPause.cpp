// Pauses of the connection handling: two seconds after a connection comes up,
// one second for each "*" of a script step, one second before a silent line
// is connected again. A pause is a state with an end time, not a wait: the
// window keeps painting and the user's commands act at once, but nothing is
// read from the transport until it ends. The telnet client is held, so what
// the host sends waits in the socket, in order, and TCP holds the host back;
// the modems' events, which arrive with their data, wait in a queue. When the
// pause ends, what it was started for runs first (the script's next item, the
// restart), then the held data is handled in the order it arrived. A
// hand-off of lines to a linked sibling program holds received data the same
// way until the sibling has answered.
#include <QTimer>

#include "comm/TelnetClient.h"
#include "session/WombatForm.h"

void TWombatForm::CreatePauseTimer() {
  FPauseTimer = new QTimer(this);
  FPauseTimer->setSingleShot(true);
  connect(FPauseTimer, &QTimer::timeout, this, [this] { EndPause(); });
}

bool TWombatForm::Paused() const {
  return FPauseTimer->isActive();
}

// A pause started while another runs replaces it.
void TWombatForm::StartPause(int milliseconds, std::function<void()> then) {
  FAfterPause = std::move(then);
  FPauseTimer->start(std::max(milliseconds, 0));
  TCPClient1->Hold(true);
}

void TWombatForm::EndPause() {
  if (const std::function<void()> then = std::exchange(FAfterPause, nullptr)) then();
  ResumeReceiving();
}

// The connection has ended: what the pause was for is dropped.
void TWombatForm::CancelPause() {
  FPauseTimer->stop();
  FAfterPause = nullptr;
  ResumeHeldActions();
}

// Received data waits while a pause runs, while the receive road handles a
// block (so that a dialog opened meanwhile cannot let newer text overtake
// it) and while the sibling takes the lines of a block.
bool TWombatForm::ReceivingHeld() const {
  return Paused() || FReceiving || HandingOffToSibling();
}

// For the modems' events and the sibling's requests: held while received data
// is held, behind the events held before them, and behind a host's close
// that is still to be delivered.
void TWombatForm::WhenNotPaused(std::function<void()> action) {
  if (ReceivingHeld() || TCPClient1->ClosePending() || !FHeldActions.empty())
    FHeldActions.push_back(std::move(action));
  else
    action();
}

void TWombatForm::ResumeReceiving() {
  RunHeldActions();
  TCPClient1->Hold(ReceivingHeld());
}

// The same from the event loop, for callers in the middle of their own work.
void TWombatForm::ResumeHeldActions() {
  QMetaObject::invokeMethod(this, [this] { ResumeReceiving(); }, Qt::QueuedConnection);
}

// Stops when an action starts a pause; the end of that pause goes on.
void TWombatForm::RunHeldActions() {
  while (!ReceivingHeld() && !TCPClient1->ClosePending() && !FHeldActions.empty()) {
    const std::function<void()> action = std::move(FHeldActions.front());
    FHeldActions.pop_front();
    action();
  }
}
