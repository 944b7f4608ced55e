// The sibling link's frames, and its server against peers on a real local
// socket: hostile ones that send garbage, crowd it or never answer.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLocalSocket>
#include <memory>
#include <vector>

#include "comm/SiblingLink.h"
#include "support/EventWait.h"

namespace {

constexpr int kWaitMs = 5000;

QByteArray Hex(const char* hex) {
  return QByteArray::fromHex(hex);
}

TEST(SiblingFrameTest, EncodesLittleEndianHeaderAndPayload) {
  EXPECT_EQ(EncodeSiblingFrame({kSiblingLinkUp, 4242, ""}), Hex("04040000" "92100000" "00000000"));
  EXPECT_EQ(EncodeSiblingFrame({kSiblingText, 0, "hi"}), Hex("00040000" "00000000" "02000000" "6869"));
  EXPECT_EQ(EncodeSiblingFrame(SiblingReply(kSiblingVersion, kSiblingVersionAnswer)),
            Hex("05040080" "00000000" "08000000" "0400650000000000"));
}

// Frames cut anywhere come out whole and in order.
TEST(SiblingFrameTest, ReaderJoinsFramesCutAnywhere) {
  const std::vector<TSiblingFrame> sent = {
      {kSiblingText, 0, std::string("\x82\xa0\r\0x", 5)},
      SiblingReply(kSiblingLinkUp, kSiblingLinkedAnswer),
      {kSiblingEnd, 0, ""},
  };
  QByteArray stream;
  for (const TSiblingFrame& frame : sent) stream += EncodeSiblingFrame(frame);
  stream += stream;
  // Byte by byte, cut inside frames after whole ones, and all at once.
  for (const qsizetype piece : {qsizetype{1}, qsizetype{7}, qsizetype{23}, stream.size()}) {
    TSiblingFrameReader reader;
    std::vector<TSiblingFrame> read;
    for (qsizetype at = 0; at < stream.size(); at += piece) {
      reader.Append(stream.mid(at, piece));
      while (std::optional<TSiblingFrame> frame = reader.Next()) read.push_back(*frame);
    }
    ASSERT_EQ(read.size(), 2 * sent.size()) << piece;
    for (size_t i = 0; i < read.size(); ++i) {
      EXPECT_EQ(read[i].Message, sent[i % sent.size()].Message) << piece;
      EXPECT_EQ(read[i].Payload, sent[i % sent.size()].Payload) << piece;
    }
    EXPECT_TRUE(read[1].IsReply());
    EXPECT_EQ(read[1].Request(), kSiblingLinkUp);
    EXPECT_EQ(read[1].Result(), kSiblingLinkedAnswer);
    EXPECT_FALSE(reader.Broken());
    EXPECT_FALSE(reader.Pending());
  }
}

TEST(SiblingFrameTest, ReaderRefusesMalformedFrames) {
  const QByteArray cases[] = {
      Hex("00040000" "00000000" "01001000"),            // payload over the limit
      Hex("00040080" "00000000" "04000000" "01000000"),  // reply that is not 8 bytes
  };
  for (const QByteArray& bytes : cases) {
    TSiblingFrameReader reader;
    reader.Append(bytes);
    EXPECT_FALSE(reader.Next());
    EXPECT_TRUE(reader.Broken()) << bytes.toHex().toStdString();
  }
}

// A client on the server's socket that records what it is sent.
class TPeer {
 public:
  explicit TPeer(const QString& server) {
    socket->connectToServer(server);
    socket->waitForConnected(kWaitMs);
    link = std::make_unique<TSiblingLink>(socket);
    link->OnRequest = [this](TSiblingLink& from, const TSiblingFrame& frame) {
      requests.push_back(frame);
      if (answers) from.Reply(frame.Message, 1);
    };
    link->OnReply = [this](TSiblingLink&, uint32_t, uint64_t result) { results.push_back(result); };
    link->OnClose = [this](TSiblingLink&) { closed = true; };
  }
  void Write(const QByteArray& bytes) { socket->write(bytes); }

  QLocalSocket* socket = new QLocalSocket;
  std::unique_ptr<TSiblingLink> link;
  std::vector<TSiblingFrame> requests;
  std::vector<uint64_t> results;
  bool answers = true;
  bool closed = false;
};

class SiblingServerTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Listen());
    server.OnUnlink = [this](TSiblingServer::TUnlinkReason reason) { unlinks.push_back(reason); };
  }
  std::unique_ptr<TPeer> LinkedPeer() {
    auto peer = std::make_unique<TPeer>(server.ServerName());
    peer->link->Request(kSiblingLinkUp, 77);
    EXPECT_TRUE(WaitUntil([&] { return server.Linked(); }, kWaitMs));
    return peer;
  }

  TSiblingServer server;
  std::vector<TSiblingServer::TUnlinkReason> unlinks;
};

