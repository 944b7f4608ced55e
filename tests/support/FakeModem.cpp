#include "FakeModem.h"

#include <QtCore/qtestsupport_core.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <stdexcept>

namespace {

constexpr int kWriteWaitMs = 2000;
constexpr int kSettleMs = 50;
// Long enough that the echo of the dial command and the result arrive apart,
// as from a real modem.
constexpr auto kDialTime = std::chrono::milliseconds(100);

void MakeRaw(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return;
  cfmakeraw(&settings);
  tcsetattr(fd, TCSANOW, &settings);
}

bool WaitForPoll(int fd, short events, int timeoutMs) {
  pollfd entry{fd, events, 0};
  return poll(&entry, 1, timeoutMs) > 0;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

}  // namespace

// --- TPseudoTerminal ---

TPseudoTerminal::TPseudoTerminal() {
  char name[256] = {};
  if (openpty(&FMaster, &FSlave, name, nullptr, nullptr) != 0)
    throw std::runtime_error("openpty failed");
  FSlavePath = name;
  MakeRaw(FSlave);
  MakeRaw(FMaster);
  fcntl(FMaster, F_SETFL, fcntl(FMaster, F_GETFL) | O_NONBLOCK);
  fcntl(FMaster, F_SETFD, FD_CLOEXEC);
  fcntl(FSlave, F_SETFD, FD_CLOEXEC);
}

TPseudoTerminal::~TPseudoTerminal() {
  Close();
}

termios TPseudoTerminal::SlaveSettings() const {
  termios settings{};
  tcgetattr(FSlave, &settings);
  return settings;
}

void TPseudoTerminal::Write(std::string_view bytes) {
  while (!bytes.empty() && FMaster >= 0) {
    const ssize_t written = ::write(FMaster, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<size_t>(written));
    } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
      return;
    } else if (!WaitForPoll(FMaster, POLLOUT, kWriteWaitMs)) {
      return;
    }
  }
}

// The near end may write from its event loop, which runs while the first
// byte is awaited.
std::string TPseudoTerminal::ReadAvailable(int waitMs) {
  std::string result;
  if (!QTest::qWaitFor([&] { return FMaster < 0 || WaitForPoll(FMaster, POLLIN, 0); }, waitMs))
    return result;
  char buffer[4096];
  while (FMaster >= 0 && WaitForPoll(FMaster, POLLIN, result.empty() ? 0 : kSettleMs)) {
    const ssize_t got = ::read(FMaster, buffer, sizeof buffer);
    if (got <= 0) break;
    result.append(buffer, static_cast<size_t>(got));
  }
  return result;
}

void TPseudoTerminal::Close() {
  if (FMaster >= 0) ::close(FMaster);
  if (FSlave >= 0) ::close(FSlave);
  FMaster = FSlave = -1;
}

// --- TFakeModem ---

TFakeModem::TFakeModem() : FWake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (FWake < 0) throw std::runtime_error("eventfd failed");
  FThread = std::thread([this] { Run(); });
}

TFakeModem::~TFakeModem() {
  Vanish();
  ::close(FWake);
}

void TFakeModem::SetEcho(bool on) {
  std::lock_guard lock(FMutex);
  FProfileEcho = FEcho = on;
}

void TFakeModem::SetDialEcho(TDialEcho mode) {
  std::lock_guard lock(FMutex);
  FDialEcho = mode;
}

void TFakeModem::SetDialResult(std::string result) {
  std::lock_guard lock(FMutex);
  FDialResult = std::move(result);
}

void TFakeModem::SetLoginPrompt(std::string prompt) {
  std::lock_guard lock(FMutex);
  FLoginPrompt = std::move(prompt);
}

void TFakeModem::SetHostEcho(bool on) {
  std::lock_guard lock(FMutex);
  FHostEcho = on;
}

void TFakeModem::AddHostReply(std::string awaited, std::string reply) {
  std::lock_guard lock(FMutex);
  FHostReplies.emplace_back(std::move(awaited), std::move(reply));
}

std::vector<std::string> TFakeModem::Commands() const {
  std::lock_guard lock(FMutex);
  return FCommands;
}

std::string TFakeModem::HostReceived() const {
  std::lock_guard lock(FMutex);
  return FHostReceived;
}

bool TFakeModem::Connected() const {
  std::lock_guard lock(FMutex);
  return FConnected;
}

void TFakeModem::SendFromHost(std::string bytes) {
  {
    std::lock_guard lock(FMutex);
    FOutput += bytes;
  }
  Wake();
}

void TFakeModem::DropCarrier() {
  {
    std::lock_guard lock(FMutex);
    FConnected = false;
    Reply("NO CARRIER");
  }
  Wake();
}

void TFakeModem::Vanish() {
  {
    std::lock_guard lock(FMutex);
    FStop = true;
  }
  Wake();
  if (FThread.joinable()) FThread.join();
  FLine.Close();
}

bool TFakeModem::WaitForCommands(size_t count, int timeoutMs) const {
  return QTest::qWaitFor([&] { return Commands().size() >= count; }, timeoutMs);
}

bool TFakeModem::WaitForHostReceived(std::string_view text, int timeoutMs) const {
  return QTest::qWaitFor([&] { return HostReceived().find(text) != std::string::npos; }, timeoutMs);
}

void TFakeModem::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(FWake, &one, sizeof one);
}

