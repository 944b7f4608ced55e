#include "comm/ModemTransports.h"

#include <limits>

#include "access/SerialSettings.h"
#include "comm/MyComm.h"
#include "comm/SerialDevice.h"
#include "comm/TapiTerm.h"
#include "text/QtCodec.h"

namespace {

constexpr int kSlowestSpeed = 2400;
constexpr int kFastestSpeed = 115200;
constexpr int kLastSerialPort = 4;
const QString kNoConnection = QStringLiteral("接続できませんでした");

// The port number of "COM1" to "COM4"; 0 for any other text.
int SerialPortNumber(const std::string& portText) {
  const int port = ComPortNumber(ToQString(ShownPort(portText)));
  return port <= kLastSerialPort ? port : 0;
}

// A whole number from 2400 to 115200 is the line speed; anything else, 115200.
int SerialSpeed(const std::string& field) {
  bool isNumber = false;
  const int speed = ToQString(field).trimmed().toInt(&isNumber);
  return isNumber && speed >= kSlowestSpeed && speed <= kFastestSpeed ? speed : kFastestSpeed;
}

}  // namespace

TSerialModemTransport::TSerialModemTransport(QObject* parent)
    : TQueuedTransport(parent), FModem(new TMyComm(this)) {
  FModem->OnConnect = [this](QObject*) {
    FUp = true;
    RaiseUp();
  };
  FModem->OnDisconnect = [this](QObject*) { Dropped(); };
  // The text is copied at once: the buffer lives only during the event.
  FModem->OnReceiveData = [this](QObject*, const char* buffer, uint16_t) {
    RaiseBlock(std::string(buffer));
  };
  FModem->OnMessage = [this](const QString& text) {
    if (OnMessage) OnMessage(text);
  };
}

// Dials the entry's number with the entry's dial method, initialisation
// commands and line speed. A port that cannot be opened shows its reason in
// the status line.
bool TSerialModemTransport::Open(const TAPData& entry) {
  FModem->SetPhoneNumber(entry.HostName);
  const int port = SerialPortNumber(entry.Port);
  if (port == 0) {
    if (OnMessage) OnMessage("正しいCOMポートを選択してください。");
    return false;
  }
  FModem->SetPort(port);
  const TSerialSettings settings = ReadSerialSettings(entry.Port);
  FModem->SetDialOperate(settings.DialMethod == TDialMethod::Pulse ? doPulse : doTone);
  FModem->InitCommands.clear();
  for (const std::string& command : settings.InitCommands)
    if (!command.empty()) FModem->InitCommands.push_back(command);
  FModem->SetBaudRate(SerialSpeed(settings.Speed.value_or("")));
  ForgetHeld();
  FUp = false;
  if (OnNotice) OnNotice(ToQString(FModem->PhoneNumber()) + "へ接続しています");
  try {
    FModem->Dial();
  } catch (const std::exception& error) {
    if (OnNotice) OnNotice(QString::fromUtf8(error.what()));
    return false;
  }
  FActive = true;
  return true;
}

// The line is given up whether or not the modem hangs up cleanly, so an error
// of the hang-up itself is of no further use. The modem's own disconnect
// event during the hang-up finds no call left to end.
void TSerialModemTransport::Close() {
  FActive = false;
  ForgetHeld();
  try {
    FModem->HangUp();
  } catch (const std::exception&) {
  }
}

// A port that fails to write shows why.
bool TSerialModemTransport::Send(const std::string& text) {
  RunShowingErrors([&] { FModem->WriteString(text); });
  return true;
}

void TSerialModemTransport::SendBreak() {
  RunShowingErrors([this] { FModem->SendBreak(); });
}

bool TSerialModemTransport::Dialling() const {
  return FModem->DialState() != 0;
}

// A call that never came up ends with the modem's refusal, or a general reason.
void TSerialModemTransport::Dropped() {
  if (!std::exchange(FActive, false)) return;
  const std::string& refusal = FModem->DialFailure();
  const QString reason = FUp ? QString() : refusal.empty() ? kNoConnection : ToQString(refusal);
  RaiseDown({TDownCause::Ended, reason});
}

TTelephonyModemTransport::TTelephonyModemTransport(QObject* parent)
    : TQueuedTransport(parent), FTerminal(new TTapiTerminal(this)) {
  FTerminal->OnConnect = [this](QObject*) {
    if (!FActive) return;
    FUp = true;
    RaiseUp();
  };
  FTerminal->OnDisconnect = [this](QObject*) { Ended(FUp ? QString() : kNoConnection); };
  // A port thread failed: the call is dropped.
  FTerminal->OnRequestHangup = [this](QObject*) {
    FTerminal->HangUp();
    Ended({});
  };
  FTerminal->OnEvent = [this](QObject*, const QString& message) { Event(message); };
  FTerminal->OnReceiveData = [this](const char* buffer, uint16_t) {
    RaiseBlock(std::string(buffer));
  };
}

// A call that cannot start reports so while it is placed, which has ended
// the attempt already.
bool TTelephonyModemTransport::Open(const TAPData& entry) {
  FTerminal->SetPhoneNumber(entry.HostName);
  FTerminal->SetCityCode(entry.CityCode);
  FTerminal->SetCountryCode(entry.CountryCode);
  FTerminal->SetModemName(entry.Port);
  if (FTerminal->DeviceID() == -1) {
    if (OnMessage) OnMessage("正しいモデムを選択してください。");
    return false;
  }
  FTerminal->TranslateAddress();
  ForgetHeld();
  FUp = false;
  FActive = true;
  if (OnNotice) OnNotice(ToQString(FTerminal->DisplayableAddress()) + "へ接続しています");
  try {
    FTerminal->MakeCall();
  } catch (const std::exception& error) {
    FActive = false;
    if (OnNotice) OnNotice(QString::fromUtf8(error.what()));
  }
  return FActive;
}

void TTelephonyModemTransport::Close() {
  FActive = false;
  ForgetHeld();
  try {
    FTerminal->HangUp();
  } catch (const std::exception&) {
  }
}

// One write carries at most 65535 bytes; a longer text is refused whole.
bool TTelephonyModemTransport::Send(const std::string& text) {
  if (text.size() > std::numeric_limits<uint16_t>::max()) {
    if (OnMessage) OnMessage("Range check error");
    return true;
  }
  FTerminal->Write(text.data(), static_cast<uint16_t>(text.size()));
  return true;
}

void TTelephonyModemTransport::SendBreak() {
  RunShowingErrors([this] { FTerminal->SendBreak(); });
}

// A telephony message ends an attempt that has not come up, with the message
// as its reason; otherwise (after a busy line has ended the attempt, say) it
// is only shown.
void TTelephonyModemTransport::Event(const QString& message) {
  if (FActive && !FUp) {
    FTerminal->HangUp();
    Ended(message);
    return;
  }
  RaiseNotice(message);
}

void TTelephonyModemTransport::Ended(const QString& reason) {
  if (!std::exchange(FActive, false)) return;
  RaiseDown({TDownCause::Ended, reason});
}
