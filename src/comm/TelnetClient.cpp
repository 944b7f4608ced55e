#include "comm/TelnetClient.h"

#include <algorithm>

#include "comm/TelnetCodes.h"

namespace {

using namespace TelnetCode;

constexpr unsigned char kFirstTwoByteCommand = 0xF1;  // NOP
constexpr unsigned char kLastTwoByteCommand = 0xF9;   // GA
constexpr unsigned char kBreak = 0xF3;

constexpr unsigned char kBinary = 0;
constexpr unsigned char kTerminalType = 24;
constexpr unsigned char kTerminalTypeIs = 0;
constexpr unsigned char kTerminalTypeSend = 1;
constexpr char kTerminalName[] = "DUMB";

// The host may send binary data and leave out go-aheads, and it echoes what we type.
bool HostMayEnable(unsigned char option) {
  return option == kBinary || option == kEcho || option == kSuppressGoAhead;
}

// We send binary data, never send go-aheads and tell our terminal type; we never echo.
bool WeMayEnable(unsigned char option) {
  return option == kBinary || option == kSuppressGoAhead || option == kTerminalType;
}

char Byte(unsigned char value) {
  return static_cast<char>(value);
}

void AppendCommand(std::string& reply, unsigned char verb, unsigned char option) {
  reply += {Byte(kIac), Byte(verb), Byte(option)};
}

}  // namespace

void TTelnetProtocol::Reset() {
  FPending.clear();
  FHost = {};
  FOurs = {};
}

// WILL and DO ask to enable an option, WONT and DONT to disable it. Only a change is
// answered; a request this terminal cannot grant is refused once.
void TTelnetProtocol::Negotiate(unsigned char verb, unsigned char option, std::string& Reply) {
  const bool hostSide = verb == kWill || verb == kWont;
  TOption& state = hostSide ? FHost[option] : FOurs[option];
  const unsigned char agree = hostSide ? kDo : kWill;
  const unsigned char refuse = hostSide ? kDont : kWont;
  if (verb == kWont || verb == kDont) {
    state.Refused = false;
    if (!state.Enabled) return;
    state.Enabled = false;
    AppendCommand(Reply, refuse, option);
    return;
  }
  if (state.Enabled) return;
  if (hostSide ? HostMayEnable(option) : WeMayEnable(option)) {
    state.Enabled = true;
    AppendCommand(Reply, agree, option);
  } else if (!state.Refused) {
    state.Refused = true;
    AppendCommand(Reply, refuse, option);
  }
}

// Inside a subnegotiation IAC IAC is a data byte and only IAC SE ends it; a lone SE is
// part of it.
TTelnetProtocol::TSubnegotiation TTelnetProtocol::FindSubnegotiationEnd(
    std::size_t Start) const {
  const std::size_t window = std::min(FPending.size(), Start + kSubnegotiationLimit);
  for (std::size_t i = Start + 2; i + 1 < window; ++i) {
    if (static_cast<unsigned char>(FPending[i]) != kIac) continue;
    if (static_cast<unsigned char>(FPending[i + 1]) == kSe) return {i + 2, true};
    ++i;
  }
  if (FPending.size() - Start >= kSubnegotiationLimit) return {Start + kSubnegotiationLimit, false};
  return {0, false};
}

// Only a request for the terminal type is answered, and only once this terminal has
// agreed to tell it.
void TTelnetProtocol::AnswerSubnegotiation(std::size_t Start, std::size_t End,
                                           std::string& Reply) const {
  if (End < Start + 6 || !FOurs[kTerminalType].Enabled ||
      static_cast<unsigned char>(FPending[Start + 2]) != kTerminalType ||
      static_cast<unsigned char>(FPending[Start + 3]) != kTerminalTypeSend) {
    return;
  }
  Reply += {Byte(kIac), Byte(kSb), Byte(kTerminalType), Byte(kTerminalTypeIs)};
  Reply += kTerminalName;
  Reply += {Byte(kIac), Byte(kSe)};
}

void TTelnetProtocol::Parse(const std::string& Received, std::string& Reply, std::string& Data) {
  FPending += Received;
  Reply.clear();
  Data.clear();
  const std::string& bytes = FPending;
  const std::size_t count = bytes.size();
  std::size_t consumed = 0;
  while (consumed < count) {
    const auto byte = static_cast<unsigned char>(bytes[consumed]);
    if (byte != kIac) {
      Data += bytes[consumed++];
      continue;
    }
    if (consumed + 1 == count) break;  // the command byte has not arrived
    const auto command = static_cast<unsigned char>(bytes[consumed + 1]);
    if (command >= kFirstTwoByteCommand && command <= kLastTwoByteCommand) {
      consumed += 2;
    } else if (command == kSb) {
      const TSubnegotiation found = FindSubnegotiationEnd(consumed);
      if (found.End == 0) break;
      if (found.Ended) AnswerSubnegotiation(consumed, found.End, Reply);
      consumed = found.End;
    } else if (command >= kWill && command <= kDont) {
      if (consumed + 2 == count) break;  // the option byte has not arrived
      Negotiate(command, static_cast<unsigned char>(bytes[consumed + 2]), Reply);
      consumed += 3;
    } else if (command == kIac) {
      Data += static_cast<char>(kIac);
      consumed += 2;
    } else {
      ++consumed;  // a stray IAC is dropped; the byte after it is data
    }
  }
  FPending.erase(0, consumed);
}

std::string TTelnetClient::ReceiveText() {
  std::string reply;
  std::string text;
  FProtocol.Parse(TTCPClient::ReceiveText(), reply, text);
  if (!reply.empty()) SendAnswer(reply);
  return text;
}

void TTelnetClient::SendBreak() {
  if (Status() != TSocketStatus::Connected) return;
  SendText({Byte(kIac), Byte(kBreak)});
}
