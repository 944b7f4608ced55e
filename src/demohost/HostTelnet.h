#pragma once
// The host's side of telnet: offers to echo and to leave out go-aheads,
// answers the client's option commands without ever looping, removes
// commands from the received stream and doubles 0xFF in sent data.

#include <string>
#include <string_view>

class THostTelnet {
 public:
  // IAC WILL ECHO, IAC WILL SUPPRESS-GO-AHEAD: sent once when a client connects.
  static std::string Offer();
  // Data with every 0xFF byte doubled, ready to be sent.
  static std::string Quote(std::string_view data);

  // Consumes received bytes: data bytes are appended to Data, answers for the
  // client to Reply. A command split between two blocks is completed by the
  // next one; a subnegotiation is skipped without being stored.
  void Parse(std::string_view received, std::string& reply, std::string& data);
  // True while the client lets the host echo what it types.
  bool Echoing() const { return FEcho; }

 private:
  enum class TState { Data, Command, Option, Subnegotiation, SubnegotiationCommand };
  void AnswerOption(unsigned char verb, unsigned char option, std::string& reply);
  bool* HostOption(unsigned char option);

  TState FState = TState::Data;
  unsigned char FVerb = 0;
  bool FEcho = true;
  bool FSuppressGoAhead = true;
};
