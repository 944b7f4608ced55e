#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "comm/TelnetClient.h"
#include "support/EventWait.h"
#include "support/LoopbackPeer.h"
#include "support/RawHost.h"

namespace {

using namespace std::string_literals;

const std::string kTerminalTypeIsDumb = "\xFF\xFA\x18\x00"s + "DUMB\xFF\xF0";

struct TParseCase {
  const char* Name;
  std::vector<std::string> Blocks;
  // Per block: the reply and the data.
  std::vector<std::pair<std::string, std::string>> Expected;
};

const TParseCase kParseCases[] = {
    {"plain text passes unchanged", {"abc\r\n"}, {{"", "abc\r\n"}}},
    {"NUL is data", {"a\0b"s}, {{"", "a\0b"s}}},
    {"WILL ECHO is agreed", {"\xFF\xFB\x01"}, {{"\xFF\xFD\x01", ""}}},
    {"DO TERMINAL-TYPE is agreed", {"\xFF\xFD\x18"}, {{"\xFF\xFB\x18", ""}}},
    {"binary and go-ahead agreed both ways",
     {"\xFF\xFB\x00\xFF\xFD\x00\xFF\xFB\x03\xFF\xFD\x03"s},
     {{"\xFF\xFD\x00\xFF\xFB\x00\xFF\xFD\x03\xFF\xFB\x03"s, ""}}},
    {"other options are refused, in stream order",
     {"\xFF\xFB\x25x\xFF\xFD\x1Fy\xFF\xFD\x01"},
     {{"\xFF\xFE\x25\xFF\xFC\x1F\xFF\xFC\x01", "xy"}}},
    {"a state already in force is not confirmed",
     {"\xFF\xFC\x01\xFF\xFE\x18\xFF\xFB\x01", "\xFF\xFB\x01\xFF\xFD\x18\xFF\xFD\x18"},
     {{"\xFF\xFD\x01", ""}, {"\xFF\xFB\x18", ""}}},
    {"options are switched off and on again, each change answered",
     {"\xFF\xFB\x01\xFF\xFD\x03", "\xFF\xFC\x01\xFF\xFE\x03\xFF\xFC\x01",
      "\xFF\xFB\x01\xFF\xFD\x03"},
     {{"\xFF\xFD\x01\xFF\xFB\x03", ""},
      {"\xFF\xFE\x01\xFF\xFC\x03", ""},
      {"\xFF\xFD\x01\xFF\xFB\x03", ""}}},
    {"a refusal is said once until the request is withdrawn",
     {"\xFF\xFB\x25\xFF\xFB\x25\xFF\xFD\x01\xFF\xFD\x01", "\xFF\xFC\x25\xFF\xFE\x01",
      "\xFF\xFB\x25\xFF\xFD\x01"},
     {{"\xFF\xFE\x25\xFF\xFC\x01", ""}, {"", ""}, {"\xFF\xFE\x25\xFF\xFC\x01", ""}}},
    {"terminal type request is answered once agreed",
     {"\xFF\xFA\x18\x01\xFF\xF0", "\xFF\xFD\x18\xFF\xFA\x18\x01\xFF\xF0"},
     {{"", ""}, {"\xFF\xFB\x18" + kTerminalTypeIsDumb, ""}}},
    {"other subnegotiations are removed unanswered",
     {"a\xFF\xFA\x1F\x00\x50\x00\x18\xFF\xF0z"s},
     {{"", "az"}}},
    {"only IAC SE ends a subnegotiation",
     {"\xFF\xFA\x05\xF0"
      "abc\xFF\xFF\xF0\xFF\xF0z"},
     {{"", "z"}}},
    {"two-byte commands vanish",
     {"a\xFF\xF1\xFF\xF2\xFF\xF3\xFF\xF4\xFF\xF5\xFF\xF6\xFF\xF7\xFF\xF8\xFF\xF9z"},
     {{"", "az"}}},
    {"stray IAC is dropped, doubled IAC is one data byte",
     {"\xFF\x41\xFF\xFF\xFF\x00"s},
     {{"", "A\xFF\x00"s}}},
    {"IAC split from its command",
     {"abc\xFF", "\xFB\x03\x41"},
     {{"", "abc"}, {"\xFF\xFD\x03", "A"}}},
    {"option byte in the next block", {"\xFF\xFB", "\x03"}, {{"", ""}, {"\xFF\xFD\x03", ""}}},
    {"subnegotiation split over blocks",
     {"\xFF\xFD\x18x\xFF\xFA\x18", "\x01\xFF", "\xF0y"},
     {{"\xFF\xFB\x18", "x"}, {"", ""}, {kTerminalTypeIsDumb, "y"}}},
};

// A telnet client and a loopback host; the text the client returns is collected, read once
// per OnData as the main window does.
class TelnetClient : public testing::Test {
 protected:
  TelnetClient() {
    Client.OnData = [this](TTCPClient* Sender, TSocket) { Text += Sender->ReceiveText(); };
    Client.Host = "127.0.0.1";
    Client.Port = std::to_string(Peer.Port());
  }
  TLoopbackPeer Peer;
  TTelnetClient Client;
  std::string Text;
};

}  // namespace

