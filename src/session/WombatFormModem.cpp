// The two modem transports of the main window: the serial modem dialled with
// AT commands on a "COM" port, and the telephony modem chosen by name. Both
// report their connection through the same handlers as telnet, pass their
// received text into the receive road and end the connection when the line
// drops.
#include <QLabel>
#include <QLineEdit>
#include <functional>
#include <limits>
#include <utility>

#include "access/DialProperties.h"
#include "access/SerialSettings.h"
#include "comm/MyComm.h"
#include "comm/SerialDevice.h"
#include "comm/TapiTerm.h"
#include "session/WombatForm.h"
#include "text/QtCodec.h"
#include "view/PlatformUi.h"

namespace {

constexpr int kSlowestSpeed = 2400;
constexpr int kFastestSpeed = 115200;
constexpr int kLastSerialPort = 4;

// The port number of "COM1" to "COM4"; 0 for any other text.
int SerialPortNumber(const QString& portText) {
  const int port = ComPortNumber(portText);
  return port <= kLastSerialPort ? port : 0;
}

// A whole number from 2400 to 115200 is the line speed; anything else, 115200.
int SerialSpeed(const std::string& field) {
  bool isNumber = false;
  const int speed = ToQString(field).trimmed().toInt(&isNumber);
  return isNumber && speed >= kSlowestSpeed && speed <= kFastestSpeed ? speed : kFastestSpeed;
}

// Shows the number being called and starts the call; a call that cannot
// start shows its reason in the status line instead.
bool StartCall(QLabel* status, const QString& number, const std::function<void()>& call) {
  status->setText(number + "へ接続しています");
  try {
    call();
  } catch (const std::exception& error) {
    status->setText(QString::fromUtf8(error.what()));
    return false;
  }
  return true;
}

void ShowError(const std::exception& error) {
  PlatformUi().ShowMessage(QString::fromUtf8(error.what()));
}

}  // namespace

// The modems' connect and disconnect events wait for a pause to end, as the
// telnet client's do; an event of a modem that no longer carries the
// connection is dropped.
void TWombatForm::CreateModemParts() {
  MyComm1 = new TMyComm(this);
  MyComm1->OnConnect = [this](QObject*) { WhenNotPaused([this] { TCPClient1Connect(); }); };
  MyComm1->OnDisconnect = [this](QObject*) {
    WhenNotPaused([this] {
      if (FConnectKind == kSerialModem) ModemLineDropped(MyComm1->DialFailure());
    });
  };
  MyComm1->OnReceiveData = [this](QObject*, const char* buffer, uint16_t) {
    MyComm1ReceiveData(buffer);
  };
  MyComm1->OnMessage = [](const QString& text) { PlatformUi().ShowMessage(text); };

  TAPI = new TTapiTerminal(this);
  TAPI->OnConnect = [this](QObject*) { WhenNotPaused([this] { TCPClient1Connect(); }); };
  TAPI->OnDisconnect = [this](QObject*) {
    WhenNotPaused([this] {
      if (FConnectKind == kTelephonyModem) TAPIDisconnect();
    });
  };
  TAPI->OnRequestHangup = [this](QObject*) {
    WhenNotPaused([this] {
      if (FConnectKind == kTelephonyModem) TAPIRequestHangup();
    });
  };
  TAPI->OnEvent = [this](QObject*, const QString& message) {
    WhenNotPaused([this, message] { TAPIEvent(message); });
  };
  TAPI->OnReceiveData = [this](const char* buffer, uint16_t) { TAPIReceiveData(buffer); };
  TAPI->OnTranslateDialog = [this](const std::string& canonical) {
    TDialPropertiesForm(canonical, this).exec();
  };
}

// Dials the entry's number on "COM1" to "COM4" with the entry's dial method,
// initialisation commands and line speed. A port that cannot be opened shows
// its reason in the status line.
bool TWombatForm::StartSerialModem() {
  MyComm1->SetPhoneNumber(FromQString(HostEdit->text()));
  const int port = SerialPortNumber(PortEdit->text());
  if (port == 0) {
    PlatformUi().ShowMessage("正しいCOMポートを選択してください。");
    return false;
  }
  MyComm1->SetPort(port);
  const TSerialSettings settings = ReadSerialSettings(FCurrentEntry.Port);
  MyComm1->SetDialOperate(settings.DialMethod == TDialMethod::Pulse ? doPulse : doTone);
  MyComm1->InitCommands.clear();
  for (const std::string& command : settings.InitCommands)
    if (!command.empty()) MyComm1->InitCommands.push_back(command);
  MyComm1->SetBaudRate(SerialSpeed(settings.Speed.value_or("")));
  return StartCall(StatusPanel, ToQString(MyComm1->PhoneNumber()), [this] { MyComm1->Dial(); });
}

