// The telnet layer over the TCP client: removes the host's commands from the received
// stream, answers its option negotiation and sends a break.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "comm/WSockets.h"

// Filters received blocks: data bytes pass, commands are removed, option requests are
// answered. Incomplete command sequences wait for the next block.
//
// Each option's state is kept for both sides, so that only a request that would change it
// is answered: a request for what is already in force goes unanswered, and a refused
// request is refused once, until the host withdraws it. Two sides that acknowledge each
// other's answers therefore stop after one exchange.
class TTelnetProtocol {
 public:
  // A subnegotiation that has not ended at IAC SE within this many bytes (from its IAC)
  // is given up: those bytes are dropped and what follows is data again.
  static constexpr std::size_t kSubnegotiationLimit = 4096;

  // Appends Received to the pending bytes and consumes every complete command and data
  // byte: Reply takes the answers for the host (empty if none), Data the data bytes in order.
  void Parse(const std::string& Received, std::string& Reply, std::string& Data);
  // Forgets the bytes of an incomplete sequence and every option's state (a new connection).
  void Reset();
  std::size_t PendingCount() const { return FPending.size(); }

 private:
  struct TOption {
    bool Enabled = false;
    bool Refused = false;  // a request to enable it was refused and not withdrawn since
  };
  using TOptions = std::array<TOption, 256>;

  void Negotiate(unsigned char verb, unsigned char option, std::string& Reply);
  // Where the subnegotiation whose IAC stands at Start stops: after its IAC SE (Ended), at
  // Start + kSubnegotiationLimit when it is given up, or at 0 while it may still end.
  struct TSubnegotiation {
    std::size_t End;
    bool Ended;
  };
  TSubnegotiation FindSubnegotiationEnd(std::size_t Start) const;
  void AnswerSubnegotiation(std::size_t Start, std::size_t End, std::string& Reply) const;

  std::string FPending;
  TOptions FHost;  // what the host does (WILL / WONT from it)
  TOptions FOurs;  // what this terminal does (DO / DONT to it)
};

class TTelnetClient : public TTCPClient {
 public:
  using TTCPClient::TTCPClient;

  // The received text with the commands removed; their answers are sent first, in one send.
  std::string ReceiveText() override;
  // Sends IAC BRK while connected; nothing otherwise, nor while the output queue is full.
  void SendBreak();

 protected:
  void StartingConnection() override { FProtocol.Reset(); }

 private:
  TTelnetProtocol FProtocol;
};
