#include "comm/TapiTerm.h"

#include <unistd.h>

#include <algorithm>

#include "comm/SerialDevice.h"
#include "text/QtCodec.h"

int TModemList::IndexOfID(int ID) const {
  const auto item = std::find_if(FItems.begin(), FItems.end(),
                                 [ID](const auto& entry) { return entry.second == ID; });
  return item == FItems.end() ? -1 : static_cast<int>(item - FItems.begin());
}

int TModemList::MaxID() const {
  int largest = -1;
  for (const auto& [name, id] : FItems) largest = std::max(largest, id);
  return largest;
}

void TModemList::AddLine(int ID, const std::string& Name) {
  const int index = IndexOfID(ID);
  if (index < 0)
    FItems.emplace_back(Name, ID);
  else
    FItems[index] = {Name, ID};
}

TModemLine TModemList::LineByID(int ID) const {
  const int index = IndexOfID(ID);
  if (index < 0) return {};
  return {FItems[index].first, ID};
}

int TModemList::IndexOfName(const std::string& Name) const {
  const auto item = std::find_if(FItems.begin(), FItems.end(),
                                 [&Name](const auto& entry) { return entry.first == Name; });
  return item == FItems.end() ? -1 : static_cast<int>(item - FItems.begin());
}

TTapiTerminal::TTapiTerminal(QObject* parent, const QString& deviceFolder)
    : TTapiPort(parent), FLines(ReadTelephonyLines(deviceFolder)) {
  for (const TTelephonyLine& line : FLines)
    if (LineUsable(line)) FModems.AddLine(line.ID, line.Name);
}

TTapiTerminal::~TTapiTerminal() {
  StopComm();
}

void TTapiTerminal::SetPhoneNumber(const std::string& Value) {
  FPhoneNumber = Value;
  TranslateAddress();
}

void TTapiTerminal::SetCityCode(const std::string& Value) {
  FCityCode = Value;
  TranslateAddress();
}

void TTapiTerminal::SetCountryCode(const std::string& Value) {
  FCountryCode = Value;
  TranslateAddress();
}

std::string TTapiTerminal::ModemName() const {
  return FModems.LineByID(FDeviceID).Name;
}

void TTapiTerminal::SetModemName(const std::string& Value) {
  const int index = FModems.IndexOfName(Value);
  FDeviceID = index < 0 ? -1 : FModems.IDs(index);
}

void TTapiTerminal::GetModemNames(std::vector<std::string>& Names) const {
  Names.clear();
  for (int id = 0; id <= FModems.MaxID(); ++id) {
    const int index = FModems.IndexOfID(id);
    if (index >= 0) Names.push_back(FModems.Names(index));
  }
}

std::string TTapiTerminal::GetCanonicalAddress() const {
  const TDialLocation location = ReadDialLocation();
  const std::string& country = FCountryCode.empty() ? location.CountryCode : FCountryCode;
  const std::string& area = FCityCode.empty() ? location.AreaCode : FCityCode;
  return "+" + country + " (" + area + ") " + FPhoneNumber;
}

std::optional<TTranslateOutput> TTapiTerminal::Translate() {
  FCanonicalAddress = GetCanonicalAddress();
  std::optional<TTranslateOutput> output =
      TranslateCanonicalAddress(ReadDialLocation(), FCanonicalAddress);
  if (output) {
    FDialableAddress = output->DialableAddress;
    FDisplayableAddress = output->DisplayableAddress;
  }
  return output;
}

void TTapiTerminal::TranslateAddress() {
  Translate();
}

void TTapiTerminal::TranslateDialog() {
  FCanonicalAddress = GetCanonicalAddress();
  if (OnTranslateDialog) OnTranslateDialog(FCanonicalAddress);
  TranslateAddress();  // the location may have changed
}

const TTelephonyLine* TTapiTerminal::LineOf(int deviceID) const {
  const auto line = std::find_if(FLines.begin(), FLines.end(),
                                 [deviceID](const TTelephonyLine& l) { return l.ID == deviceID; });
  return line == FLines.end() ? nullptr : &*line;
}

void TTapiTerminal::MakeCall() {
  if (FPhoneNumber.empty() || FDeviceID == -1) return;
  if (FCall || PortAttached()) {  // one call at a time
    HangUp();
    FCall.reset();
  }
  const bool direct = FPhoneNumber.find("COM") != std::string::npos;
  const TTelephonyLine* line = LineOf(FDeviceID);
  if (!line || !LineUsable(*line)) {
    Event("TAPIの初期化に失敗しました");
    if (!direct) return;  // nothing to call on: one reason is enough
  }
  if (direct)
    OpenDirectPort(FPhoneNumber);
  else
    PlaceCall(*line);
}

void TTapiTerminal::PlaceCall(const TTelephonyLine& line) {
  // An address that does not translate must not dial the previous one.
  const bool translated = Translate().has_value();
  auto call = std::make_unique<TModemCall>(line, this);
  if (!translated || !call->Dial(FDialableAddress)) {
    Event("接続できませんでした");
    return;
  }
  call->OnCallState = [this](TModemCall* c, TCallState state, TDisconnectMode mode) {
    LineCallState(c, state, mode);
  };
  FCall = std::move(call);
}

void TTapiTerminal::OpenDirectPort(const std::string& portName) {
  const int port =
      OpenSerialDevice(SerialDevicePath(ToQString(portName).trimmed()), TCarrierLoss::HangsUp);
  if (port < 0) {
    Event("直接制御ができませんでした");
    return;
  }
  if (!StartPort(port)) {
    HangUp();
    Event("回線が確立できませんでした");
  }
}

void TTapiTerminal::LineCallState(TModemCall* call, TCallState state, TDisconnectMode mode) {
  if (call != FCall.get()) return;
  switch (state) {
    case TCallState::Idle:
      FCall.reset();
      break;
    case TCallState::Connected:
      // A call whose port could not be taken has been reported and hung up.
      if (ConnectPort() && OnConnect) OnConnect(this);
      break;
    case TCallState::Disconnected:
      if (OnDisconnect) OnDisconnect(this);
      if (mode == TDisconnectMode::Busy) Event("回線がビジーです");
      HangUp();
      break;
  }
}

bool TTapiTerminal::ConnectPort() {
  const int port = FCall->PortDescriptor();
  if (port < 0) {
    Event("Line IDが取得できませんでした");
    HangUp();
    return false;
  }
  if (!StartPort(port)) {
    HangUp();
    Event("回線が確立できませんでした");
    return false;
  }
  return true;
}

// Starts the port threads on `port`; on failure closes it.
bool TTapiTerminal::StartPort(int port) {
  try {
    if (StartComm(port)) return true;
  } catch (const ECommsError&) {
  }
  ::close(port);
  return false;
}

void TTapiTerminal::HangUp() {
  StopComm();
  if (FCall) FCall->Drop();
}

void TTapiTerminal::Event(const QString& message) {
  if (OnEvent) OnEvent(this, message);
}
