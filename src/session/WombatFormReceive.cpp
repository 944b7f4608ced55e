// The receive road: every block a transport delivers is searched for the
// login script's prompt, cut into lines at CR, logged and shown in both
// views. And the send road: one operation that sends through the active
// transport.
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

// The telnet client raises no data event while received data is held.
void TWombatForm::TCPClient1Data() {
  const std::string block = TCPClient1->ReceiveText();
  if (!block.empty()) ReceiveBlock(block);
}

// The script's step goes out before the lines of the block that triggered it
// are shown. The complete lines go to a linked sibling, then to the log; the
// views then take the whole batch and the partial line at once, so they
// redraw once per block. Nothing else is received meanwhile, even while a
// message box of the log waits for its answer or the sibling for its turn.
void TWombatForm::ReceiveBlock(const std::string& block) {
  FReceiving = true;
  const std::size_t searchFrom = FReceiveBuffer.size();
  AppendBlock(FReceiveBuffer, block);
  CheckPrompt(block);
  const std::vector<std::string> lines = TakeLines(FReceiveBuffer, searchFrom);
  if (!lines.empty()) FLineReceived = true;
  PassLinesToSibling(lines, [this, lines] { LogAndShow(lines); });
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

void TWombatForm::SendToHost(const std::string& text) {
  switch (FConnectKind) {
    case kTelnet:
      TCPClient1->SendText(text);
      break;
    case kSerialModem:
    case kTelephonyModem:
      SendToModem(text);
      break;
    default:
      break;
  }
}
