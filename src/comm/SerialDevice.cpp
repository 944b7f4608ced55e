#include "comm/SerialDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <iterator>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

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

// Close lets queued output (a last command) go out for at most this long.
constexpr auto kDrainTime = std::chrono::milliseconds(1000);

int OutputQueued(int fd) {
  int count = 0;
  return ioctl(fd, TIOCOUTQ, &count) == 0 ? count : 0;
}

// The devices whose close is still letting output go, shared by every port of
// the process. Never destroyed: a close may still run while the program ends.
class TClosingDevices {
 public:
  static TClosingDevices& Instance() {
    static auto* devices = new TClosingDevices;
    return *devices;
  }
  void Add(dev_t device) {
    std::lock_guard lock(FMutex);
    FDevices.insert(device);
  }
  void Remove(dev_t device) {
    std::lock_guard lock(FMutex);
    if (const auto found = FDevices.find(device); found != FDevices.end()) FDevices.erase(found);
  }
  bool Contains(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) return false;
    std::lock_guard lock(FMutex);
    return FDevices.count(status.st_rdev) > 0;
  }

 private:
  std::mutex FMutex;
  std::multiset<dev_t> FDevices;
};

// Drops DTR, discards the input and closes: the device is free again.
void ReleaseDevice(int fd) {
  int dtr = TIOCM_DTR;
  ioctl(fd, TIOCMBIC, &dtr);  // fails harmlessly where the device has no such line
  tcflush(fd, TCIFLUSH);
  ioctl(fd, TIOCNXCL);
  ::close(fd);
}

// On a thread of its own: lets `rest` and the device's queue go out for at
// most kDrainTime, discards what is left, and releases the device. Output not
// stuck is not discarded early: on a pseudo-terminal that would drop what the
// far end has not read yet.
void DrainAndRelease(int fd, std::string rest) {
  const auto deadline = std::chrono::steady_clock::now() + kDrainTime;
  while (std::chrono::steady_clock::now() < deadline) {
    while (!rest.empty()) {
      const ssize_t written = ::write(fd, rest.data(), rest.size());
      if (written <= 0) break;
      rest.erase(0, static_cast<size_t>(written));
    }
    if (rest.empty() && OutputQueued(fd) == 0) break;
    pollfd room{fd, POLLOUT, 0};
    if (poll(&room, 1, 10) < 0 && errno != EINTR) break;
    if (room.revents & (POLLHUP | POLLERR | POLLNVAL)) break;
    if (rest.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!rest.empty() || OutputQueued(fd) > 0) tcflush(fd, TCOFLUSH);
  ReleaseDevice(fd);
}

}  // namespace

void CloseSerialDevice(int fd, std::string rest, bool discard) {
  if (discard || (rest.empty() && OutputQueued(fd) == 0)) {
    if (discard) tcflush(fd, TCOFLUSH);
    ReleaseDevice(fd);
    return;
  }
  struct stat status {};
  const bool known = fstat(fd, &status) == 0;
  if (known) TClosingDevices::Instance().Add(status.st_rdev);
  try {
    std::thread([fd, rest = std::move(rest), device = status.st_rdev, known]() mutable {
      DrainAndRelease(fd, std::move(rest));
      if (known) TClosingDevices::Instance().Remove(device);
    }).detach();
  } catch (const std::system_error&) {
    tcflush(fd, TCOFLUSH);
    ReleaseDevice(fd);
    if (known) TClosingDevices::Instance().Remove(status.st_rdev);
  }
}

bool SerialDeviceClosing(const QString& path) {
  return TClosingDevices::Instance().Contains(path);
}

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
