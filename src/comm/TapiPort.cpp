#include "comm/TapiPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {

constexpr std::size_t ReadBlockSize = 2048;
constexpr int ReadSilenceMs = 250;
constexpr auto BreakDuration = std::chrono::milliseconds(200);

QEvent::Type PortEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

// What a port thread hands to the main thread: received bytes, or (no block)
// a request to hang up.
class TPortEvent : public QEvent {
 public:
  TPortEvent(unsigned session, std::optional<QByteArray> block)
      : QEvent(PortEventType()), Session(session), Block(std::move(block)) {}
  const unsigned Session;
  const std::optional<QByteArray> Block;
};

bool Signalled(int eventDescriptor) {
  pollfd signal{eventDescriptor, POLLIN, 0};
  return ::poll(&signal, 1, 0) == 1;
}

enum class TWaitResult { Closed, Ready, TimedOut, Failed };

// Waits until the close signal is set or `descriptor` is ready for `events`.
// The close signal wins when both are set.
TWaitResult WaitFor(int closeEvent, int descriptor, short events, int timeoutMs) {
  pollfd fds[2] = {{closeEvent, POLLIN, 0}, {descriptor, events, 0}};
  for (;;) {
    const int ready = ::poll(fds, 2, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return TWaitResult::Failed;
    if (ready == 0) return TWaitResult::TimedOut;
    if (fds[0].revents) return TWaitResult::Closed;
    if (fds[1].revents & POLLNVAL) return TWaitResult::Failed;
    return TWaitResult::Ready;  // POLLHUP/POLLERR too: the next read or write tells
  }
}

// Watches the driver's line error counters; a pseudo-terminal or a USB device
// without them reports nothing.
class TLineErrorWatch {
 public:
  explicit TLineErrorWatch(int port) : FSupported(::ioctl(port, TIOCGICOUNT, &FLast) == 0) {}

  // The flags of the counters that grew since the last look.
  unsigned NewErrors(int port) {
    serial_icounter_struct now{};
    if (!FSupported || ::ioctl(port, TIOCGICOUNT, &now) != 0) return 0;
    unsigned flags = 0;
    if (now.buf_overrun != FLast.buf_overrun) flags |= CE_RXOVER;
    if (now.overrun != FLast.overrun) flags |= CE_OVERRUN;
    if (now.parity != FLast.parity) flags |= CE_RXPARITY;
    if (now.frame != FLast.frame) flags |= CE_FRAME;
    FLast = now;
    return flags;
  }

 private:
  serial_icounter_struct FLast{};
  const bool FSupported;
};

}  // namespace

std::string CommEventText(unsigned errorFlags) {
  std::string description;
  auto add = [&description](const char* part) {
    if (!description.empty()) description += " and ";
    description += part;
  };
  if (errorFlags & CE_FRAME) add("CE_FRAME");
  if (errorFlags & CE_OVERRUN) add("CE_OVERRUN");
  if (errorFlags & CE_RXPARITY) add("CE_RXPARITY");
  if (errorFlags & ~unsigned(CE_FRAME | CE_OVERRUN | CE_RXPARITY)) add("EV_ERR Unknown EvtMask");
  if (description.empty()) description = "NULL Error";
  return "Comm Event: " + description + ", EvtMask = " + std::to_string(errorFlags);
}

// What both threads share: the port, the close signal, and the way back to
// the owner's main thread.
class TPortThread {
 public:
  TPortThread(int port, int closeEvent, QObject* window, unsigned session)
      : FPort(port), FCloseEvent(closeEvent), FWindow(window), FSession(session) {}
  virtual ~TPortThread() = default;

  // Every derived class joins in its own destructor, before its members go.
  void Join() {
    if (FThread.joinable()) FThread.join();
  }

 protected:
  void PostData(QByteArray block) {
    QCoreApplication::postEvent(FWindow, new TPortEvent(FSession, std::move(block)));
  }
  void PostHangup() { QCoreApplication::postEvent(FWindow, new TPortEvent(FSession, {})); }

  const int FPort;
  const int FCloseEvent;
  std::thread FThread;

 private:
  QObject* const FWindow;
  const unsigned FSession;
};

class TReadThread : public TPortThread {
 public:
  TReadThread(int port, int closeEvent, QObject* window, unsigned session)
      : TPortThread(port, closeEvent, window, session), FErrors(port) {
    FThread = std::thread([this] { Run(); });
  }
  ~TReadThread() { Join(); }

