#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <map>
#include <stdexcept>
#include <vector>

#include "comm/WSockets.h"
#include "support/EventWait.h"
#include "support/LoopbackPeer.h"

namespace {

// What a client's events reported, in order.
struct TClientLog {
  std::vector<std::string> Events;
  std::vector<size_t> ReadSizes;
  std::string Text;
  std::vector<int> Errors;
  std::vector<std::string> ErrorTexts;
  TSocketStatus StatusInOnConnect = TSocketStatus::NotStarted;
};

// Wires every event of Client into Log; OnData reads once per event, as the main window does.
void Record(TTCPClient& Client, TClientLog& Log, bool ReadOnData = true) {
  Client.OnConnect = [&Log](TTCPClient* Sender, TSocket) {
    Log.Events.push_back("connect");
    Log.StatusInOnConnect = Sender->Status();
  };
  Client.OnData = [&Log, ReadOnData](TTCPClient* Sender, TSocket) {
    Log.Events.push_back("data");
    if (!ReadOnData) return;
    const std::string text = Sender->ReceiveText();
    Log.ReadSizes.push_back(text.size());
    Log.Text += text;
  };
  Client.OnClose = [&Log](TTCPClient*, TSocket) { Log.Events.push_back("close"); };
  Client.OnError = [&Log](TCustomWSocket*, int Error, const std::string& Msg) {
    Log.Errors.push_back(Error);
    Log.ErrorTexts.push_back(Msg);
  };
}

// A client connected to Peer, with its events recorded.
struct TConnection {
  explicit TConnection(TLoopbackPeer& Peer, const std::string& Host = "127.0.0.1") : Peer(Peer) {
    Record(Client, Log);
    Client.Host = Host;
    Client.Port = std::to_string(Peer.Port());
    Client.Open();
  }
  // Both ends have the connection.
  bool WaitConnected() {
    return WaitUntil(
        [&] { return Client.Status() == TSocketStatus::Connected && Peer.Connections() > 0; });
  }
  TLoopbackPeer& Peer;
  TTCPClient Client;
  TClientLog Log;
};

class TExposedClient : public TTCPClient {
 public:
  using TCustomWSocket::LookupAddress;
};

quint16 ClosedLoopbackPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

}  // namespace

TEST(TCPClientPort, ServiceNameOrDecimalNumber) {
  TExposedClient client;
  EXPECT_EQ(client.LookupAddress("127.0.0.1", "telnet", "tcp").Port, 23);
  EXPECT_EQ(client.LookupAddress("127.0.0.1", "23", "tcp").Port, 23);
  EXPECT_EQ(client.LookupAddress("127.0.0.1", "65535", "tcp").Port, 65535);
}

TEST(TCPClientPort, UnusableTextRaisesFromOpen) {
  struct TCase {
    std::string Port;
    bool Range;  // a range error rather than a conversion error
  };
  const TCase cases[] = {
      {"", false},     {"abc", false},  {"23x", false}, {" 23", false},
      {"70000", true}, {"65536", true}, {"-1", true},   {"99999999999999999999", true}};
  for (const auto& [port, range] : cases) {
    SCOPED_TRACE(port);
    TTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = port;
    if (range) {
      EXPECT_THROW(client.Open(), std::out_of_range);
    } else {
      EXPECT_THROW(client.Open(), std::invalid_argument);
    }
    EXPECT_EQ(client.Status(), TSocketStatus::Idle);
  }
}

TEST(TCPClient, ConnectsSendsAndReceivesInOrder) {
  TLoopbackPeer peer;
  ASSERT_TRUE(peer.Listening());
  TConnection connection(peer);
  EXPECT_EQ(connection.Client.Status(), TSocketStatus::Connecting);
  ASSERT_TRUE(connection.WaitConnected());
  EXPECT_EQ(connection.Log.StatusInOnConnect, TSocketStatus::Connecting);

  connection.Client.Open();  // already connected: nothing happens
  connection.Client.SendText("");
  connection.Client.SendText("ID\r");
  ASSERT_TRUE(peer.WaitForReceived(3));
  peer.Send("welcome\r\n");
  ASSERT_TRUE(WaitUntil([&] { return connection.Log.Text == "welcome\r\n"; }));

  RunEventsFor(50);
  EXPECT_EQ(peer.Received(), "ID\r");
  EXPECT_EQ(peer.Connections(), 1);
  EXPECT_EQ(connection.Log.Events, (std::vector<std::string>{"connect", "data"}));
  EXPECT_TRUE(connection.Log.Errors.empty());
}

