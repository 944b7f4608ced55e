// A telnet connection as a transport: the telnet client holds what the host
// sends in its socket while held, so TCP holds the host back.
#pragma once

#include "comm/Transport.h"

class TTelnetClient;

class TTelnetTransport : public TTransport {
 public:
  explicit TTelnetTransport(QObject* parent = nullptr);

  // The entry's host name and its port; the status line shows the attempt,
  // or why a port text is no port.
  bool Open(const TAPData& entry) override;
  void Close() override;
  bool Send(const std::string& text) override;
  void SendBreak() override;
  void Hold(bool held) override;
  std::string TakeBlock() override;
  bool Pending() const override;
  bool Restartable() const override { return true; }

 private:
  void Failed(const std::string& message);
  void Closed();

  TTelnetClient* FClient;
  bool FAttempting = false;  // opened, not up yet
};
