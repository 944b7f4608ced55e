// Helpers for the telephony tests: a pseudo-terminal pair, bounded waits and
// settings kept in a temporary folder.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <string>

// Runs the event loop until `done` holds or `timeoutMs` pass.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    QCoreApplication::processEvents();
    if (done()) return true;
    if (clock.elapsed() > timeoutMs) return false;
    QThread::msleep(5);
  }
}

// Runs the event loop for `ms`, to show that nothing more arrives.
inline void ProcessEventsFor(int ms) {
  WaitUntil([] { return false; }, ms);
}

// A raw pseudo-terminal: the port side is what the code under test opens, the
// peer side plays the far end.
class TPtyPair {
 public:
  TPtyPair() {
    char name[256] = {};
    if (::openpty(&Peer, &Port, name, nullptr, nullptr) != 0) return;
    PortPath = name;
    termios raw{};
    ::tcgetattr(Port, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(Port, TCSANOW, &raw);
  }
  ~TPtyPair() {
    ClosePeer();
    if (Port >= 0) ::close(Port);
  }
  // Hands the port side over to the code under test.
  int TakePort() {
    const int port = Port;
    Port = -1;
    return port;
  }
  void ClosePeer() {
    if (Peer >= 0) ::close(Peer);
    Peer = -1;
  }
  void Send(const std::string& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t written = ::write(Peer, bytes.data() + done, bytes.size() - done);
      if (written <= 0) return;
      done += static_cast<std::size_t>(written);
    }
  }
  // Reads what the far end receives until `expected` bytes came or `timeoutMs`
  // passed without any.
  std::string Receive(std::size_t expected, int timeoutMs = 5000) const {
    std::string received;
    pollfd peer{Peer, POLLIN, 0};
    while (received.size() < expected && ::poll(&peer, 1, timeoutMs) == 1) {
      char buffer[4096];
      const ssize_t got = ::read(Peer, buffer, sizeof buffer);
      if (got <= 0) break;
      received.append(buffer, static_cast<std::size_t>(got));
    }
    return received;
  }

  int Peer = -1;
  int Port = -1;
  std::string PortPath;
};

// Points the settings store at a fresh temporary folder for one test.
class TTempSettings {
 public:
  TTempSettings() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Folder.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Folder.path());
  }
  QString Path() const { return Folder.path(); }

 private:
  QTemporaryDir Folder;
};
