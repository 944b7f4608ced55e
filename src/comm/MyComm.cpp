#include "comm/MyComm.h"

#include <QThread>
#include <algorithm>
#include <string_view>
#include <utility>

namespace {

constexpr unsigned EV_RLSD = 0x20;
constexpr unsigned long kPauseBeforeAtMs = 1000;

// The verbose result codes by which a modem reports that a call failed.
bool IsFailedCallResult(std::string_view line) {
  static constexpr std::string_view kFailures[] = {"BUSY",         "NO CARRIER", "NO DIALTONE",
                                                   "NO DIAL TONE", "NO ANSWER",  "ERROR"};
  return std::ranges::find(kFailures, line) != std::end(kFailures);
}

}  // namespace

TMyComm::TMyComm(QObject* parent) : TComm(parent) {
  SetEventMask({evRlsd});
}

void TMyComm::Dial() {
  if (FPhoneNumber.empty()) {
    ShowMessage(QStringLiteral("電話番号が入力されていません。"));
    return;
  }
  FCommands.assign(InitCommands.begin(), InitCommands.end());
  if (FCommands.empty()) FCommands.push_back("ATZ");
  // A partial line left by an earlier call would spoil the first reply.
  FLineBuffer.clear();
  Open();
  try {
    QThread::msleep(kPauseBeforeAtMs);
    WriteString("AT\r");
  } catch (const ECommError&) {
    Close();
    throw;
  }
  FDialState = 1;
  FActive = true;
  FDialling = false;
}

void TMyComm::HangUp() {
  if (FActive && FDialState == 0 && IsOpen()) {
    try {
      WriteString("ATZ\r");
    } catch (const ECommError&) {
      // The line is failing: closing it below is all that is left to do.
    }
  }
  EndCall();
}

void TMyComm::EndCall() {
  const bool wasActive = FActive;
  FDialling = false;
  FDialState = 0;
  FActive = false;
  Close();
  if (wasActive && OnDisconnect) OnDisconnect(this);
}

void TMyComm::CommEvent(unsigned bits) {
  TComm::CommEvent(bits);
  // A rising carrier needs nothing: the first reply after the dial command
  // raises OnConnect. A carrier lost once the number is dialled, or a
  // vanished line at any time, ends the call; before dialling the carrier
  // means nothing (a modem reset may drop it).
  const bool dialled = FActive && FDialState == 0;
  if ((bits & EV_RLSD) && !RlsdState() && (dialled || (FActive && LineLost()))) EndCall();
}

void TMyComm::CommReceive() {
  const std::string text = ReceiveText();
  if (FDialState != 0)
    CommandPhase(text);
  else
    DataPhase(text);
}

std::string TMyComm::ReceiveText() {
  const int waiting = std::min(InQueueCount(), 65535);
  if (waiting < 1) return {};
  std::string text(static_cast<size_t>(waiting), '\0');
  text.resize(static_cast<size_t>(Read(text.data(), waiting)));
  std::erase_if(text, [](char c) { return c == '\0' || c == '\n'; });
  return text;
}

void TMyComm::CommandPhase(const std::string& text) {
  FLineBuffer += text;
  for (size_t cr; (cr = FLineBuffer.find('\r')) != std::string::npos;) {
    const std::string line = FLineBuffer.substr(0, cr);
    FLineBuffer.erase(0, cr + 1);
    if (!line.empty()) PassOn(line + '\r');
    // Once the dial command is out (or the owner hung up), further lines are
    // only shown: any character sent now would abort the dialling.
    if (FDialState != 0) ModemLine(line);
  }
  // Text after the dial command belongs to the data phase: pass it on too.
  if (FDialling && !FLineBuffer.empty()) PassOn(std::exchange(FLineBuffer, {}));
}

void TMyComm::ModemLine(const std::string& line) {
  if (line.starts_with("AT") && FDialState == 1)
    FDialState = 2;  // the echo of the command
  else if (!line.empty())
    SendNextCommand();
}

void TMyComm::SendNextCommand() {
  if (!FCommands.empty()) {
    WriteString(FCommands.front() + '\r');
    FCommands.pop_front();
    FDialState = 1;
    return;
  }
  WriteString((FDialOperate == doPulse ? "ATDP" : "ATDT") + FPhoneNumber + '\r');
  FDialState = 0;
  FDialling = true;
}

void TMyComm::DataPhase(const std::string& text) {
  // The first reply after the dial command (not its echo, nor a bare line
  // end) decides the call: a failure result ends it, anything else is the
  // connection.
  const size_t reply = text.find_first_not_of('\r');
  if (!FDialling || reply == std::string::npos || text.starts_with("ATD")) {
    PassOn(text);
    return;
  }
  FDialling = false;
  const size_t end = text.find('\r', reply);
  if (end != std::string::npos &&
      IsFailedCallResult(std::string_view(text).substr(reply, end - reply))) {
    PassOn(text);
    EndCall();
    return;
  }
  if (OnConnect) OnConnect(this);
  PassOn(text);
}

void TMyComm::PassOn(const std::string& text) {
  if (OnReceiveData)
    OnReceiveData(this, text.c_str(), static_cast<uint16_t>(std::min<size_t>(text.size(), 65535)));
}
