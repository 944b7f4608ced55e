// The telnet filter against a model of the whole stream: the stream is cut
// into up to 15 received blocks at points the input chooses; together the
// blocks must give the stream's data bytes with every command removed, and one
// answer per option command that agrees only to options this terminal
// supports.

#include <algorithm>
#include <vector>

#include "comm/TelnetClient.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"

namespace {

constexpr unsigned char kIac = 0xFF, kDont = 0xFE, kDo = 0xFD, kWont = 0xFC, kWill = 0xFB;
constexpr unsigned char kSb = 0xFA, kSe = 0xF0, kNop = 0xF1, kGa = 0xF9;
constexpr unsigned char kTerminalType = 24;

struct TExpected {
  std::string Data;
  std::vector<std::string> OptionCommands;  // each IAC verb option received
  int TerminalTypeRequests = 0;
  size_t Pending = 0;  // bytes of the unfinished command at the end
};

unsigned char At(const std::string& s, size_t i) {
  return static_cast<unsigned char>(s[i]);
}

TExpected Model(const std::string& s) {
  TExpected expected;
  size_t i = 0;
  while (i < s.size()) {
    if (At(s, i) != kIac) {
      expected.Data += s[i++];
      continue;
    }
    if (i + 1 == s.size()) break;
    const unsigned char command = At(s, i + 1);
    if (command == kIac) {
      expected.Data += s[i + 1];
      i += 2;
    } else if (command >= kNop && command <= kGa) {
      i += 2;
    } else if (command == kSb) {
      const size_t end = s.find(static_cast<char>(kSe), i + 2);
      if (end == std::string::npos) break;
      if (end >= i + 4 && At(s, i + 2) == kTerminalType && At(s, i + 3) == 1)
        ++expected.TerminalTypeRequests;
      i = end + 1;
    } else if (command >= kWill) {
      if (i + 2 == s.size()) break;
      expected.OptionCommands.push_back(s.substr(i, 3));
      i += 3;
    } else {
      ++i;  // a stray IAC: the byte after it is data
    }
  }
  expected.Pending = s.size() - i;
  return expected;
}

// The answer to `command` must use the verb of its pair and name the same
// option; an option this terminal does not support is always refused.
void CheckAnswer(const std::string& command, const std::string& answer) {
  const unsigned char verb = At(command, 1), option = At(command, 2);
  const unsigned char reply = At(answer, 1);
  FUZZ_CHECK(At(answer, 0) == kIac && At(answer, 2) == option);
  const bool hostMay = option == 0 || option == 1 || option == 3;
  const bool weMay = option == 0 || option == 3 || option == kTerminalType;
  switch (verb) {
    case kWill: FUZZ_CHECK(reply == kDont || (hostMay && reply == kDo)); break;
    case kDo: FUZZ_CHECK(reply == kWont || (weMay && reply == kWill)); break;
    case kWont: FUZZ_CHECK(reply == kDont); break;
    default: FUZZ_CHECK(verb == kDont && reply == kWont); break;
  }
}

void CheckReplies(const std::string& replies, const TExpected& expected) {
  const std::string terminalType = std::string("\xFF\xFA\x18\x00", 4) + "DUMB\xFF\xF0";
  size_t pos = 0;
  size_t answered = 0;
  int terminalTypes = 0;
  while (pos < replies.size()) {
    if (replies.compare(pos, terminalType.size(), terminalType) == 0) {
      ++terminalTypes;
      pos += terminalType.size();
      continue;
    }
    FUZZ_CHECK(answered < expected.OptionCommands.size() && pos + 3 <= replies.size());
    CheckAnswer(expected.OptionCommands[answered++], replies.substr(pos, 3));
    pos += 3;
  }
  FUZZ_CHECK(answered == expected.OptionCommands.size());
  FUZZ_CHECK(terminalTypes == expected.TerminalTypeRequests);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput input(data, size);
  std::vector<size_t> cuts(input.Byte() % 16);
  for (size_t& cut : cuts) cut = input.Word();
  const std::string stream = input.Rest();
  for (size_t& cut : cuts) cut %= stream.size() + 1;
  std::sort(cuts.begin(), cuts.end());
  cuts.push_back(stream.size());

  TTelnetProtocol protocol;
  std::string replies, text, reply, block;
  size_t from = 0;
  for (size_t cut : cuts) {
    protocol.Parse(stream.substr(from, cut - from), reply, block);
    FUZZ_CHECK(protocol.PendingCount() <= TTelnetProtocol::kPendingCapacity);
    replies += reply;
    text += block;
    from = cut;
  }
  // A subnegotiation longer than the pending area loses its body on purpose;
  // the model holds for every stream that fits in it.
  if (stream.size() > TTelnetProtocol::kPendingCapacity) return 0;
  const TExpected expected = Model(stream);
  FUZZ_CHECK(text == expected.Data);
  FUZZ_CHECK(protocol.PendingCount() == expected.Pending);
  CheckReplies(replies, expected);
  return 0;
}
