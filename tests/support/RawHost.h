// A loopback TCP host on plain sockets, for hosts that misbehave: it reads
// only when told to, so that TCP holds the client back, and writes without
// blocking as much as the network takes.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QtGlobal>
#include <string>

class TRawHost {
 public:
  // Listens on 127.0.0.1 at a free port with small socket buffers.
  TRawHost() {
    FListener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int small = 16 * 1024;
    setsockopt(FListener, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    setsockopt(FListener, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        listen(FListener, 4) == 0 &&
        getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      FPort = ntohs(address.sin_port);
  }
  ~TRawHost() {
    if (FClient >= 0) close(FClient);
    if (FListener >= 0) close(FListener);
  }
  TRawHost(const TRawHost&) = delete;
  TRawHost& operator=(const TRawHost&) = delete;

  quint16 Port() const { return FPort; }

  // Takes the connection that waits (the kernel has completed it already).
  bool Accept() {
    FClient = accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    return FClient >= 0;
  }
  // Writes as much of Bytes as the network takes now; the count written.
  size_t Write(const std::string& Bytes) {
    const ssize_t written = send(FClient, Bytes.data(), Bytes.size(), MSG_NOSIGNAL);
    return written > 0 ? static_cast<size_t>(written) : 0;
  }
  // Reads and discards what has arrived; the count read.
  size_t Drain() {
    size_t total = 0;
    char buffer[65536];
    for (ssize_t got; (got = recv(FClient, buffer, sizeof buffer, 0)) > 0;)
      total += static_cast<size_t>(got);
    return total;
  }

 private:
  int FListener = -1;
  int FClient = -1;
  quint16 FPort = 0;
};