TEST(TelnetProtocol, ParsesEachBlock) {
  for (const auto& [name, blocks, expected] : kParseCases) {
    SCOPED_TRACE(name);
    TTelnetProtocol protocol;
    ASSERT_EQ(blocks.size(), expected.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
      std::string reply = "stale";
      std::string data = "stale";
      protocol.Parse(blocks[i], reply, data);
      EXPECT_EQ(reply, expected[i].first) << "block " << i;
      EXPECT_EQ(data, expected[i].second) << "block " << i;
    }
    EXPECT_EQ(protocol.PendingCount(), 0u);
  }
}

// An unended subnegotiation is given up at its bound; what follows is text again.
TEST(TelnetProtocol, UnendedSubnegotiationIsGivenUpAtItsBound) {
  TTelnetProtocol protocol;
  std::string reply;
  std::string data;
  std::string text;
  protocol.Parse("a\xFF\xFA\x18", reply, data);
  text += data;
  for (int i = 0; i < 5; ++i) {
    protocol.Parse(std::string(1024, 'x'), reply, data);
    text += data;
    EXPECT_LT(protocol.PendingCount(), TTelnetProtocol::kSubnegotiationLimit);
  }
  protocol.Parse("line\r\n", reply, data);
  text += data;
  EXPECT_EQ(reply, "");
  EXPECT_EQ(text, "a" + std::string(5 * 1024 + 3 - TTelnetProtocol::kSubnegotiationLimit, 'x') +
                      "line\r\n");
  EXPECT_EQ(protocol.PendingCount(), 0u);
}

TEST_F(TelnetClient, AnswersReachTheHostAndSplitSequencesJoin) {
  Client.Open();
  ASSERT_TRUE(Peer.WaitForConnections(1));
  Peer.Send("\xFF\xFB\x01\xFF\xFD\x18Hi\xFF");  // WILL ECHO, DO TERMINAL-TYPE
  ASSERT_TRUE(Peer.WaitForReceived(6));
  ASSERT_TRUE(WaitUntil([&] { return Text == "Hi"; }));
  EXPECT_EQ(Peer.Received(), "\xFF\xFD\x01\xFF\xFB\x18");

  Peer.Send("\xFB\x03!\xFF\xFA\x18");
  ASSERT_TRUE(WaitUntil([&] { return Text == "Hi!"; }));
  Peer.Send("\x01\xFF\xF0.");
  ASSERT_TRUE(WaitUntil([&] { return Text == "Hi!."; }));
  ASSERT_TRUE(Peer.WaitForReceived(6 + 3 + 10));
  EXPECT_EQ(Peer.Received(), "\xFF\xFD\x01\xFF\xFB\x18\xFF\xFD\x03" + kTerminalTypeIsDumb);
}

TEST_F(TelnetClient, BreakIsSentOnlyWhileConnected) {
  Client.SendBreak();
  EXPECT_EQ(Client.LastError(), 0);

  Client.Open();
  Client.SendBreak();  // still connecting
  ASSERT_TRUE(WaitUntil([&] { return Client.Status() == TSocketStatus::Connected; }));
  Client.SendBreak();
  ASSERT_TRUE(Peer.WaitForReceived(2));
  RunEventsFor(50);
  EXPECT_EQ(Peer.Received(), "\xFF\xF3");
}

TEST_F(TelnetClient, NewConnectionForgetsAnIncompleteSequence) {
  Client.Open();
  ASSERT_TRUE(Peer.WaitForConnections(1));
  Peer.Send("a\xFF\xFA\x05unfinished");
  ASSERT_TRUE(WaitUntil([&] { return Text == "a"; }));
  Client.Close();

  Client.Open();
  ASSERT_TRUE(Peer.WaitForConnections(2));
  Peer.Send("login\xF0:");
  ASSERT_TRUE(WaitUntil([&] { return Text == "alogin\xF0:"; })) << Text;
}

