// The port threads on a pseudo-terminal: received text, writes, the end of
// the peer, and stopping.
#include <QtCore/qtestsupport_core.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

#include "comm/TapiPort.h"
#include "support/FakeModem.h"

namespace {

class TapiPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Port.OnReceiveData = [this](const char* buffer, std::uint16_t length) {
      EXPECT_EQ(buffer[length], '\0');
      Blocks.emplace_back(buffer, length);
      Events += "data;";
    };
    Port.OnRequestHangup = [this](QObject* sender) {
      EXPECT_EQ(sender, &Port);
      Events += "hangup;";
    };
  }
  void Start() {
    const int port = ::open(Line.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(port, 0);
    ASSERT_TRUE(Port.StartComm(port));
  }
  std::string Received() const {
    std::string all;
    for (const std::string& block : Blocks) all += block;
    return all;
  }

  TPseudoTerminal Line;
  TTapiPort Port;
  std::vector<std::string> Blocks;
  std::string Events;
};

TEST_F(TapiPortTest, ReceivedTextLosesLineFeedsAndNuls) {
  Start();
  Line.Write(std::string_view("AB\r\n\0C", 6));
  ASSERT_TRUE(QTest::qWaitFor([this] { return Received().size() >= 4; }));
  EXPECT_EQ(Received(), "AB\rC");
}

TEST_F(TapiPortTest, LongBurstArrivesWholeInBlocksOfAtMost2048Bytes) {
  Start();
  std::string burst;
  for (int i = 0; i < 5000; ++i) burst += static_cast<char>('A' + i % 26);
  Line.Write(burst);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Received().size() >= burst.size(); }));
  EXPECT_EQ(Received(), burst);
  EXPECT_GE(Blocks.size(), 3u);
  for (const std::string& block : Blocks) EXPECT_LE(block.size(), 2048u);
}

TEST_F(TapiPortTest, WritesRightAfterStartReachThePeerInOrder) {
  Start();
  EXPECT_TRUE(Port.Write("hello ", 6));
  EXPECT_TRUE(Port.Write("world\r", 6));
  EXPECT_EQ(Line.ReadAvailable(), "hello world\r");
}

TEST_F(TapiPortTest, WithoutPortWriteFailsAndBreakDoesNothing) {
  EXPECT_FALSE(Port.Write("x", 1));
  Port.SendBreak();
  Start();
  Port.StopComm();
  EXPECT_FALSE(Port.PortAttached());
  EXPECT_FALSE(Port.Write("x", 1));
  Port.SendBreak();
  EXPECT_EQ(Line.ReadAvailable(100), "");
}

TEST_F(TapiPortTest, RefusesADescriptorThatIsNoCharacterDevice) {
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  try {
    Port.StartComm(pipe[0]);
    ADD_FAILURE() << "a pipe was accepted";
  } catch (const ECommsError& error) {
    EXPECT_STREQ(error.what(), "File handle is not a comm handle. ");
  }
  EXPECT_FALSE(Port.PortAttached());
  EXPECT_FALSE(Port.Write("x", 1));
  EXPECT_EQ(::close(pipe[0]), 0) << "the caller still owns the descriptor";
  ::close(pipe[1]);
}

TEST_F(TapiPortTest, VanishedPeerGivesOneHangupRequest) {
  Start();
  Line.Write("bye\r");
  ASSERT_TRUE(QTest::qWaitFor([this] { return !Blocks.empty(); }));
  Line.Close();
  ASSERT_TRUE(QTest::qWaitFor([this] { return Events.find("hangup;") != std::string::npos; }));
  EXPECT_TRUE(Port.Write("x", 1));  // the write thread fails on its own
  QTest::qWait(400);
  EXPECT_EQ(Events, "data;hangup;");
  EXPECT_EQ(Received(), "bye\r");
}

TEST_F(TapiPortTest, StopWhileAWriteIsPendingEndsWithoutHangupRequest) {
  Start();
  const std::string block(65535, 'x');
  for (int i = 0; i < 16; ++i) ASSERT_TRUE(Port.Write(block.data(), 65535));
  QThread::msleep(100);  // the peer reads nothing, so the write thread waits
  Port.StopComm();
  QTest::qWait(300);
  EXPECT_EQ(Events, "");
  EXPECT_FALSE(Port.PortAttached());
}

TEST_F(TapiPortTest, EventsOfAStoppedAttachAreDropped) {
  Start();
  Line.Write("late");
  Line.Close();
  QThread::msleep(500);  // the read thread posts the text and the hang-up meanwhile
  Port.StopComm();
  QTest::qWait(200);
  EXPECT_EQ(Events, "");
}

TEST(CommEventTextTest, NamesTheLineErrors) {
  const std::pair<unsigned, const char*> cases[] = {
      {0, "Comm Event: NULL Error, EvtMask = 0"},
      {CE_FRAME, "Comm Event: CE_FRAME, EvtMask = 8"},
      {CE_FRAME | CE_OVERRUN | CE_RXPARITY,
       "Comm Event: CE_FRAME and CE_OVERRUN and CE_RXPARITY, EvtMask = 14"},
      {CE_RXOVER | CE_OVERRUN, "Comm Event: CE_OVERRUN and EV_ERR Unknown EvtMask, EvtMask = 3"},
  };
  for (const auto& [flags, text] : cases) EXPECT_EQ(CommEventText(flags), text) << flags;
}

}  // namespace
