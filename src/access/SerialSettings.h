#pragma once
// The serial modem settings an access entry keeps in its Port text: the port
// name ("COM1" to "COM4", four bytes), the dial method digit ('0' pulse,
// '1' tone), then the three initialisation commands and the line speed, each
// ended by 0x1F. The access entry dialog and the dialler both read it here.

#include <array>
#include <optional>
#include <string>

enum class TDialMethod { Pulse = 0, Tone = 1 };

struct TSerialSettings {
  std::string PortName;
  // Nothing when the digit is missing or neither '0' nor '1'.
  std::optional<TDialMethod> DialMethod;
  std::array<std::string, 3> InitCommands;
  // The speed as text, as the entry dialog lists it; nothing when missing.
  std::optional<std::string> Speed;
};

// Commands missing at the end stay empty; a field without its 0x1F is
// ignored.
TSerialSettings ReadSerialSettings(const std::string& port);
// The Port text; the port name is cut to four bytes, a missing dial method
// is written as tone.
std::string SerialSettingsText(const TSerialSettings& settings);
