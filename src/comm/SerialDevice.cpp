#include "comm/SerialDevice.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <algorithm>
#include <iterator>

namespace {

constexpr struct {
  int rate;
  speed_t code;
} kSpeeds[] = {{50, B50},         {75, B75},         {110, B110},        {134, B134},
               {150, B150},       {200, B200},       {300, B300},        {600, B600},
               {1200, B1200},     {1800, B1800},     {2400, B2400},      {4800, B4800},
               {9600, B9600},     {19200, B19200},   {38400, B38400},    {57600, B57600},
               {115200, B115200}, {230400, B230400}, {460800, B460800},  {500000, B500000},
               {576000, B576000}, {921600, B921600}, {1000000, B1000000}};

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void MakeRaw(int fd, TCarrierLoss carrierLoss, int speed) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return;
  cfmakeraw(&settings);
  settings.c_cflag |= CREAD | HUPCL;
  if (carrierLoss == TCarrierLoss::Watched)
    settings.c_cflag |= CLOCAL;
  else
    settings.c_cflag &= ~CLOCAL;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  if (const std::optional<speed_t> code = SpeedCode(speed)) cfsetspeed(&settings, *code);
  tcsetattr(fd, TCSANOW, &settings);
}

}  // namespace

int ComPortNumber(const QString& portName) {
  static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]{0,2})$"));
  const auto match = comName.match(portName);
  return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QString SerialDevicePath(const QString& portName) {
  if (const int number = ComPortNumber(portName); number > 0) {
    QSettings settings(QStringLiteral("Zeb"), QStringLiteral("Wombat"));
    return settings
        .value(QStringLiteral("Comm/COM%1").arg(number),
               QStringLiteral("/dev/ttyS%1").arg(number - 1))
        .toString();
  }
  return portName.startsWith(QLatin1Char('/')) ? portName : QString();
}

std::optional<speed_t> SpeedCode(int bitsPerSecond) {
  const auto speed =
      std::find_if(std::begin(kSpeeds), std::end(kSpeeds),
                   [bitsPerSecond](const auto& entry) { return entry.rate == bitsPerSecond; });
  if (speed == std::end(kSpeeds)) return std::nullopt;
  return speed->code;
}

int OpenSerialDevice(const QString& path, TCarrierLoss carrierLoss, int speed) {
  if (path.isEmpty()) return -1;
  const int fd =
      ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  // A port that another program holds (by lock or exclusive mode) is refused.
  if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  MakeRaw(fd, carrierLoss, speed);
  return fd;
}

TModemResult ModemResult(std::string_view line) {
  line = Trimmed(line);
  if (line.starts_with("CONNECT")) return TModemResult::Connect;
  static constexpr std::pair<std::string_view, TModemResult> kResults[] = {
      {"OK", TModemResult::Ok},
      {"BUSY", TModemResult::Busy},
      {"NO CARRIER", TModemResult::NoCarrier},
      {"NO DIALTONE", TModemResult::NoDialtone},
      {"NO DIAL TONE", TModemResult::NoDialtone},
      {"NO ANSWER", TModemResult::NoAnswer},
      {"ERROR", TModemResult::Error},
  };
  for (const auto& [text, result] : kResults)
    if (line == text) return result;
  return TModemResult::Other;
}

bool CallFailed(TModemResult result) {
  return result != TModemResult::Other && result != TModemResult::Ok &&
         result != TModemResult::Connect;
}

std::optional<std::string> TakeModemLine(std::string& buffer) {
  const size_t cr = buffer.find('\r');
  if (cr == std::string::npos && buffer.size() < kModemLineLimit) return std::nullopt;
  const size_t length = std::min(cr, kModemLineLimit);
  std::string line = buffer.substr(0, length);
  buffer.erase(0, length == cr ? cr + 1 : length);
  return line;
}
