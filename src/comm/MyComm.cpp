#include "comm/MyComm.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "comm/SerialDevice.h"
#include "text/QtCodec.h"

namespace {

constexpr unsigned EV_RLSD = 0x20;
constexpr int kPauseBeforeAtMs = 1000;

}  // namespace

TMyComm::TMyComm(QObject* parent) : TComm(parent) {
  SetEventMask({evRlsd});
  FStartTimer.setSingleShot(true);
  connect(&FStartTimer, &QTimer::timeout, this, [this] { SendFirstCommand(); });
}

// The modem is given a second after the port opens; the caller goes on
// meanwhile, and what the modem sends waits for the first command.
void TMyComm::Dial() {
  if (FPhoneNumber.empty()) {
    ShowMessage(QStringLiteral("電話番号が入力されていません。"));
    return;
  }
  FCommands.assign(InitCommands.begin(), InitCommands.end());
  if (FCommands.empty()) FCommands.push_back("ATZ");
  // A partial line left by an earlier call would spoil the first reply.
  FLineBuffer.clear();
  FDialFailure.clear();
  Open();
  FDialState = 1;
  FActive = true;
  FDialling = false;
  FStartTimer.start(kPauseBeforeAtMs);
}

// A port that fails now ends the call with the failure as its reason.
void TMyComm::SendFirstCommand() {
  try {
    WriteString("AT\r");
  } catch (const ECommError& error) {
    FDialFailure = FromQString(error.Message());
    EndCall();
    return;
  }
  ModemLines();
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
  FStartTimer.stop();
  FDialling = false;
  FDialState = 0;
  FActive = false;
  Close();
  if (wasActive && OnDisconnect) OnDisconnect(this);
}

void TMyComm::CommEvent(unsigned bits) {
  TComm::CommEvent(bits);
  // A rising carrier needs nothing: the CONNECT line raises OnConnect. A carrier lost once the number is dialled, or a
  // vanished line at any time, ends the call; before dialling the carrier
  // means nothing (a modem reset may drop it).
  const bool dialled = FActive && FDialState == 0;
  if ((bits & EV_RLSD) && !RlsdState() && (dialled || (FActive && LineLost()))) EndCall();
}

// Until the call is decided the modem's replies are taken line by line;
// after that the received text goes to the owner as it comes.
void TMyComm::CommReceive() {
  const std::string text = ReceiveText();
  if (FDialState == 0 && !FDialling) {
    PassOn(text);
    return;
  }
  FLineBuffer += text;
  if (!FStartTimer.isActive()) ModemLines();
}

std::string TMyComm::ReceiveText() {
  const int waiting = std::min(InQueueCount(), 65535);
  if (waiting < 1) return {};
  std::string text(static_cast<size_t>(waiting), '\0');
  text.resize(static_cast<size_t>(Read(text.data(), waiting)));
  std::erase_if(text, [](char c) { return c == '\0' || c == '\n'; });
  return text;
}

void TMyComm::ModemLines() {
  while (FDialState != 0 || FDialling) {
    const std::optional<std::string> line = TakeModemLine(FLineBuffer);
    if (!line) return;
    if (FDialState != 0)
      CommandReply(*line);
    else
      DialReply(*line);
  }
  // The call is up: what follows the CONNECT line is the host's.
  if (FActive && !FLineBuffer.empty()) PassOn(std::exchange(FLineBuffer, {}));
}

// Each line of the modem other than the echo of the command (or an empty
// one) sends the next command, the dial command last.
void TMyComm::CommandReply(const std::string& line) {
  if (line.empty()) return;
  PassOn(line + '\r');
  if (line.starts_with("AT") && FDialState == 1)
    FDialState = 2;
  else
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

// The first CONNECT or failure result after the dial command decides the
// call; its echo (however the modem splits it) and other lines only show.
void TMyComm::DialReply(const std::string& line) {
  const TModemResult result = ModemResult(line);
  if (result == TModemResult::Connect) {
    FDialling = false;
    if (OnConnect) OnConnect(this);
  }
  if (!line.empty()) PassOn(line + '\r');
  if (FDialling && CallFailed(result)) {
    FDialFailure = line;
    EndCall();
  }
}

void TMyComm::PassOn(const std::string& text) {
  if (OnReceiveData)
    OnReceiveData(this, text.c_str(), static_cast<uint16_t>(std::min<size_t>(text.size(), 65535)));
}
