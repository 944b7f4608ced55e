// The receive road: every block a transport delivers is searched for the
// login script's prompt, cut into lines at CR, logged and shown in both
// views. And the send road: one operation that sends through the active
// transport.
#include "comm/TelnetClient.h"
#include "session/WombatForm.h"
#include "text/LineAssembler.h"
#include "text/LogMgr.h"
#include "view/QuokkaView.h"

// The bytes are taken at once, so that a close that follows cannot discard
// them while a pause holds their handling back.
void TWombatForm::TCPClient1Data() {
  WhenNotPaused([this, block = TCPClient1->ReceiveText()] { ReceiveBlock(block); });
}

// The script's step goes out before the lines of the block that triggered it
// are shown. The complete lines go to a linked sibling, then to the log; the
// views then take the whole batch and the partial line at once, so they
// redraw once per block.
void TWombatForm::ReceiveBlock(const std::string& block) {
  AppendBlock(FReceiveBuffer, block);
  CheckPrompt(block);
  std::vector<std::string> batch;
  while (!HasNoLine(FReceiveBuffer)) {
    FLineReceived = true;
    std::string line;
    TakeLine(FReceiveBuffer, line);
    batch.push_back(line);
  }
  std::string rest;
  PendingText(FReceiveBuffer, rest);
  PassLinesToSibling(batch, [this, batch, rest] {
    for (const std::string& line : batch) FLogMgr->WriteLine(line);
    FLogMgr->Flush();
    ShowInViews(batch, rest);
  });
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
