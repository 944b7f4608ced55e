#include "comm/TapiLine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <algorithm>
#include <cerrno>
#include <string_view>

#include "comm/SerialDevice.h"
#include "comm/SettingsFile.h"
#include "text/QtCodec.h"

namespace {

constexpr int DialTimeoutMs = 120'000;  // longer than any modem's own wait for carrier

QSettings WombatSettings() {
  return QSettings("Zeb", "Wombat");
}

std::string SettingText(const QSettings& settings, const char* key, const std::string& fallback) {
  return FromQString(settings.value(key, ToQString(fallback)).toString().trimmed());
}

QString CanonicalDevice(const QString& device) {
  const QString canonical = QFileInfo(device).canonicalFilePath();
  return canonical.isEmpty() ? device : canonical;
}

std::vector<TTelephonyLine> ReadListedLines() {
  std::vector<TTelephonyLine> lines;
  QSettings settings = WombatSettings();
  settings.beginGroup("Telephony");
  const int count = settings.beginReadArray("Lines");
  for (int index = 0; index < count; ++index) {
    settings.setArrayIndex(index);
    TTelephonyLine line;
    line.Name = FromQString(settings.value("Name").toString().trimmed());
    line.Device = settings.value("Device").toString().trimmed();
    line.Init = settings.value("Init").toString().trimmed();
    line.Speed = settings.value("Speed", 0).toInt();
    if (line.Name.empty() || line.Device.isEmpty()) continue;
    line.ID = static_cast<int>(lines.size());
    lines.push_back(std::move(line));
  }
  settings.endArray();
  return lines;
}

void AddDevicesFoundIn(const QString& folder, std::vector<TTelephonyLine>& lines) {
  std::vector<QString> used;
  for (const TTelephonyLine& line : lines) used.push_back(CanonicalDevice(line.Device));
  const QFileInfoList devices = QDir(folder).entryInfoList(
      QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo& device : devices) {
    if (std::find(used.begin(), used.end(), CanonicalDevice(device.filePath())) != used.end())
      continue;
    TTelephonyLine line;
    line.ID = static_cast<int>(lines.size());
    line.Name = FromQString(device.fileName());
    line.Device = device.filePath();
    lines.push_back(std::move(line));
  }
}

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

struct TCanonicalParts {
  std::string Country;
  std::string Area;
  std::string Number;
};

std::optional<TCanonicalParts> SplitCanonical(std::string_view address) {
  if (address.empty() || address.front() != '+') return std::nullopt;
  address.remove_prefix(1);
  TCanonicalParts parts;
  const auto countryEnd = address.find_first_not_of("0123456789");
  parts.Country = std::string(address.substr(0, countryEnd));
  if (parts.Country.empty()) return std::nullopt;
  address = Trimmed(countryEnd == std::string_view::npos ? "" : address.substr(countryEnd));
  if (!address.empty() && address.front() == '(') {
    const auto close = address.find(')');
    if (close == std::string_view::npos) return std::nullopt;
    parts.Area = std::string(Trimmed(address.substr(1, close - 1)));
    address = Trimmed(address.substr(close + 1));
  }
  parts.Number = std::string(address);
  return parts;
}

// Separators that people write in numbers but a modem must not dial.
std::string WithoutSeparators(std::string digits) {
  std::erase_if(digits,
                [](char c) { return std::string_view(" -().").find(c) != std::string_view::npos; });
  return digits;
}

}  // namespace

std::vector<TTelephonyLine> ReadTelephonyLines(const QString& byIdFolder) {
  std::vector<TTelephonyLine> lines = ReadListedLines();
  AddDevicesFoundIn(byIdFolder, lines);
  return lines;
}

bool LineUsable(const TTelephonyLine& line) {
  const QByteArray path = QFile::encodeName(line.Device);
  struct stat status {};
  return ::stat(path.constData(), &status) == 0 && S_ISCHR(status.st_mode) &&
         ::access(path.constData(), R_OK | W_OK) == 0;
}

TDialLocation ReadDialLocation() {
  QSettings settings = WombatSettings();
  settings.beginGroup("Location");
  const TDialLocation defaults;
  TDialLocation location;
  location.CountryCode = SettingText(settings, "CountryCode", defaults.CountryCode);
  location.AreaCode = SettingText(settings, "AreaCode", defaults.AreaCode);
  location.LongDistancePrefix =
      SettingText(settings, "LongDistancePrefix", defaults.LongDistancePrefix);
  location.InternationalPrefix =
      SettingText(settings, "InternationalPrefix", defaults.InternationalPrefix);
  location.OutsideLine = SettingText(settings, "OutsideLine", defaults.OutsideLine);
  location.PulseDialing = settings.value("Dialing", "Tone")
                              .toString()
                              .trimmed()
                              .compare("Pulse", Qt::CaseInsensitive) == 0;
  return location;
}

bool WriteDialLocation(const TDialLocation& location) {
  QSettings settings = WombatSettings();
  settings.setValue("Location/CountryCode", ToQString(location.CountryCode));
  settings.setValue("Location/AreaCode", ToQString(location.AreaCode));
  settings.setValue("Location/LongDistancePrefix", ToQString(location.LongDistancePrefix));
  settings.setValue("Location/InternationalPrefix", ToQString(location.InternationalPrefix));
  settings.setValue("Location/OutsideLine", ToQString(location.OutsideLine));
  settings.setValue("Location/Dialing", location.PulseDialing ? "Pulse" : "Tone");
  return SyncSettings(settings);
}

