#include "access/SerialSettings.h"

#include <utility>

namespace {

constexpr char kFieldEnd = 0x1F;
constexpr std::size_t kPortNameSize = 4;
constexpr std::size_t kFieldsStart = kPortNameSize + 1;

}  // namespace

TSerialSettings ReadSerialSettings(const std::string& port) {
  TSerialSettings settings;
  settings.PortName = port.substr(0, kPortNameSize);
  if (port.size() > kPortNameSize && (port[kPortNameSize] == '0' || port[kPortNameSize] == '1'))
    settings.DialMethod = static_cast<TDialMethod>(port[kPortNameSize] - '0');
  std::size_t start = kFieldsStart;
  // The next field, or nothing when it is missing or not ended.
  auto nextField = [&]() -> std::optional<std::string> {
    if (start >= port.size()) return std::nullopt;
    const std::size_t end = port.find(kFieldEnd, start);
    if (end == std::string::npos) return std::nullopt;
    std::string field = port.substr(start, end - start);
    start = end + 1;
    return field;
  };
  for (std::string& command : settings.InitCommands) {
    std::optional<std::string> field = nextField();
    if (!field) return settings;
    command = std::move(*field);
  }
  settings.Speed = nextField();
  return settings;
}

std::string SerialSettingsText(const TSerialSettings& settings) {
  std::string port = settings.PortName.substr(0, kPortNameSize);
  port += settings.DialMethod == TDialMethod::Pulse ? '0' : '1';
  for (const std::string& command : settings.InitCommands) port += command + kFieldEnd;
  port += settings.Speed.value_or("") + kFieldEnd;
  return port;
}
