#include "demohost/HostTelnet.h"

#include "comm/TelnetCodes.h"

namespace {

using namespace TelnetCode;

std::string Command(unsigned char verb, unsigned char option) {
  return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

}  // namespace

std::string THostTelnet::Offer() {
  return Command(kWill, kEcho) + Command(kWill, kSuppressGoAhead);
}

std::string THostTelnet::Quote(std::string_view data) {
  std::string quoted;
  quoted.reserve(data.size());
  for (char byte : data) {
    quoted += byte;
    if (static_cast<unsigned char>(byte) == kIac) quoted += byte;
  }
  return quoted;
}

void THostTelnet::Parse(std::string_view received, std::string& reply, std::string& data) {
  for (char c : received) {
    const auto byte = static_cast<unsigned char>(c);
    switch (FState) {
      case TState::Data:
        if (byte == kIac)
          FState = TState::Command;
        else
          data += c;
        break;
      case TState::Command:
        if (byte == kIac) {
          data += c;
          FState = TState::Data;
        } else if (byte >= kWill && byte <= kDont) {
          FVerb = byte;
          FState = TState::Option;
        } else {
          FState = byte == kSb ? TState::Subnegotiation : TState::Data;
        }
        break;
      case TState::Option:
        AnswerOption(FVerb, byte, reply);
        FState = TState::Data;
        break;
      case TState::Subnegotiation:
        if (byte == kIac) FState = TState::SubnegotiationCommand;
        break;
      case TState::SubnegotiationCommand:
        FState = byte == kSe ? TState::Data : TState::Subnegotiation;
        break;
    }
  }
}

// The host's own options that the client may switch; none for the others.
bool* THostTelnet::HostOption(unsigned char option) {
  if (option == kEcho) return &FEcho;
  if (option == kSuppressGoAhead) return &FSuppressGoAhead;
  return nullptr;
}

// Answers only a request that changes a state, so that two peers never
// answer each other's answers: the host never asks the client to enable
// anything, so WONT needs no answer and WILL is always refused.
void THostTelnet::AnswerOption(unsigned char verb, unsigned char option, std::string& reply) {
  bool* enabled = HostOption(option);
  switch (verb) {
    case kWill:
      reply += Command(kDont, option);
      break;
    case kDo:
      if (!enabled)
        reply += Command(kWont, option);
      else if (!*enabled)
        reply += Command(kWill, option);
      if (enabled) *enabled = true;
      break;
    case kDont:
      if (enabled && *enabled) reply += Command(kWont, option);
      if (enabled) *enabled = false;
      break;
    default:  // WONT: nothing was asked of the client
      break;
  }
}