TEST_F(SiblingServerTest, SocketIsTheUsersOnly) {
  const QFileInfo socket(server.ServerName());
  ASSERT_TRUE(socket.exists());
  EXPECT_EQ(socket.ownerId(), getuid());
  EXPECT_EQ(socket.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                    QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
            0);
}

TEST_F(SiblingServerTest, HandsLinesOverInOrderAndFinishesWhenAllAreAnswered) {
  std::unique_ptr<TPeer> peer = LinkedPeer();
  EXPECT_EQ(server.SiblingPid(), 77);
  std::vector<std::string> lines;
  for (int i = 0; i < 500; ++i) lines.push_back("line " + std::to_string(i));
  bool done = false;
  server.HandOff(lines, [&] { done = true; });
  EXPECT_TRUE(server.HandingOff());
  ASSERT_TRUE(WaitUntil([&] { return done; }, kWaitMs));
  ASSERT_EQ(peer->requests.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(peer->requests[i].Payload, lines[i]);
  EXPECT_TRUE(server.Linked());
  EXPECT_TRUE(unlinks.empty());
}

// A sibling that never answers, or goes away, ends the hand-off and is unlinked.
TEST_F(SiblingServerTest, SilentOrVanishedSiblingIsUnlinked) {
  for (bool vanishes : {false, true}) {
    // A long wait when the sibling vanishes, so that only its close can end it.
    server.AnswerTimeoutMs = vanishes ? 60000 : 100;
    std::unique_ptr<TPeer> peer = LinkedPeer();
    peer->answers = false;
    bool done = false;
    server.HandOff({"a", "b"}, [&] { done = true; });
    if (vanishes) peer.reset();
    ASSERT_TRUE(WaitUntil([&] { return done; }, kWaitMs)) << vanishes;
    EXPECT_FALSE(server.Linked());
    if (!vanishes) {
      EXPECT_TRUE(WaitUntil([&] { return peer->closed; }, kWaitMs));
    }
  }
  EXPECT_EQ(unlinks, (std::vector{TSiblingServer::TUnlinkReason::NoAnswer,
                                  TSiblingServer::TUnlinkReason::Closed}));
}

// Answers to a hand-off that stopped waiting do not answer the next one.
TEST_F(SiblingServerTest, LateAnswersDoNotCountForTheNextHandOff) {
  std::unique_ptr<TPeer> peer = LinkedPeer();
  peer->answers = false;
  bool first = false;
  server.HandOff({"a", "b"}, [&] { first = true; });
  server.StopWaiting();
  EXPECT_TRUE(first);
  ASSERT_TRUE(WaitUntil([&] { return peer->requests.size() == 2; }, kWaitMs));

  bool second = false;
  server.HandOff({"c"}, [&] { second = true; });
  for (int i = 0; i < 2; ++i) peer->link->Reply(kSiblingText, 1);
  RunEventsFor(100);
  EXPECT_FALSE(second);
  peer->link->Reply(kSiblingText, 1);
  EXPECT_TRUE(WaitUntil([&] { return second; }, kWaitMs));
  EXPECT_TRUE(server.Linked());
}

TEST_F(SiblingServerTest, RequestsOfAnyConnectionAreAnswered) {
  server.OnRequest = [](const TSiblingFrame& frame) -> uint64_t {
    return frame.Message == kSiblingVersion ? kSiblingVersionAnswer : 0;
  };
  TPeer peer(server.ServerName());
  peer.link->Request(kSiblingVersion);
  peer.link->Request(0x999);
  ASSERT_TRUE(WaitUntil([&] { return peer.results.size() == 2; }, kWaitMs));
  EXPECT_EQ(peer.results, (std::vector<uint64_t>{kSiblingVersionAnswer, 0}));
  EXPECT_FALSE(server.Linked());
}

// A connection beyond the limit is not refused: it waits unread until a slot
// is free, and its request is answered then.
TEST_F(SiblingServerTest, DropsMalformedPeersAndQueuesConnectionsBeyondTheLimit) {
  TPeer garbage(server.ServerName());
  garbage.Write(Hex("00040000" "00000000" "ffffffff"));
  EXPECT_TRUE(WaitUntil([&] { return garbage.closed; }, kWaitMs));

  std::vector<std::unique_ptr<TPeer>> crowd;
  for (int i = 0; i < TSiblingServer::kMaxConnections; ++i)
    crowd.push_back(std::make_unique<TPeer>(server.ServerName()));
  TPeer late(server.ServerName());
  late.link->Request(kSiblingVersion);
  RunEventsFor(200);
  EXPECT_TRUE(late.results.empty());
  EXPECT_FALSE(late.closed);
  crowd.front().reset();
  ASSERT_TRUE(WaitUntil([&] { return late.results.size() == 1; }, kWaitMs));
  for (size_t i = 1; i < crowd.size(); ++i) EXPECT_FALSE(crowd[i]->closed);
}

// A text request's text ends at its first zero; a line handed to the sibling
// arrives whole, zero and all.
TEST_F(SiblingServerTest, TextFromTheSiblingEndsAtTheFirstZeroLinesToItStayWhole) {
  std::vector<TSiblingFrame> served;
  server.OnRequest = [&](const TSiblingFrame& frame) -> uint64_t {
    served.push_back(frame);
    return 0;
  };
  std::unique_ptr<TPeer> peer = LinkedPeer();
  const std::string withZero("ID\r\0stale", 9);
  peer->link->Request(kSiblingText, 0, withZero);
  peer->link->Request(kSiblingConnect, 0, std::string("Temp\0old entry", 14));
  peer->link->Request(kSiblingText, 0, "no zero\r");
  ASSERT_TRUE(WaitUntil([&] { return peer->results.size() == 4; }, kWaitMs));
  ASSERT_EQ(served.size(), 3u);
  EXPECT_EQ(served[0].Payload, "ID\r");
  EXPECT_EQ(served[1].Payload, "Temp");
  EXPECT_EQ(served[2].Payload, "no zero\r");

  bool done = false;
  server.HandOff({withZero}, [&] { done = true; });
  ASSERT_TRUE(WaitUntil([&] { return done; }, kWaitMs));
  ASSERT_EQ(peer->requests.size(), 1u);
  EXPECT_EQ(peer->requests[0].Payload, withZero);
}

// A second sibling's link takes over the lines; the first one's connection
// stays and is still answered.
TEST_F(SiblingServerTest, ASecondLinkTakesTheLinesAndLeavesTheFirstConnectionUsable) {
  server.OnRequest = [](const TSiblingFrame& frame) -> uint64_t {
    return frame.Message == kSiblingVersion ? kSiblingVersionAnswer : 0;
  };
  std::unique_ptr<TPeer> first = LinkedPeer();
  first->answers = false;
  bool firstDone = false;
  server.HandOff({"to the first"}, [&] { firstDone = true; });

  auto second = std::make_unique<TPeer>(server.ServerName());
  second->link->Request(kSiblingLinkUp, 88);
  ASSERT_TRUE(WaitUntil([&] { return server.SiblingPid() == 88; }, kWaitMs));
  EXPECT_TRUE(firstDone);  // the hand-off to the replaced sibling ends
  bool secondDone = false;
  server.HandOff({"to the second"}, [&] { secondDone = true; });
  ASSERT_TRUE(WaitUntil([&] { return secondDone; }, kWaitMs));
  ASSERT_EQ(second->requests.size(), 1u);
  EXPECT_EQ(second->requests[0].Payload, "to the second");

  first->link->Request(kSiblingVersion);
  ASSERT_TRUE(WaitUntil([&] { return first->results.size() == 2; }, kWaitMs));
  EXPECT_EQ(first->results.back(), kSiblingVersionAnswer);
  EXPECT_FALSE(first->closed);
  // The line sent while it was the sibling, then word that it was replaced,
  // with the newer sibling's process id.
  ASSERT_EQ(first->requests.size(), 2u);
  EXPECT_EQ(first->requests[1].Message, kSiblingReplaced);
  EXPECT_EQ(first->requests[1].Parameter, 88u);
  EXPECT_TRUE(unlinks.empty());
}

// Half a frame is given a few seconds, a connection that asks nothing a
// minute (both shortened here); the sibling may stay silent, and each request
// starts the idle count again.
TEST_F(SiblingServerTest, HalfFramesAndIdleConnectionsAreClosedTheSiblingIsNot) {
  server.FrameTimeoutMs = 300;
  server.IdleTimeoutMs = 600;
  TPeer half(server.ServerName());
  half.Write(
      Hex("05040000"
          "00000000"
          "10000000"
          "0102"));
  TPeer idle(server.ServerName());
  TPeer asking(server.ServerName());
  std::unique_ptr<TPeer> sibling = LinkedPeer();
  ASSERT_TRUE(WaitUntil([&] { return half.closed; }, kWaitMs));
  EXPECT_FALSE(idle.closed);
  for (int i = 0; i < 6; ++i) {
    asking.link->Request(kSiblingVersion);
    RunEventsFor(200);
  }
  EXPECT_TRUE(idle.closed);
  EXPECT_FALSE(asking.closed);
  EXPECT_FALSE(sibling->closed);
  EXPECT_TRUE(server.Linked());

  // Frames that keep coming whole are never cut, however long the stream.
  TPeer busy(server.ServerName());
  const QByteArray version = EncodeSiblingFrame({kSiblingVersion, 0, ""});
  for (int i = 0; i < 8; ++i) {
    busy.Write(version + version.left(5));
    RunEventsFor(100);
    busy.Write(version.mid(5));
  }
  RunEventsFor(200);
  EXPECT_FALSE(busy.closed);
}
}  // namespace
