// The host's telnet side: what it answers, what it passes on as data.
#include <gtest/gtest.h>

#include "demohost/HostTelnet.h"

namespace {

const std::string IAC = "\xff";
const std::string WILL = "\xfb", WONT = "\xfc", DO = "\xfd", DONT = "\xfe";
const std::string SB = "\xfa", SE = "\xf0";
const std::string ECHO = "\x01", SGA = "\x03", TTYPE = "\x18", NAWS = "\x1f";

struct TCase {
  const char* name;
  std::string received;
  std::string reply;
  std::string data;
  bool echoing;
};

TEST(HostTelnetTest, AnswersOptionsOnceAndPassesData) {
  const TCase cases[] = {
      {"agreement to the offers needs no answer", IAC + DO + ECHO + IAC + DO + SGA, "", "", true},
      {"other options are refused", IAC + DO + TTYPE + IAC + WILL + NAWS,
       IAC + WONT + TTYPE + IAC + DONT + NAWS, "", true},
      {"a refusal is acknowledged once", IAC + DONT + ECHO + IAC + DONT + ECHO, IAC + WONT + ECHO, "",
       false},
      {"a refusal of what the client may do needs no answer", IAC + WONT + TTYPE, "", "", true},
      {"a doubled 0xFF is one data byte", "a" + IAC + IAC + "b", "", "a\xff" "b", true},
      {"a subnegotiation is skipped, an IAC SE ends it",
       "x" + IAC + SB + NAWS + "\x00\x50" + IAC + IAC + IAC + SE + "y", "", "xy", true},
      {"two-byte commands are dropped", "p" + IAC + "\xf1" + "q", "", "pq", true},
  };
  for (const TCase& c : cases) {
    THostTelnet telnet;
    std::string reply, data;
    telnet.Parse(c.received, reply, data);
    EXPECT_EQ(reply, c.reply) << c.name;
    EXPECT_EQ(data, c.data) << c.name;
    EXPECT_EQ(telnet.Echoing(), c.echoing) << c.name;
  }
}

TEST(HostTelnetTest, CommandSplitBetweenBlocksIsCompleted) {
  THostTelnet telnet;
  std::string reply, data;
  for (const std::string& block : {"ab" + IAC, DO, TTYPE + "c" + IAC + SB, TTYPE + "\x01" + IAC, SE + "d"})
    telnet.Parse(block, reply, data);
  EXPECT_EQ(reply, IAC + WONT + TTYPE);
  EXPECT_EQ(data, "abcd");
}

TEST(HostTelnetTest, OffersEchoAndQuotesData) {
  EXPECT_EQ(THostTelnet::Offer(), IAC + WILL + ECHO + IAC + WILL + SGA);
  EXPECT_EQ(THostTelnet::Quote("a\xff" "b\xff"), "a\xff\xff" "b\xff\xff");
}

TEST(HostTelnetTest, EndlessSubnegotiationStoresNothing) {
  THostTelnet telnet;
  std::string reply, data;
  telnet.Parse(IAC + SB + TTYPE + std::string(1 << 20, 'x'), reply, data);
  telnet.Parse("still inside", reply, data);
  EXPECT_EQ(data, "");
  telnet.Parse(IAC + SE + "out", reply, data);
  EXPECT_EQ(data, "out");
}

}  // namespace