std::optional<TTranslateOutput> TranslateCanonicalAddress(const TDialLocation& location,
                                                          const std::string& canonical) {
  const std::optional<TCanonicalParts> parts = SplitCanonical(canonical);
  if (!parts) return std::nullopt;
  std::string number;
  if (parts->Country != location.CountryCode)
    number = location.InternationalPrefix + parts->Country + parts->Area + parts->Number;
  else if (!parts->Area.empty() && parts->Area != location.AreaCode)
    number = location.LongDistancePrefix + parts->Area + parts->Number;
  else
    number = parts->Number;
  std::string displayable = WithoutSeparators(number);
  if (!location.OutsideLine.empty()) displayable = location.OutsideLine + "," + displayable;
  const std::string modifier = location.PulseDialing ? "P" : "T";
  return TTranslateOutput{modifier + displayable, displayable};
}

TModemCall::TModemCall(const TTelephonyLine& line, QObject* context)
    : FLine(line), FContext(context) {
  FDialTimeout.setSingleShot(true);
  FDialTimeout.setInterval(DialTimeoutMs);
  connect(&FDialTimeout, &QTimer::timeout, this,
          [this] { Disconnected(TDisconnectMode::NoAnswer); });
}

TModemCall::~TModemCall() {
  StopReading();
  if (FPort >= 0) ::close(FPort);
}

bool TModemCall::Dial(const std::string& dialable) {
  FPort = OpenSerialDevice(FLine.Device, TCarrierLoss::HangsUp, FLine.Speed);
  if (FPort < 0) return false;
  FDialable = dialable;
  FNotifier = std::make_unique<QSocketNotifier>(FPort, QSocketNotifier::Read);
  connect(FNotifier.get(), &QSocketNotifier::activated, this, &TModemCall::ReadResults);
  FDialTimeout.start();
  if (!FLine.Init.isEmpty()) {
    FPhase = TPhase::Init;
    return Send(FromQString(FLine.Init));
  }
  FPhase = TPhase::Dialing;
  return Send("ATD" + FDialable);
}

int TModemCall::PortDescriptor() const {
  if (FPhase != TPhase::Connected || FPort < 0) return -1;
  return ::fcntl(FPort, F_DUPFD_CLOEXEC, 0);
}

void TModemCall::Drop() {
  if (FPhase == TPhase::Init || FPhase == TPhase::Dialing) Send("");  // any key aborts a dial
  StopReading();
  if (FPort >= 0) ::close(FPort);
  FPort = -1;
  FPhase = TPhase::Ended;
  FDropped = true;
  PostState(TCallState::Idle);
}

bool TModemCall::Send(const std::string& command) {
  const std::string line = command + "\r";
  std::string_view left = line;
  while (!left.empty()) {
    const ssize_t written = ::write(FPort, left.data(), left.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    left.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Reads byte by byte while dialling, so that nothing the host sends after the
// CONNECT line is taken from the port threads.
void TModemCall::ReadResults() {
  while (FPhase == TPhase::Init || FPhase == TPhase::Dialing) {
    char byte;
    const ssize_t got = ::read(FPort, &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EAGAIN) return;
    if (got <= 0) return Disconnected(TDisconnectMode::Normal);  // the device or modem is gone
    FResultLine += byte == '\n' ? '\r' : byte;
    if (const std::optional<std::string> line = TakeModemLine(FResultLine))
      HandleResult(ModemResult(*line));
  }
}

void TModemCall::HandleResult(TModemResult result) {
  if (FPhase == TPhase::Init) {
    if (result == TModemResult::Ok) {
      FPhase = TPhase::Dialing;
      if (!Send("ATD" + FDialable)) Disconnected(TDisconnectMode::Unavailable);
    } else if (result == TModemResult::Error) {
      Disconnected(TDisconnectMode::Unavailable);
    }
    return;
  }
  switch (result) {
    case TModemResult::Connect:
      FPhase = TPhase::Connected;
      StopReading();
      PostState(TCallState::Connected);
      return;
    case TModemResult::Busy:
      return Disconnected(TDisconnectMode::Busy);
    case TModemResult::NoDialtone:
      return Disconnected(TDisconnectMode::NoDialtone);
    case TModemResult::NoAnswer:
      return Disconnected(TDisconnectMode::NoAnswer);
    case TModemResult::Error:
      return Disconnected(TDisconnectMode::Unavailable);
    case TModemResult::NoCarrier:
      return Disconnected(TDisconnectMode::Normal);
    case TModemResult::Ok:
    case TModemResult::Other:
      return;
  }
}

void TModemCall::Disconnected(TDisconnectMode mode) {
  FPhase = TPhase::Ended;
  StopReading();
  PostState(TCallState::Disconnected, mode);
}

void TModemCall::PostState(TCallState state, TDisconnectMode mode) {
  QMetaObject::invokeMethod(
      FContext,
      [call = QPointer<TModemCall>(this), state, mode] {
        // A state that was on its way when the call was dropped is stale.
        if (!call || (call->FDropped && state != TCallState::Idle) || !call->OnCallState) return;
        const auto handler = call->OnCallState;  // the handler may delete the call
        handler(call, state, mode);
      },
      Qt::QueuedConnection);
}

void TModemCall::StopReading() {
  FDialTimeout.stop();
  FNotifier.reset();
}
