// The telnet layer over the TCP client: removes the host's commands from the received
// stream, answers its option negotiation and sends a break.
#pragma once

#include <cstddef>
#include <string>

#include "comm/WSockets.h"

// Filters received blocks: data bytes pass, commands are removed, option requests are
// answered. Incomplete command sequences wait for the next block.
class TTelnetProtocol {
 public:
  // At most this many bytes wait for the rest of a command sequence.
  static constexpr std::size_t kPendingCapacity = 4095;

  // Appends Received to the pending bytes and consumes every complete command and data
  // byte: Reply takes the answers for the host (empty if none), Data the data bytes in order.
  void Parse(const std::string& Received, std::string& Reply, std::string& Data);
  // Forgets the bytes of an incomplete sequence.
  void Reset() { FPending.clear(); }
  std::size_t PendingCount() const { return FPending.size(); }

 private:
  std::string FPending;
};

class TTelnetClient : public TTCPClient {
 public:
  using TTCPClient::TTCPClient;

  // The received text with the commands removed; their answers are sent first, in one send.
  std::string ReceiveText() override;
  // Sends IAC BRK while connected; nothing otherwise.
  void SendBreak();

 protected:
  void StartingConnection() override { FProtocol.Reset(); }

 private:
  TTelnetProtocol FProtocol;
};