namespace {

// The answer a host gives when it acknowledges every command, as a terminal that keeps no
// option state does: DO for WILL, WILL for DO, DONT for WONT, WONT for DONT.
std::string AcknowledgeEach(const std::string& commands) {
  std::string answers;
  for (size_t i = 0; i + 2 < commands.size(); i += 3) {
    const auto verb = static_cast<unsigned char>(commands[i + 1]);
    const unsigned char answer = verb == 0xFB ? 0xFD : verb == 0xFD ? 0xFB : verb == 0xFC ? 0xFE : 0xFC;
    answers += {'\xFF', static_cast<char>(answer), commands[i + 2]};
  }
  return answers;
}

}  // namespace

TEST_F(TelnetClient, NegotiationWithAHostThatAcknowledgesEverythingEnds) {
  Client.Open();
  ASSERT_TRUE(Peer.WaitForConnections(1));
  // ECHO and SGA offered, TERMINAL-TYPE and NAWS asked for, an unknown option offered,
  // BINARY switched off while off.
  Peer.Send("\xFF\xFB\x01\xFF\xFB\x03\xFF\xFD\x18\xFF\xFD\x1F\xFF\xFB\x25\xFF\xFC\x00");
  size_t answered = 0;
  int exchanges = 0;
  while (Peer.WaitForReceived(static_cast<qsizetype>(answered) + 1, 300)) {
    ASSERT_LT(++exchanges, 10) << "the negotiation does not end";
    RunEventsFor(20);
    const std::string received = Peer.Received();
    Peer.Send(AcknowledgeEach(received.substr(answered)));
    answered = received.size();
  }
  EXPECT_EQ(Peer.Received(), "\xFF\xFD\x01\xFF\xFD\x03\xFF\xFB\x18\xFF\xFC\x1F\xFF\xFE\x25");
  EXPECT_EQ(Client.Status(), TSocketStatus::Connected);
}

// A host that asks for the terminal type again and again but never reads: the answers and
// the user's text together stay within the bound, the user's text past it is refused, the
// client stops reading so that TCP holds the host back, and all goes on once the host reads.
TEST(TelnetClientOutput, AHostThatNeverReadsIsHeldBackAtTheBound) {
  TRawHost host;
  TTelnetClient client;
  std::string text;
  client.OnData = [&](TTCPClient* sender, TSocket) { text += sender->ReceiveText(); };
  client.Host = "127.0.0.1";
  client.Port = std::to_string(host.Port());
  client.Open();
  ASSERT_TRUE(WaitUntil([&] { return client.Status() == TSocketStatus::Connected; }));
  ASSERT_TRUE(host.Accept());

  std::string requests = "\xFF\xFD\x18";
  for (int i = 0; i < 1000; ++i) requests += "\xFF\xFA\x18\x01\xFF\xF0";
  size_t written = 0;
  const std::string userText(64 * 1024, 'u');
  bool refused = false;
  for (int round = 0; round < 2000 && !refused; ++round) {
    written += host.Write(requests.substr(written % requests.size()));
    RunEventsFor(1);
    if (!client.SendText(userText)) refused = true;
    ASSERT_LE(client.Unsent(), TTCPClient::kMaxUnsent);
  }
  ASSERT_TRUE(refused);
  // Held back: what the host writes now stays in the network.
  for (int round = 0; round < 200; ++round) {
    written += host.Write(requests.substr(written % requests.size()));
    RunEventsFor(1);
    ASSERT_LE(client.Unsent(), TTCPClient::kMaxUnsent);
  }
  const size_t heldBack = written;
  for (int round = 0; round < 50; ++round) {
    written += host.Write(requests);
    RunEventsFor(2);
  }
  EXPECT_LT(written - heldBack, requests.size()) << "the client keeps reading";

  // Once the host reads, the client reads again and its text goes out.
  host.Write("\r\nend\r\n");
  EXPECT_TRUE(WaitUntil([&] {
    host.Drain();
    host.Write("\r\nend\r\n");
    return text.find("end") != std::string::npos;
  }, 20000));
  EXPECT_TRUE(client.SendText(userText));
}