TEST(TCPClient, OpenWhileConnectingDoesNothing) {
  TLoopbackPeer peer;
  TConnection connection(peer);
  connection.Client.Open();
  ASSERT_TRUE(connection.WaitConnected());
  RunEventsFor(50);
  EXPECT_EQ(peer.Connections(), 1);
}

TEST(TCPClient, BurstArrivesInReadsOfAtMost1024Bytes) {
  TLoopbackPeer peer;
  TConnection connection(peer);
  ASSERT_TRUE(connection.WaitConnected());
  peer.Send(std::string(3000, 'x'));
  ASSERT_TRUE(WaitUntil([&] { return connection.Log.Text.size() == 3000; }));
  RunEventsFor(50);
  EXPECT_EQ(connection.Log.ReadSizes, (std::vector<size_t>{1024, 1024, 952}));
}

TEST(TCPClient, PeerCloseDeliversTheLastBytesThenCloses) {
  TLoopbackPeer peer;
  TConnection connection(peer);
  ASSERT_TRUE(connection.WaitConnected());
  peer.Send(std::string(3000, 'y'));
  peer.CloseClient();
  ASSERT_TRUE(WaitUntil([&] { return connection.Client.Status() == TSocketStatus::Idle; }));
  EXPECT_EQ(connection.Log.Text, std::string(3000, 'y'));
  ASSERT_FALSE(connection.Log.Events.empty());
  EXPECT_EQ(connection.Log.Events.back(), "close");
  EXPECT_EQ(std::count(connection.Log.Events.begin(), connection.Log.Events.end(), "close"), 1);
}

TEST(TCPClient, PeerCloseWithUnreadBytesDiscardsThem) {
  TLoopbackPeer peer;
  TTCPClient client;
  TClientLog log;
  Record(client, log, /*ReadOnData=*/false);
  client.Host = "127.0.0.1";
  client.Port = std::to_string(peer.Port());
  client.Open();
  ASSERT_TRUE(peer.WaitForConnections(1));
  peer.Send("unread");
  peer.CloseClient();
  ASSERT_TRUE(WaitUntil([&] { return client.Status() == TSocketStatus::Idle; }));
  EXPECT_EQ(log.Events.back(), "close");
  EXPECT_EQ(client.ReceiveText(), "");
}

TEST(TCPClient, NothingIsReportedAfterClose) {
  TLoopbackPeer peer;
  TConnection connection(peer);
  ASSERT_TRUE(connection.WaitConnected());
  connection.Client.SendText("bye\r");
  connection.Client.Close();
  EXPECT_EQ(connection.Client.Status(), TSocketStatus::Idle);
  peer.Send("late");
  ASSERT_TRUE(peer.WaitForClientClosed());
  RunEventsFor(50);
  EXPECT_EQ(peer.Received(), "bye\r");  // bytes sent before the close still leave
  EXPECT_EQ(connection.Log.Events, (std::vector<std::string>{"connect"}));

  // The same client connects again.
  connection.Client.Open();
  ASSERT_TRUE(connection.WaitConnected());
  ASSERT_TRUE(peer.WaitForConnections(2));
}

TEST(TCPClient, RefusedConnectionReportsTheCodeAndStaysConnecting) {
  TTCPClient client;
  TClientLog log;
  Record(client, log);
  client.Host = "127.0.0.1";
  client.Port = std::to_string(ClosedLoopbackPort());
  client.Open();
  ASSERT_TRUE(WaitUntil([&] { return !log.Errors.empty(); }));
  EXPECT_EQ(log.Errors, std::vector<int>{10061});
  EXPECT_EQ(log.ErrorTexts, std::vector<std::string>{"Connection refused"});
  EXPECT_EQ(client.LastError(), 10061);
  EXPECT_EQ(client.ErrorText(), "Connection refused");
  EXPECT_EQ(client.Status(), TSocketStatus::Connecting);
  EXPECT_TRUE(log.Events.empty());
  client.Close();
  EXPECT_EQ(client.Status(), TSocketStatus::Idle);
  EXPECT_EQ(TCustomWSocket::ErrorText(0), "Not a Winsock error");
}

