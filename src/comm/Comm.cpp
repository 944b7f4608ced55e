#include "comm/Comm.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>
#include <utility>

#include "comm/SerialDevice.h"

namespace {

constexpr unsigned EV_RXFLAG = 0x2;
constexpr unsigned EV_TXEMPTY = 0x4;
constexpr unsigned EV_CTS = 0x8;
constexpr unsigned EV_DSR = 0x10;
constexpr unsigned EV_RLSD = 0x20;
constexpr unsigned EV_BREAK = 0x40;
constexpr unsigned EV_ERR = 0x80;
constexpr unsigned EV_RING = 0x100;

// Output that the device takes nothing of for this long is given up.
constexpr int kWriteTimeoutMs = 1000;
constexpr int kBreakMs = 500;
// How often a waiting Open looks whether the close it waits for is done.
constexpr int kOpenRetryMs = 20;
// How often the watcher looks at the modem status lines and a draining output
// queue; the platform signals neither through poll().
constexpr int kLinePollMs = 50;

template <typename Change>
void ChangeSettings(int fd, Change change) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return;
  change(settings);
  tcsetattr(fd, TCSANOW, &settings);
}

// Modem-control requests fail with ENOTTY where the device has no such lines
// (a pseudo-terminal); that is no fault.
void SetModemLine(int fd, int line, bool on) {
  ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

// The events that the modem status lines raise between two readings.
unsigned LineEventBits(int before, int now) {
  const int changed = before ^ now;
  unsigned bits = 0;
  if (changed & TIOCM_CTS) bits |= EV_CTS;
  if (changed & TIOCM_DSR) bits |= EV_DSR;
  if (changed & TIOCM_CAR) bits |= EV_RLSD;
  if (changed & TIOCM_RNG) bits |= EV_RING;
  return bits;
}

int ReadModemLines(int fd) {
  int lines = 0;
  return ioctl(fd, TIOCMGET, &lines) == 0 ? lines : -1;
}

uint16_t QueueCount(int count) {
  return static_cast<uint16_t>(std::clamp(count, 0, 65535));
}

}  // namespace

// --- Exceptions ---

ECommError::ECommError(const QString& message) : std::runtime_error(message.toStdString()) {}

ECommOpenError::ECommOpenError(int errorCode)
    : ECommError(QStringLiteral("オープンエラー ErrorCode = %1").arg(errorCode)),
      ErrorCode(errorCode) {}

ECommReadWriteError::ECommReadWriteError(int errorCode)
    : ECommError(QStringLiteral("入出力エラー ErrorCode = %1").arg(errorCode)),
      ErrorCode(errorCode) {}

// --- TCommWatch ---

// The watcher thread of an open port. It waits for the driver's events and
// hands each one to the component on the main thread, waiting until it has
// been handled there, so that notifications arrive one at a time and in order.
// It touches no state of the component. Stopping releases a hand-off in
// flight (so that Close may be called from inside a notification) and joins
// the thread before the port's descriptor is closed.
class TCommWatch {
 public:
  TCommWatch(TComm& comm, int fd, unsigned eventMask);
  ~TCommWatch();
  void SetEventMask(unsigned mask) { FEventMask = mask; }
  // Output was queued: report when it has drained (with evTxempty).
  void NoteWrite();

 private:
  // Shared with the notifications in flight, which may outlive the watcher.
  struct THandOff {
    std::mutex Mutex;
    std::condition_variable Done;
    bool Stopping = false;
    bool Pending = false;
  };

  void Run();
  bool HandOff(TComm::TNotification notification, unsigned bits = 0);
  bool LineWatched() const { return FReportedLines >= 0; }
  bool OutputDrained();
  void Wake();

  TComm& FComm;
  const int FFd;
  int FEpoll = -1;
  int FWake = -1;
  std::atomic<unsigned> FEventMask;
  std::atomic<bool> FOutputPending = false;
  int FReportedLines;
  std::shared_ptr<THandOff> FHandOff = std::make_shared<THandOff>();
  std::thread FThread;
};