 private:
  enum class TReadResult { Data, Closed, Failed };

  void Run() {
    if (ReadUntilClosedOrFailed() == TReadResult::Failed) PostHangup();
    ::tcflush(FPort, TCIFLUSH);
  }

  TReadResult ReadUntilClosedOrFailed() {
    for (;;) {
      switch (WaitFor(FCloseEvent, FPort, POLLIN, -1)) {
        case TWaitResult::Closed:
          return TReadResult::Closed;
        case TWaitResult::Ready:
          break;
        default:
          return TReadResult::Failed;
      }
      std::size_t count = 0;
      const TReadResult result = ReadBurst(count);
      if (result == TReadResult::Closed) return result;
      PostLineErrors();
      if (count > 0) PostData(QByteArray(FBuffer, static_cast<qsizetype>(count)));
      if (result == TReadResult::Failed) return result;
    }
  }

  // Reads until the buffer is full or the line stays silent for 250 ms. A
  // read of zero bytes means the peer is gone.
  TReadResult ReadBurst(std::size_t& count) {
    for (;;) {
      const ssize_t got = ::read(FPort, FBuffer + count, ReadBlockSize - count);
      if (got > 0) {
        count += static_cast<std::size_t>(got);
        if (count == ReadBlockSize) return TReadResult::Data;
      } else if (got == 0) {
        return TReadResult::Failed;
      } else if (errno == EINTR) {
        continue;
      } else if (errno != EAGAIN) {
        return TReadResult::Failed;
      } else if (count == 0) {
        return TReadResult::Data;  // woken without data
      }
      switch (WaitFor(FCloseEvent, FPort, POLLIN, ReadSilenceMs)) {
        case TWaitResult::Ready:
          break;
        case TWaitResult::TimedOut:
          return TReadResult::Data;
        case TWaitResult::Closed:
          return TReadResult::Closed;
        case TWaitResult::Failed:
          return TReadResult::Failed;
      }
    }
  }

  void PostLineErrors() {
    const unsigned errors = FErrors.NewErrors(FPort);
    if (errors) PostData(QByteArray::fromStdString(CommEventText(errors)));
  }

  TLineErrorWatch FErrors;
  char FBuffer[ReadBlockSize];
};

class TWriteThread : public TPortThread {
 public:
  // The queue exists before the thread runs, so a block pushed at once is
  // not lost.
  TWriteThread(int port, int closeEvent, QObject* window, unsigned session)
      : TPortThread(port, closeEvent, window, session),
        FQueueEvent(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (FQueueEvent < 0) throw std::system_error(errno, std::generic_category());
    FThread = std::thread([this] { Run(); });
  }
  ~TWriteThread() {
    Join();
    ::close(FQueueEvent);
  }

  bool Running() const { return FRunning; }

  // Called on the main thread; the block passes to the write thread.
  bool Push(QByteArray block) {
    {
      std::lock_guard lock(FMutex);
      FQueue.push_back(std::move(block));
    }
    const std::uint64_t one = 1;
    return ::write(FQueueEvent, &one, sizeof one) == sizeof one;
  }

 private:
  void Run() {
    WriteUntilClosedOrFailed();
    FRunning = false;
    ::tcflush(FPort, TCOFLUSH);
  }

  void WriteUntilClosedOrFailed() {
    for (;;) {
      switch (WaitFor(FCloseEvent, FQueueEvent, POLLIN, -1)) {
        case TWaitResult::Closed:
          return;
        case TWaitResult::Ready:
          break;
        default:
          PostHangup();
          return;
      }
      std::uint64_t pending;
      (void)!::read(FQueueEvent, &pending, sizeof pending);
      while (std::optional<QByteArray> block = Pop()) {
        if (Signalled(FCloseEvent) || !WriteBlock(*block)) return;
      }
    }
  }

  std::optional<QByteArray> Pop() {
    std::lock_guard lock(FMutex);
    if (FQueue.empty()) return std::nullopt;
    QByteArray block = std::move(FQueue.front());
    FQueue.pop_front();
    return block;
  }

