#include "comm/TelnetClient.h"

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

// One answer to every option command, with no record of option states: agree to what this
// terminal supports, refuse the rest, and acknowledge every refusal.
unsigned char AnsweringVerb(unsigned char verb, unsigned char option) {
  switch (verb) {
    case kWill:
      return HostMayEnable(option) ? kDo : kDont;
    case kDo:
      return WeMayEnable(option) ? kWill : kWont;
    case kWont:
      return kDont;
    default:  // DONT
      return kWont;
  }
}

// The body is what stands between SB and SE. Only a request for the terminal type is answered.
void AnswerSubnegotiation(const std::string& body, std::string& reply) {
  if (body.size() < 2 || static_cast<unsigned char>(body[0]) != kTerminalType ||
      static_cast<unsigned char>(body[1]) != kTerminalTypeSend) {
    return;
  }
  reply += {static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kTerminalType),
            static_cast<char>(kTerminalTypeIs)};
  reply += kTerminalName;
  reply += {static_cast<char>(kIac), static_cast<char>(kSe)};
}

}  // namespace

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
      // The first SE ends the subnegotiation, whatever stands before it.
      const std::size_t end = bytes.find(static_cast<char>(kSe), consumed + 2);
      if (end == std::string::npos) break;
      AnswerSubnegotiation(bytes.substr(consumed + 2, end - consumed - 2), Reply);
      consumed = end + 1;
    } else if (command >= kWill && command <= kDont) {
      if (consumed + 2 == count) break;  // the option byte has not arrived
      const auto option = static_cast<unsigned char>(bytes[consumed + 2]);
      Reply += {static_cast<char>(kIac), static_cast<char>(AnsweringVerb(command, option)),
                static_cast<char>(option)};
      consumed += 3;
    } else if (command == kIac) {
      Data += static_cast<char>(kIac);
      consumed += 2;
    } else {
      ++consumed;  // a stray IAC is dropped; the byte after it is data
    }
  }
  FPending.erase(0, consumed);
  // Only an unterminated subnegotiation can outgrow the pending area. Its body so far is
  // dropped; IAC SB and the option stay pending, so the rest of it, up to its SE, is still
  // removed from the text when it arrives.
  if (FPending.size() > kPendingCapacity) FPending.resize(3);
}

std::string TTelnetClient::ReceiveText() {
  std::string reply;
  std::string text;
  FProtocol.Parse(TTCPClient::ReceiveText(), reply, text);
  if (!reply.empty()) SendText(reply);
  return text;
}

void TTelnetClient::SendBreak() {
  if (Status() != TSocketStatus::Connected) return;
  SendText({static_cast<char>(kIac), static_cast<char>(kBreak)});
}
