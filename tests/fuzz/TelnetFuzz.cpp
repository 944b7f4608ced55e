// The telnet filter against a model of the whole stream: the stream is cut
// into up to 15 received blocks at points the input chooses; together the
// blocks must give the stream's data bytes with every command removed, and
// exactly the answers of the negotiation table below: each option's state is
// kept for both sides, only a change is answered, a refusal is said once until
// the request is withdrawn. A subnegotiation ends only at IAC SE and is given
// up when it has not ended within its bound.

#include <algorithm>
#include <array>
#include <vector>

#include "comm/TelnetClient.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"

namespace {

constexpr unsigned char kIac = 0xFF, kDont = 0xFE, kDo = 0xFD, kWont = 0xFC, kWill = 0xFB;
constexpr unsigned char kSb = 0xFA, kSe = 0xF0, kNop = 0xF1, kGa = 0xF9;
constexpr unsigned char kTerminalType = 24;
constexpr size_t kLimit = TTelnetProtocol::kSubnegotiationLimit;

unsigned char At(const std::string& s, size_t i) {
  return static_cast<unsigned char>(s[i]);
}

// One side of one option: off, on, or off with a refusal said.
enum class TSide { Off, On, Refused };

struct TStep {
  TSide Next;
  unsigned char Answer;  // 0: none
};

// The negotiation table: what a request does to a side in each state.
TStep Step(bool enable, bool supported, TSide side, unsigned char agree, unsigned char refuse) {
  if (!enable) return side == TSide::On ? TStep{TSide::Off, refuse} : TStep{TSide::Off, 0};
  if (side == TSide::On) return {TSide::On, 0};
  if (supported) return {TSide::On, agree};
  return side == TSide::Refused ? TStep{TSide::Refused, 0} : TStep{TSide::Refused, refuse};
}

struct TExpected {
  std::string Data;
  std::string Reply;
  size_t Pending = 0;  // bytes of the unfinished command at the end
};

// Where a subnegotiation starting at i stops: {end, ended}; {0, false} while open.
std::pair<size_t, bool> SubnegotiationEnd(const std::string& s, size_t i) {
  for (size_t k = i + 2; k + 1 < s.size() && k + 1 < i + kLimit; ++k) {
    if (At(s, k) != kIac) continue;
    if (At(s, k + 1) == kSe) return {k + 2, true};
    ++k;
  }
  if (s.size() - i >= kLimit) return {i + kLimit, false};
  return {0, false};
}

TExpected Model(const std::string& s) {
  std::array<TSide, 256> host{}, ours{};
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
      const auto [end, ended] = SubnegotiationEnd(s, i);
      if (end == 0) break;
      if (ended && end >= i + 6 && At(s, i + 2) == kTerminalType && At(s, i + 3) == 1 &&
          ours[kTerminalType] == TSide::On)
        expected.Reply += std::string("\xFF\xFA\x18\x00", 4) + "DUMB\xFF\xF0";
      i = end;
    } else if (command >= kWill) {
      if (i + 2 == s.size()) break;
      const unsigned char option = At(s, i + 2);
      const bool hostSide = command == kWill || command == kWont;
      const bool enable = command == kWill || command == kDo;
      const bool supported = hostSide ? (option == 0 || option == 1 || option == 3)
                                      : (option == 0 || option == 3 || option == kTerminalType);
      TSide& side = hostSide ? host[option] : ours[option];
      const TStep step = hostSide ? Step(enable, supported, side, kDo, kDont)
                                  : Step(enable, supported, side, kWill, kWont);
      side = step.Next;
      if (step.Answer != 0)
        expected.Reply += {static_cast<char>(kIac), static_cast<char>(step.Answer), s[i + 2]};
      i += 3;
    } else {
      ++i;  // a stray IAC: the byte after it is data
    }
  }
  expected.Pending = s.size() - i;
  return expected;
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
    FUZZ_CHECK(protocol.PendingCount() < kLimit);
    replies += reply;
    text += block;
    from = cut;
  }
  const TExpected expected = Model(stream);
  FUZZ_CHECK(text == expected.Data);
  FUZZ_CHECK(replies == expected.Reply);
  FUZZ_CHECK(protocol.PendingCount() == expected.Pending);
  return 0;
}
