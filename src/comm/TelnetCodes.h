#pragma once
// Telnet command and option bytes, shared by the client and the demo host.

namespace TelnetCode {

inline constexpr unsigned char kIac = 0xFF;
inline constexpr unsigned char kDont = 0xFE;
inline constexpr unsigned char kDo = 0xFD;
inline constexpr unsigned char kWont = 0xFC;
inline constexpr unsigned char kWill = 0xFB;
inline constexpr unsigned char kSb = 0xFA;
inline constexpr unsigned char kSe = 0xF0;

inline constexpr unsigned char kEcho = 1;
inline constexpr unsigned char kSuppressGoAhead = 3;

}  // namespace TelnetCode