  // Writes the whole block; false on a failure (which asks for a hang-up) or
  // when the close signal interrupts a pending write (which does not).
  bool WriteBlock(const QByteArray& block) {
    const char* next = block.constData();
    std::size_t left = static_cast<std::size_t>(block.size());
    while (left > 0) {
      const ssize_t written = ::write(FPort, next, left);
      if (written >= 0) {
        next += written;
        left -= static_cast<std::size_t>(written);
        continue;
      }
      if (errno == EINTR) continue;
      if (errno == EBADF) return false;
      if (errno != EAGAIN) {
        PostHangup();
        return false;
      }
      switch (WaitFor(FCloseEvent, FPort, POLLOUT, -1)) {
        case TWaitResult::Ready:
          break;
        case TWaitResult::Closed:
          return false;
        default:
          PostHangup();
          return false;
      }
    }
    return true;
  }

  const int FQueueEvent;
  std::atomic<bool> FRunning{true};
  std::mutex FMutex;
  std::deque<QByteArray> FQueue;
};

TTapiPort::TTapiPort(QObject* parent) : QObject(parent) {
  FBreakTimer.setSingleShot(true);
  connect(&FBreakTimer, &QTimer::timeout, this, [this] { EndBreak(); });
}

TTapiPort::~TTapiPort() {
  StopComm();
}

namespace {

bool IsCharacterDevice(int port) {
  struct stat status {};
  return ::fstat(port, &status) == 0 && S_ISCHR(status.st_mode);
}

// Non-blocking, and a read returns as soon as one byte is there, so that a
// read of zero bytes only ever means the peer has gone.
void PreparePort(int port) {
  ::fcntl(port, F_SETFL, ::fcntl(port, F_GETFL) | O_NONBLOCK);
  termios settings{};
  if (::tcgetattr(port, &settings) != 0) return;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  ::tcsetattr(port, TCSANOW, &settings);
}

}  // namespace

bool TTapiPort::StartComm(int port) {
  if (!IsCharacterDevice(port)) throw ECommsError("File handle is not a comm handle. ");
  StopComm();
  PreparePort(port);
  FCloseEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (FCloseEvent < 0) return false;
  FHangupRaised = false;
  try {
    FReadThread = std::make_unique<TReadThread>(port, FCloseEvent, this, FSession);
  } catch (const std::system_error&) {
    StopComm();
    throw ECommsError("Unable to create Read thread");
  }
  try {
    FWriteThread = std::make_unique<TWriteThread>(port, FCloseEvent, this, FSession);
  } catch (const std::system_error&) {
    StopComm();
    throw ECommsError("Unable to create Write thread");
  }
  FPort = port;
  return true;
}

void TTapiPort::StopComm() {
  if (FCloseEvent < 0) return;
  const std::uint64_t one = 1;
  (void)!::write(FCloseEvent, &one, sizeof one);
  // Both threads wait on the close signal in every wait and never block in a
  // read or write, so they end promptly.
  FReadThread.reset();
  FWriteThread.reset();
  ::close(FCloseEvent);
  FCloseEvent = -1;
  if (FBreakTimer.isActive()) EndBreak();
  if (FPort >= 0) ::close(FPort);
  FPort = -1;
  ++FSession;
}

bool TTapiPort::Write(const char* buffer, std::uint16_t count) {
  if (!FWriteThread || !FWriteThread->Running()) return false;
  return FWriteThread->Push(QByteArray(buffer, count));
}

void TTapiPort::SendBreak() {
  if (!FWriteThread || !FWriteThread->Running() || FPort < 0) return;
  if (::ioctl(FPort, TIOCSBRK) != 0) return;  // the device has no break
  FBreakTimer.start(BreakDuration);
}

void TTapiPort::EndBreak() {
  FBreakTimer.stop();
  if (FPort >= 0) ::ioctl(FPort, TIOCCBRK);
}

bool TTapiPort::event(QEvent* e) {
  if (e->type() != PortEventType()) return QObject::event(e);
  const auto* portEvent = static_cast<TPortEvent*>(e);
  if (portEvent->Session != FSession || !PortAttached()) return true;  // from an earlier attach
  if (portEvent->Block)
    ReceiveBlock(*portEvent->Block);
  else
    RequestHangup();
  return true;
}

void TTapiPort::ReceiveBlock(const QByteArray& block) {
  QByteArray text = block;
  text.removeIf([](char c) { return c == '\0' || c == '\n'; });
  if (OnReceiveData) OnReceiveData(text.constData(), static_cast<std::uint16_t>(text.size()));
}

void TTapiPort::RequestHangup() {
  if (FHangupRaised) return;
  FHangupRaised = true;
  if (OnRequestHangup) OnRequestHangup(this);
}