// The name is looked up without waiting; a name that is not found fails the attempt later,
// as a refused connection does.
TEST(TCPClient, UnknownHostFailsTheAttemptLater) {
  TTCPClient client;
  TClientLog log;
  Record(client, log);
  client.Host = "no-such-host.invalid";
  client.Port = "23";
  client.Open();
  EXPECT_EQ(client.Status(), TSocketStatus::Connecting);
  EXPECT_TRUE(log.Errors.empty());
  ASSERT_TRUE(WaitUntil([&] { return !log.Errors.empty(); }, 30000));
  EXPECT_EQ(log.Errors, std::vector<int>{11001});
  EXPECT_EQ(log.ErrorTexts, std::vector<std::string>{"Host not found"});
  EXPECT_EQ(client.Status(), TSocketStatus::Connecting);
  EXPECT_TRUE(log.Events.empty());
  client.Close();
  EXPECT_EQ(client.Status(), TSocketStatus::Idle);
}

TEST(TCPClient, SendWithoutConnectionIsReportedNotSent) {
  TTCPClient client;
  TClientLog log;
  Record(client, log);
  client.SendText("x");
  EXPECT_EQ(log.Errors, std::vector<int>{10057});
  EXPECT_EQ(client.ReceiveText(), "");
}

TEST(TCPClient, ConnectsByHostNameAndOverIPv6) {
  TLoopbackPeer peer4;
  TConnection byName(peer4, "localhost");
  ASSERT_TRUE(byName.WaitConnected()) << byName.Client.LastError();

  TLoopbackPeer peer6(QHostAddress::LocalHostIPv6);
  if (!peer6.Listening()) GTEST_SKIP() << "no IPv6 loopback on this machine";
  for (const std::string host : {"::1", "[::1]"}) {
    TConnection connection(peer6, host);
    ASSERT_TRUE(connection.WaitConnected()) << host;
    connection.Client.SendText("v6");
    ASSERT_TRUE(WaitUntil([&] { return peer6.Received() == "v6"; })) << host;
  }
}

namespace {

// A client of Peer that reads on every OnData and records the events with the event-loop
// turn in which each came (a zero timer counts the turns).
struct TTurnLog {
  explicit TTurnLog(TTCPClient& Client) {
    QObject::connect(&Turns, &QTimer::timeout, [this] { ++Turn; });
    Turns.start(0);
    Client.OnData = [this](TTCPClient* Sender, TSocket) {
      Events.push_back("data");
      DataTurns.push_back(Turn);
      Text += Sender->ReceiveText();
    };
    Client.OnClose = [this](TTCPClient*, TSocket) { Events.push_back("close"); };
  }
  QTimer Turns;
  long Turn = 0;
  std::vector<std::string> Events;
  std::vector<long> DataTurns;
  std::string Text;
};

bool Connect(TTCPClient& Client, TLoopbackPeer& Peer) {
  Client.Host = "127.0.0.1";
  Client.Port = std::to_string(Peer.Port());
  Client.Open();
  return WaitUntil(
      [&] { return Client.Status() == TSocketStatus::Connected && Peer.Connections() > 0; });
}

// Bytes that show where they stand in the stream.
std::string Numbered(size_t Size) {
  std::string text;
  for (size_t i = 0; text.size() < Size; ++i) text += std::to_string(i) + ' ';
  text.resize(Size);
  return text;
}

}  // namespace