TCommWatch::TCommWatch(TComm& comm, int fd, unsigned eventMask)
    : FComm(comm), FFd(fd), FEventMask(eventMask), FReportedLines(ReadModemLines(fd)) {
  FEpoll = epoll_create1(EPOLL_CLOEXEC);
  if (FEpoll < 0) throw ECommOpenError(-2);
  FWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (FWake < 0) {
    ::close(FEpoll);
    throw ECommOpenError(-3);
  }
  // Edge-triggered: every arrival of characters is one event, also while
  // earlier ones still wait in the queue.
  epoll_event port{};
  port.events = EPOLLIN | EPOLLET;
  port.data.fd = FFd;
  epoll_ctl(FEpoll, EPOLL_CTL_ADD, FFd, &port);
  epoll_event wake{};
  wake.events = EPOLLIN;
  wake.data.fd = FWake;
  epoll_ctl(FEpoll, EPOLL_CTL_ADD, FWake, &wake);
  FThread = std::thread([this] { Run(); });
}

TCommWatch::~TCommWatch() {
  {
    std::lock_guard lock(FHandOff->Mutex);
    FHandOff->Stopping = true;
  }
  FHandOff->Done.notify_all();
  Wake();
  FThread.join();
  ::close(FWake);
  ::close(FEpoll);
}

void TCommWatch::NoteWrite() {
  FOutputPending = true;
  Wake();
}

void TCommWatch::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(FWake, &one, sizeof one);
}

void TCommWatch::Run() {
  for (;;) {
    const bool timed = LineWatched() || FOutputPending;
    epoll_event events[2];
    const int count = epoll_wait(FEpoll, events, 2, timed ? kLinePollMs : -1);
    if (count < 0 && errno != EINTR) return;
    {
      std::lock_guard lock(FHandOff->Mutex);
      if (FHandOff->Stopping) return;
    }
    bool received = false;
    bool hungUp = false;
    for (int i = 0; i < count; ++i) {
      if (events[i].data.fd == FWake) {
        uint64_t wakes;
        [[maybe_unused]] const ssize_t got = ::read(FWake, &wakes, sizeof wakes);
      } else {
        received = (events[i].events & EPOLLIN) != 0;
        hungUp = (events[i].events & (EPOLLHUP | EPOLLERR)) != 0;
      }
    }
    if (hungUp) {
      // The device or the far end is gone: one carrier loss, then no more.
      HandOff(TComm::TNotification::LineLost, EV_RLSD);
      return;
    }
    bool delivered = true;
    if (received) {
      // A line change in the same wait is left to a later wait.
      delivered = HandOff(TComm::TNotification::Receive);
    } else if (OutputDrained()) {
      delivered = HandOff(TComm::TNotification::Transmit);
    } else if (LineWatched()) {
      const int lines = ReadModemLines(FFd);
      const unsigned bits = LineEventBits(FReportedLines, lines) & FEventMask;
      FReportedLines = lines;
      if (bits != 0) delivered = HandOff(TComm::TNotification::Event, bits);
    }
    if (!delivered) return;
  }
}

bool TCommWatch::OutputDrained() {
  if (!FOutputPending) return false;
  int queued = 0;
  if (ioctl(FFd, TIOCOUTQ, &queued) == 0 && queued > 0) return false;
  FOutputPending = false;
  return (FEventMask & EV_TXEMPTY) != 0;
}

