#pragma once
// What every serial transport shares: the device a port name stands for, the
// line speeds a device offers, opening a device raw, and reading the result
// lines by which a modem answers its commands.

#include <termios.h>

#include <QString>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The number n of a port name "COMn"; 0 for any other name.
int ComPortNumber(const QString& portName);

// The device path for a port name: "COMn" goes through settings section
// "Comm" (ident "COMn", default /dev/ttyS<n-1>); a path beginning with "/" is
// taken as it is. Anything else gives "".
QString SerialDevicePath(const QString& portName);

// The terminal's code for a line speed in bit/s; nothing for a speed the
// platform does not offer.
std::optional<speed_t> SpeedCode(int bitsPerSecond);

// Whether a loss of carrier hangs the line up (reads then end, which a
// reader takes for the end of the call) or is only seen in the modem status.
enum class TCarrierLoss { Watched, HangsUp };

// Opens a terminal device for exclusive use: non-blocking, raw 8 bits, the
// receiver on, a read returning as soon as one byte is there, DTR dropped on
// the last close. `speed` 0 keeps the device's speed. -1 when the device is
// missing, is no terminal, or another program holds it.
int OpenSerialDevice(const QString& path, TCarrierLoss carrierLoss, int speed = 0);

// Closes a device opened by OpenSerialDevice without waiting: at once when
// nothing waits to go out (or `discard` is set, for a line that is gone);
// otherwise `rest` and the device's own queue go out in the background for at
// most a second, what is left is discarded, and then DTR drops and the device
// is closed. Until then SerialDeviceClosing tells that the device is busy.
void CloseSerialDevice(int fd, std::string rest = {}, bool discard = false);
bool SerialDeviceClosing(const QString& path);

// The verbose result codes of a Hayes modem. CONNECT may carry a speed or
// protocol after it ("CONNECT 9600/ARQ").
enum class TModemResult { Other, Ok, Connect, Busy, NoCarrier, NoDialtone, NoAnswer, Error };
TModemResult ModemResult(std::string_view line);
// BUSY, NO CARRIER, NO DIALTONE, NO ANSWER and ERROR: the call did not come up.
bool CallFailed(TModemResult result);

// Result lines are short; a modem that sends this much without a CR is cut
// there, so that it cannot fill memory.
inline constexpr std::size_t kModemLineLimit = 256;

// Takes the next line out of `buffer`: the bytes before the first CR (the CR
// is removed with them), or the first kModemLineLimit bytes when that many
// wait without a CR. Nothing while only a shorter partial line waits.
std::optional<std::string> TakeModemLine(std::string& buffer);