TEST(TCPClientUnderStress, AFloodWaitsInTheSocketWhileHeldAndArrivesWhole) {
  TLoopbackPeer peer;
  TTCPClient client;
  TTurnLog log(client);
  ASSERT_TRUE(Connect(client, peer));
  client.Hold(true);
  const std::string flood = Numbered(4 << 20);
  peer.Send(flood);
  RunEventsFor(300);
  // The host is held back by TCP: the socket object keeps no more than its bound.
  const auto* socket = client.findChild<QTcpSocket*>();
  ASSERT_NE(socket, nullptr);
  EXPECT_LE(socket->bytesAvailable(), TCustomWSocket::kReadBufferSize);
  EXPECT_TRUE(log.Events.empty());

  client.Hold(false);
  ASSERT_TRUE(WaitUntil([&] { return log.Text.size() == flood.size(); }, 30000));
  EXPECT_TRUE(log.Text == flood);
}

TEST(TCPClientUnderStress, APeerCloseWaitsBehindUnreadBytesThatArriveOverSeveralTurns) {
  TLoopbackPeer peer;
  TTCPClient client;
  TTurnLog log(client);
  ASSERT_TRUE(Connect(client, peer));
  client.Hold(true);
  const std::string last = Numbered(300'000);
  peer.Send(last);
  peer.CloseClient();
  RunEventsFor(200);
  EXPECT_TRUE(log.Events.empty());
  EXPECT_EQ(client.Status(), TSocketStatus::Connected);

  client.Hold(false);
  ASSERT_TRUE(WaitUntil([&] { return client.Status() == TSocketStatus::Idle; }));
  EXPECT_TRUE(log.Text == last);
  EXPECT_EQ(log.Events.back(), "close");
  // Reads of 1,024 bytes, never more than a turn's worth in one turn.
  std::map<long, size_t> readPerTurn;
  for (long turn : log.DataTurns) readPerTurn[turn] += TCustomWSocket::kReceiveSize;
  EXPECT_GT(readPerTurn.size(), 3u);
  for (const auto& [turn, bytes] : readPerTurn)
    EXPECT_LE(bytes, static_cast<size_t>(TTCPClient::kReadPerTurn)) << "turn " << turn;
}

TEST(TCPClientUnderStress, CloseWhileConnectingLeavesNoSocketBehind) {
  for (const bool refused : {true, false}) {
    SCOPED_TRACE(refused ? "refused" : "accepted");
    TLoopbackPeer peer;
    TTCPClient client;
    TClientLog log;
    Record(client, log);
    client.Host = "127.0.0.1";
    client.Port = std::to_string(refused ? ClosedLoopbackPort() : peer.Port());
    client.Open();
    ASSERT_EQ(client.Status(), TSocketStatus::Connecting);
    client.Close();
    EXPECT_EQ(client.Status(), TSocketStatus::Idle);
    ASSERT_TRUE(WaitUntil([&] { return client.findChildren<QTcpSocket*>().isEmpty(); }));
    RunEventsFor(100);
    EXPECT_TRUE(log.Events.empty());
    EXPECT_TRUE(log.Errors.empty());
  }
}

// The owner runs a dialog's event loop inside OnConnect, and the peer hangs up meanwhile.
// The socket whose connected signal is still running must outlive it.
TEST(TCPClientUnderStress, ASocketIsNotFreedWhileItsSignalRuns) {
  TLoopbackPeer peer;
  TTCPClient client;
  std::vector<std::string> events;
  client.OnConnect = [&](TTCPClient*, TSocket) {
    events.push_back("connect");
    ASSERT_TRUE(peer.WaitForConnections(1));
    peer.Send("bye\r\n");
    peer.CloseClient();
    WaitUntil([&] { return client.Status() == TSocketStatus::Idle; }, 2000);
  };
  client.OnData = [&](TTCPClient* Sender, TSocket) { events.push_back(Sender->ReceiveText()); };
  client.OnClose = [&](TTCPClient*, TSocket) { events.push_back("close"); };
  client.Host = "127.0.0.1";
  client.Port = std::to_string(peer.Port());
  client.Open();
  ASSERT_TRUE(WaitUntil([&] { return client.findChildren<QTcpSocket*>().isEmpty(); }));
  EXPECT_EQ(events, (std::vector<std::string>{"connect", "bye\r\n", "close"}));
  EXPECT_EQ(client.Status(), TSocketStatus::Idle);
}