// Calls the entry's number through the telephony modem named by the port
// text. A call that cannot start reports so while it is placed, which has
// ended the attempt already.
bool TWombatForm::StartTelephonyModem() {
  TAPI->SetPhoneNumber(FromQString(HostEdit->text()));
  TAPI->SetCityCode(FCurrentEntry.CityCode);
  TAPI->SetCountryCode(FCurrentEntry.CountryCode);
  TAPI->SetModemName(FromQString(PortEdit->text()));
  if (TAPI->DeviceID() == -1) {
    PlatformUi().ShowMessage("正しいモデムを選択してください。");
    return false;
  }
  TAPI->TranslateAddress();
  return StartCall(StatusPanel, ToQString(TAPI->DisplayableAddress()),
                   [this] { TAPI->MakeCall(); }) &&
         FConnectKind == kTelephonyModem;
}

// While the serial modem still sends its commands or dials, what arrives are
// its responses, not the host's prompts.
bool TWombatForm::ModemDialling() const {
  return FConnectKind == kSerialModem && MyComm1->DialState() != 0;
}

// The text is copied at once: the buffer lives only during the event, and a
// running pause holds its handling back.
void TWombatForm::MyComm1ReceiveData(const char* buffer) {
  WhenNotPaused([this, block = std::string(buffer)] { ReceiveBlock(block); });
}

void TWombatForm::TAPIReceiveData(const char* buffer) {
  WhenNotPaused([this, block = std::string(buffer)] { ReceiveBlock(block); });
}

void TWombatForm::TAPIDisconnect() {
  ModemLineDropped(std::string());
}

// The modem's line dropped: a connection ends; an attempt that never came up
// ends with the modem's refusal (or a general reason) in the status line.
void TWombatForm::ModemLineDropped(const std::string& refusal) {
  if (FConnectTime.isValid())
    ConnectionClosed();
  else
    EndModemAttempt(refusal.empty() ? QString("接続できませんでした") : ToQString(refusal));
}

void TWombatForm::EndModemAttempt(const QString& reason) {
  StatusPanel->setText(reason);
  EndFailedAttempt();
}

// A telephony message ends an attempt that has not come up, and is shown in
// the status line; after a busy line has ended the attempt it only shows.
void TWombatForm::TAPIEvent(const QString& message) {
  if (FConnectKind == kTelephonyModem && !FConnectTime.isValid()) {
    TAPI->HangUp();
    EndModemAttempt(message);
  } else if (FConnectKind == kNoConnection) {
    StatusPanel->setText(message);
  }
}

// A port thread failed: the call is dropped and the connection ends.
void TWombatForm::TAPIRequestHangup() {
  TAPI->HangUp();
  ConnectionClosed();
}

// One write carries at most 65535 bytes; a longer text is refused whole.
void TWombatForm::SendToTelephonyModem(const std::string& text) {
  if (text.size() > std::numeric_limits<uint16_t>::max()) {
    PlatformUi().ShowMessage("Range check error");
    return;
  }
  TAPI->Write(text.data(), static_cast<uint16_t>(text.size()));
}

// Sends through a modem; a port that fails to write shows why.
void TWombatForm::SendToModem(const std::string& text) {
  try {
    if (FConnectKind == kSerialModem) MyComm1->WriteString(text);
    if (FConnectKind == kTelephonyModem) SendToTelephonyModem(text);
  } catch (const std::exception& error) {
    ShowError(error);
  }
}

// The line is given up whether or not the modem hangs up cleanly, so an
// error of the hang-up itself is of no further use. The disconnect command
// ends the connection itself: the modem's own disconnect event during the
// hang-up finds no connection left to end.
void TWombatForm::HangUpModem() {
  const int kind = std::exchange(FConnectKind, kNoConnection);
  try {
    if (kind == kSerialModem) MyComm1->HangUp();
    if (kind == kTelephonyModem) TAPI->HangUp();
  } catch (const std::exception&) {
  }
}

void TWombatForm::SendBreakToModem() {
  try {
    if (FConnectKind == kSerialModem) MyComm1->SendBreak();
    if (FConnectKind == kTelephonyModem) TAPI->SendBreak();
  } catch (const std::exception& error) {
    ShowError(error);
  }
}