bool TCommWatch::HandOff(TComm::TNotification notification, unsigned bits) {
  const std::shared_ptr<THandOff> handOff = FHandOff;
  {
    std::lock_guard lock(handOff->Mutex);
    if (handOff->Stopping) return false;
    handOff->Pending = true;
  }
  TComm* comm = &FComm;
  QMetaObject::invokeMethod(
      comm,
      [comm, handOff, notification, bits] {
        bool deliver;
        {
          std::lock_guard lock(handOff->Mutex);
          deliver = !handOff->Stopping;
        }
        if (deliver) comm->Deliver(notification, bits);
        {
          std::lock_guard lock(handOff->Mutex);
          handOff->Pending = false;
        }
        handOff->Done.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(handOff->Mutex);
  handOff->Done.wait(lock, [&] { return !handOff->Pending || handOff->Stopping; });
  return !handOff->Stopping;
}

// --- TComm ---

TComm::TComm(QObject* parent) : QObject(parent) {
  FBreakTimer.setSingleShot(true);
  connect(&FBreakTimer, &QTimer::timeout, this, [this] { EndBreak(); });
  FStallTimer.setSingleShot(true);
  connect(&FStallTimer, &QTimer::timeout, this, [this] { GiveUpOutput(); });
  connect(&FOpenTimer, &QTimer::timeout, this, [this] { OpenWhenClosed(); });
}

TComm::~TComm() {
  Close();
}

int TComm::Port() const {
  return ComPortNumber(FPortName);
}

void TComm::SetPort(int port) {
  FPortName = QStringLiteral("COM%1").arg(std::clamp(port, 0, 255));
}

void TComm::SetBaudRate(int rate) {
  FBaudRate = rate;
  if (IsOpen()) ApplyBaudRate();
}

void TComm::SetParityBits(TCommParityBits parity) {
  FParityBits = parity;
  if (IsOpen()) ApplyParityBits();
}

void TComm::SetByteSize(TCommByteSize size) {
  FByteSize = size;
  if (IsOpen()) ApplyByteSize();
}

void TComm::SetStopBits(TCommStopBits stopBits) {
  FStopBits = stopBits;
  if (IsOpen()) ApplyStopBits();
}

void TComm::SetFlowControls(TCommFlowControls controls) {
  FFlowControls = controls;
  if (IsOpen()) ApplyFlowControls();
}

void TComm::SetInQueueSize(int size) {
  FInQueueSize = std::clamp(size, 0, 65535);
}

void TComm::SetOutQueueSize(int size) {
  FOutQueueSize = std::clamp(size, 0, 65535);
}

void TComm::SetEventMask(TCommEventMask mask) {
  FEventMask = mask;
  if (FWatch) FWatch->SetEventMask(mask.Bits());
}

void TComm::ApplyAllSettings() {
  ApplyBaudRate();
  ApplyByteSize();
  ApplyParityBits();
  ApplyStopBits();
  ApplyFlowControls();
}

void TComm::ApplyBaudRate() {
  const std::optional<speed_t> speed =
      SpeedCode(FBaudRate == -1 ? FBaudRateUserDefined : FBaudRate);
  if (!speed) return;
  ChangeSettings(FHandle, [&](termios& settings) { cfsetspeed(&settings, *speed); });
}

void TComm::ApplyByteSize() {
  static constexpr tcflag_t kSizes[] = {CS5, CS5, CS6, CS7, CS8};
  ChangeSettings(FHandle, [&](termios& settings) {
    settings.c_cflag = (settings.c_cflag & ~CSIZE) | kSizes[FByteSize];
  });
}

void TComm::ApplyParityBits() {
  static constexpr tcflag_t kParity[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                                         PARENB | CMSPAR};
  ChangeSettings(FHandle, [&](termios& settings) {
    settings.c_cflag = (settings.c_cflag & ~(PARENB | PARODD | CMSPAR)) | kParity[FParityBits];
    if (FParityBits == cpbNone)
      settings.c_iflag &= ~INPCK;
    else
      settings.c_iflag |= INPCK;
  });
}

void TComm::ApplyStopBits() {
  ChangeSettings(FHandle, [&](termios& settings) {
    if (FStopBits == csb1)
      settings.c_cflag &= ~CSTOPB;
    else
      settings.c_cflag |= CSTOPB;
  });
}

void TComm::ApplyFlowControls() {
  ChangeSettings(FHandle, [&](termios& settings) {
    settings.c_cflag &= ~CRTSCTS;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (FFlowControls.Contains(cfcRtsCts)) settings.c_cflag |= CRTSCTS;
    if (FFlowControls.Contains(cfcXonXoff)) settings.c_iflag |= IXON | IXOFF;
    settings.c_cc[VSTART] = 0x11;
    settings.c_cc[VSTOP] = 0x13;
  });
}

int TComm::ModemLines() const {
  return ReadModemLines(FHandle);
}

bool TComm::DsrState() const {
  const int lines = IsOpen() ? ModemLines() : -1;
  return lines >= 0 && (lines & TIOCM_DSR);
}

bool TComm::RlsdState() const {
  if (!IsOpen() || FLineLost) return false;
  const int lines = ModemLines();
  return lines < 0 || (lines & TIOCM_CAR);
}

int TComm::InQueueCount() const {
  int count = 0;
  return FHandle >= 0 && ioctl(FHandle, FIONREAD, &count) == 0 ? count : 0;
}

int TComm::OutQueueCount() const {
  int count = 0;
  return FHandle >= 0 && ioctl(FHandle, TIOCOUTQ, &count) == 0 ? count : 0;
}

void TComm::Open() {
  if (IsOpen()) return;
  const QString path = SerialDevicePath(FPortName);
  FLineLost = false;
  if (SerialDeviceClosing(path)) {
    FOpenWaiting = true;
    FWaitingPath = path;
    FOpenTimer.start(kOpenRetryMs);
    return;
  }
  OpenDevice(path);
}

void TComm::OpenDevice(const QString& path) {
  const int fd = OpenSerialDevice(path, TCarrierLoss::Watched);
  if (fd < 0) throw ECommOpenError(-1);
  ioctl(fd, TIOCEXCL);
  tcflush(fd, TCIOFLUSH);
  FHandle = fd;
  ApplyAllSettings();
  try {
    FWatch = std::make_unique<TCommWatch>(*this, fd, FEventMask.Bits());
  } catch (const ECommOpenError&) {
    Close();
    throw;
  }
  FRoomNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
  FRoomNotifier->setEnabled(false);
  connect(FRoomNotifier.get(), &QSocketNotifier::activated, this, [this] { FlushOutputLater(); });
  SetModemLine(fd, TIOCM_DTR, true);
}

// The waited-for close is done: the device is opened now, and what was
// written meanwhile goes out. A device that fails now is a lost line.
void TComm::OpenWhenClosed() {
  if (!FOpenWaiting || SerialDeviceClosing(FWaitingPath)) return;
  FOpenTimer.stop();
  try {
    OpenDevice(FWaitingPath);
    FOpenWaiting = false;
    FlushOutput();
  } catch (const ECommError& error) {
    ShowMessage(error.Message());
    Deliver(TNotification::LineLost, EV_RLSD);
  }
}

void TComm::Close() {
  if (!IsOpen()) return;
  FOpenTimer.stop();
  FOpenWaiting = false;
  FWatch.reset();
  if (FBreakTimer.isActive()) EndBreak();
  FStallTimer.stop();
  FRoomNotifier.reset();
  std::string rest = std::exchange(FOutput, {});
  if (FHandle < 0) return;
  CloseSerialDevice(std::exchange(FHandle, -1), std::move(rest), FLineLost);
}

void TComm::Write(const char* buffer, int count) {
  if (!IsOpen()) throw ECommError(QStringLiteral("通信が開始されていなません"));
  if (count > FOutQueueSize) throw ECommError(QStringLiteral("送信データ長が長すぎます"));
  if (count <= 0) return;
  if (FOutput.size() + static_cast<size_t>(count) > kPendingOutputLimit)
    throw ECommReadWriteError(ENOBUFS);
  FOutput.append(buffer, static_cast<size_t>(count));
  FlushOutput();
  if (FWatch) FWatch->NoteWrite();
}

// Hands the device what it takes now, never waiting; the rest follows when
// it has room. Each bit of progress gives the line another second.
void TComm::FlushOutput() {
  if (FHandle < 0) return;  // an Open still waits; the output waits with it
  bool progressed = false;
  while (!FOutput.empty()) {
    const ssize_t written = ::write(FHandle, FOutput.data(), FOutput.size());
    if (written > 0) {
      FOutput.erase(0, static_cast<size_t>(written));
      progressed = true;
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno != EAGAIN) {
      const int error = errno;
      FOutput.clear();
      FStallTimer.stop();
      FRoomNotifier->setEnabled(false);
      throw ECommReadWriteError(error);
    }
    break;
  }
  FRoomNotifier->setEnabled(!FOutput.empty());
  if (FOutput.empty())
    FStallTimer.stop();
  else if (progressed || !FStallTimer.isActive())
    FStallTimer.start(kWriteTimeoutMs);
}

void TComm::FlushOutputLater() {
  try {
    FlushOutput();
  } catch (const ECommError& error) {
    ShowMessage(error.Message());
  }
}

void TComm::GiveUpOutput() {
  if (FHandle < 0 || FOutput.empty()) return;
  FOutput.clear();
  FRoomNotifier->setEnabled(false);
  tcflush(FHandle, TCOFLUSH);
  ShowMessage(ECommReadWriteError(ETIMEDOUT).Message());
}

void TComm::WriteString(const std::string& text) {
  Write(text.data(),
        static_cast<int>(std::min<size_t>(text.size(), std::numeric_limits<int>::max())));
}

int TComm::Read(char* buffer, int count) {
  if (!IsOpen()) throw ECommError(QStringLiteral("通信が開始されていません"));
  if (count <= 0) return 0;
  const ssize_t got = ::read(FHandle, buffer, static_cast<size_t>(count));
  if (got >= 0) return static_cast<int>(got);
  if (errno == EAGAIN || errno == EINTR) return 0;
  throw ECommReadWriteError(errno);
}

// The break is set now and cleared by a timer, so the caller's event loop
// goes on as usual meanwhile; a second break while one is held extends it.
void TComm::SendBreak() {
  if (ioctl(FHandle, TIOCSBRK) != 0) throw ECommReadWriteError(errno);
  FBreakTimer.start(kBreakMs);
}

void TComm::EndBreak() {
  FBreakTimer.stop();
  if (FHandle >= 0) ioctl(FHandle, TIOCCBRK);
}

void TComm::Deliver(TNotification notification, unsigned bits) {
  try {
    switch (notification) {
      case TNotification::Receive:
        CommReceive();
        break;
      case TNotification::Transmit:
        CommTransmit();
        break;
      case TNotification::LineLost:
        FLineLost = true;
        CommEvent(bits);
        break;
      case TNotification::Event:
        CommEvent(bits);
        break;
    }
  } catch (const std::exception& error) {
    ShowMessage(QString::fromUtf8(error.what()));
  }
}

void TComm::CommReceive() {
  if (!IsOpen() || !OnCommReceive) return;
  if (const int count = InQueueCount(); count >= 1) OnCommReceive(this, QueueCount(count));
}

void TComm::CommTransmit() {
  if (!IsOpen() || !OnCommTransmit) return;
  OnCommTransmit(this, QueueCount(OutQueueCount()));
}

void TComm::CommEvent(unsigned bits) {
  if (!IsOpen() || !OnCommEvent) return;
  constexpr unsigned kPassedOn =
      EV_RXFLAG | EV_CTS | EV_DSR | EV_RLSD | EV_BREAK | EV_ERR | EV_RING;
  OnCommEvent(this, TCommEventMask::FromBits(bits & kPassedOn));
}

void TComm::ShowMessage(const QString& text) {
  if (OnMessage)
    OnMessage(text);
  else
    qWarning("%s", qUtf8Printable(text));
}
