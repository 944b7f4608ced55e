// The receive road: every block a transport delivers is searched for the
// login script's prompt, cut into lines at CR, logged and shown in both
// views. And the send road: one operation that sends through the active
// transport.
#include <iterator>
#include <memory>

#include "comm/TelnetClient.h"
#include "session/WombatForm.h"
#include "text/LineAssembler.h"
#include "text/LogMgr.h"
#include "view/QuokkaView.h"

namespace {

// The view's line limit, applied after every block: a block that leaves no
// partial line does not trim on its own. Adding no lines afterwards lets the
// view scroll to its end again, as it does after trimming for a partial line.
void TrimToLineLimit(TQuokkaView& view) {
  const int before = view.LineCount();
  view.ApplyLineLimit();
  if (view.LineCount() < before) view.AddLines({});
}

}  // namespace

// The telnet client raises no data event while received data is held. What
// has arrived, up to a turn's worth, is handled as one batch: a linked
// sibling answers all its lines in one exchange, and the log and the views
// take them at once. Reading stops where the login script starts a pause.
void TWombatForm::TCPClient1Data() {
  FReceiving = true;
  std::vector<std::string> lines;
  for (std::size_t taken = 0; taken < TTCPClient::kReadPerTurn && !Paused();) {
    const std::string block = TCPClient1->ReceiveText();
    if (block.empty()) break;
    taken += block.size();
    TakeBlock(block, lines);
  }
  HandOn(std::move(lines));
}

// One block of a modem.
void TWombatForm::ReceiveBlock(const std::string& block) {
  FReceiving = true;
  std::vector<std::string> lines;
  TakeBlock(block, lines);
  HandOn(std::move(lines));
}

// The script's step goes out before the lines of the block that triggered it
// are shown.
void TWombatForm::TakeBlock(const std::string& block, std::vector<std::string>& lines) {
  const std::size_t searchFrom = FReceiveBuffer.size();
  AppendBlock(FReceiveBuffer, block);
  CheckPrompt(block);
  std::vector<std::string> complete = TakeLines(FReceiveBuffer, searchFrom);
  lines.insert(lines.end(), std::make_move_iterator(complete.begin()),
               std::make_move_iterator(complete.end()));
}

// The complete lines go to a linked sibling, then to the log; the views then
// take the whole batch and the partial line at once, so they redraw once per
// batch. Nothing else is received meanwhile, even while a message box of the
// log waits for its answer or the sibling for its turn.
void TWombatForm::HandOn(std::vector<std::string> lines) {
  if (!lines.empty()) FLineReceived = true;
  auto batch = std::make_shared<const std::vector<std::string>>(std::move(lines));
  PassLinesToSibling(*batch, [this, batch] { LogAndShow(*batch); });
  FReceiving = false;
  ResumeReceiving();
}

// The partial line is the receive buffer itself: nothing is received while
// the sibling takes the lines, so it is still this block's.
void TWombatForm::LogAndShow(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) FLogMgr->WriteLine(line);
  FLogMgr->Flush();
  ShowInViews(lines, FReceiveBuffer);
}

void TWombatForm::ShowInViews(const std::vector<std::string>& lines,
                              const std::string& partialLine) {
  FUpdatingViews = true;
  if (!lines.empty()) {
    TerminalView->AddLines(lines);
    LogView->AddLines(lines);
  }
  if (!partialLine.empty()) {
    TerminalView->ShowPartialLine(partialLine);
    LogView->ShowPartialLine(partialLine);
  } else {
    TrimToLineLimit(*TerminalView);
    TrimToLineLimit(*LogView);
  }
  FUpdatingViews = false;
}

bool TWombatForm::SendToHost(const std::string& text) {
  switch (FConnectKind) {
    case kTelnet:
      return TCPClient1->SendText(text);
    case kSerialModem:
    case kTelephonyModem:
      SendToModem(text);
      return true;
    default:
      return true;
  }
}