bool TFakeModem::Stopping() const {
  std::lock_guard lock(FMutex);
  return FStop;
}

int TFakeModem::PollTimeoutMs() const {
  std::lock_guard lock(FMutex);
  if (!FDialPending) return -1;
  const TClock::time_point due =
      FHeldEcho.empty() || FDialEcho != TDialEcho::Split ? FDialDue : FHeldEchoDue;
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(due - TClock::now()).count();
  return static_cast<int>(std::max<long long>(left, 0));
}

void TFakeModem::Run() {
  const int master = FLine.MasterFd();
  char buffer[4096];
  while (!Stopping()) {
    bool wantOutput;
    {
      std::lock_guard lock(FMutex);
      wantOutput = !FOutput.empty();
    }
    pollfd entries[2] = {{master, static_cast<short>(POLLIN | (wantOutput ? POLLOUT : 0)), 0},
                         {FWake, POLLIN, 0}};
    if (poll(entries, 2, PollTimeoutMs()) < 0 && errno != EINTR) return;
    uint64_t wakes;
    while (::read(FWake, &wakes, sizeof wakes) > 0) {
    }
    if (entries[0].revents & (POLLHUP | POLLERR)) return;
    if (entries[0].revents & POLLIN) {
      const ssize_t got = ::read(master, buffer, sizeof buffer);
      if (got > 0) ReceiveFromLine(std::string_view(buffer, static_cast<size_t>(got)));
    }
    {
      std::lock_guard lock(FMutex);
      if (FDialEcho == TDialEcho::Split && !FHeldEcho.empty() && TClock::now() >= FHeldEchoDue)
        FOutput += std::exchange(FHeldEcho, {});
      if (FDialPending && TClock::now() >= FDialDue) FinishDial();
    }
    FlushOutput();
  }
}

void TFakeModem::FlushOutput() {
  std::lock_guard lock(FMutex);
  while (!FOutput.empty()) {
    const ssize_t written = ::write(FLine.MasterFd(), FOutput.data(), FOutput.size());
    if (written <= 0) return;  // no room now: POLLOUT brings us back
    FOutput.erase(0, static_cast<size_t>(written));
  }
}

void TFakeModem::ReceiveFromLine(std::string_view bytes) {
  std::lock_guard lock(FMutex);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (FConnected) {
      HostBytes(bytes.substr(i));
      return;
    }
    CommandByte(bytes[i]);
  }
}

void TFakeModem::CommandByte(char byte) {
  if (FEcho) EchoCommandByte(byte);
  if (byte == '\n') return;
  if (byte != '\r') {
    FLineBuffer += byte;
    return;
  }
  const std::string line = std::exchange(FLineBuffer, {});
  if (FEcho) EchoDialCommand(line);
  if (!line.empty()) Command(line);
}

// Unless the dial command's echo is to come apart, it goes out as typed.
void TFakeModem::EchoCommandByte(char byte) {
  if (FDialEcho == TDialEcho::AsTyped)
    FOutput += byte;
  else
    FLineEcho += byte;
}

// At the end of a command line: the echo of a dial command is split or held
// for the result; any other line's echo goes out whole.
void TFakeModem::EchoDialCommand(const std::string& line) {
  std::string echo = std::exchange(FLineEcho, {});
  if (FDialEcho == TDialEcho::AsTyped) return;
  if (!Upper(line).starts_with("ATD")) {
    FOutput += echo;
    return;
  }
  if (FDialEcho == TDialEcho::Split) {
    FOutput += echo.substr(0, 2);
    echo.erase(0, 2);
  }
  FHeldEcho = std::move(echo);
  FHeldEchoDue = TClock::now() + kDialTime / 2;
}

void TFakeModem::Command(const std::string& line) {
  FCommands.push_back(line);
  const std::string command = Upper(line);
  if (!command.starts_with("AT")) return;
  if (command.starts_with("ATD")) {
    FDialPending = true;
    FDialDue = TClock::now() + kDialTime;
    return;
  }
  if (command.starts_with("ATZ")) FEcho = FProfileEcho;
  if (const size_t echo = command.find('E', 2);
      echo != std::string::npos && echo + 1 < command.size()) {
    if (command[echo + 1] == '0') FEcho = false;
    if (command[echo + 1] == '1') FEcho = true;
  }
  Reply("OK");
}

void TFakeModem::FinishDial() {
  FDialPending = false;
  FOutput += std::exchange(FHeldEcho, {});
  Reply(FDialResult);
  if (!FDialResult.starts_with("CONNECT")) return;
  FConnected = true;
  FOutput += FLoginPrompt;
}

void TFakeModem::HostBytes(std::string_view bytes) {
  FHostReceived += bytes;
  if (FHostEcho) FOutput += bytes;
  if (FHostReceived.ends_with("+++")) {
    FConnected = false;
    Reply("OK");
    return;
  }
  while (FNextReply < FHostReplies.size()) {
    const auto& [awaited, reply] = FHostReplies[FNextReply];
    const size_t found = FHostReceived.find(awaited, FSearchFrom);
    if (found == std::string::npos) return;
    FSearchFrom = found + awaited.size();
    FOutput += reply;
    ++FNextReply;
  }
}

void TFakeModem::Reply(std::string_view text) {
  FOutput += "\r\n";
  FOutput += text;
  FOutput += "\r\n";
}
