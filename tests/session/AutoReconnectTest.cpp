// A dropped telnet line connected again by the window: against GNU telnetd
// whose host ends the call, and the countdown cancelled by the user's commands.
#include "session/ConnectingFixture.h"
#include "support/TelnetdPeer.h"

namespace {

constexpr int kHostWaitMs = 10000;

class AutoReconnectTest : public ConnectingTest {
 protected:
  void StartReconnecting(int second) {
    Start();
    form->Pauses.ReconnectSecond = second;
    auto* item = Get<QAction>("AutoReconnect1");
    EXPECT_FALSE(item->isChecked()) << "off on a first start";
    item->trigger();
  }
  bool Waiting() { return Status().startsWith("再接続まで "); }
  static int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
      ++count;
    return count;
  }
};

TEST_F(AutoReconnectTest, TheHostEndsTheCallAndTheWindowLogsInAgain) {
  TTelnetdPeer host;
  if (!host.Started()) GTEST_SKIP() << "telnetd cannot be started: " << host.Error().toStdString();
  SaveTelnetEntry("Chat", host.Port(), "[ID:]$I'[Password:]$P'", "wombat", "secret");
  StartReconnecting(200);
  Click("Connect1");
  ASSERT_TRUE(WaitUntil([&] { return ViewShows("TerminalView", "Welcome, wombat"); }, kHostWaitMs));

  Enter("/quit");
  ASSERT_TRUE(WaitUntil([&] { return Waiting(); }, kHostWaitMs)) << Status().toStdString();
  EXPECT_TRUE(Enabled("CancelButton"));
  EXPECT_TRUE(Enabled("Disconnect1"));
  ASSERT_TRUE(WaitUntil([&] { return Count(TodaysLog(), "Welcome, wombat\r\n") == 2; },
                        kHostWaitMs))
      << TodaysLog();
  ASSERT_TRUE(WaitUntil([&] { return Status().startsWith("接続時間"); }, kHostWaitMs));
  Click("Disconnect1");
  ASSERT_TRUE(WaitForIdle());
  const std::string record = ReadDataFile("Phone.txt");
  EXPECT_EQ(Count(record, "Chat "), 2) << record;
  EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 2) << record;
  EXPECT_EQ(TodaysLog().find("secret"), std::string::npos);
}

// Disconnect ends the wait without asking; choosing another entry ends it
// too. Nothing is connected afterwards, and the switch is kept.
TEST_F(AutoReconnectTest, DisconnectAndAnotherEntryCancelTheCountdown) {
  TLoopbackPeer peer;
  SaveTelnetEntry("Other", peer.Port());
  SaveTelnetEntry("Peer", peer.Port());
  StartReconnecting(100);
  auto* list = Get<QComboBox>("APNameList");
  const std::function<void()> cancels[] = {
      [&] { Click("Disconnect1"); },
      [&] {
        list->setCurrentIndex(list->findText("Other"));
        emit list->activated(list->currentIndex());
      },
  };
  int connections = 0;
  for (const auto& cancel : cancels) {
    list->setCurrentIndex(list->findText("Peer"));
    Click("Connect1");
    ASSERT_TRUE(peer.WaitForConnections(++connections));
    ASSERT_TRUE(WaitUntil([&] { return Status() == "接続しました"; }, kWaitMs));
    peer.CloseClient();
    ASSERT_TRUE(WaitUntil([&] { return Waiting(); }, kWaitMs));
    const qsizetype questions = ui.questions.size();
    cancel();
    EXPECT_EQ(ui.questions.size(), questions) << "nothing is connected: nothing to ask";
    EXPECT_FALSE(Waiting());
    EXPECT_FALSE(Enabled("CancelButton"));
    EXPECT_FALSE(Enabled("Disconnect1"));
    RunEventsFor(400);
    EXPECT_EQ(peer.Connections(), connections);
  }
  form.reset();
  Start();
  EXPECT_TRUE(Get<QAction>("AutoReconnect1")->isChecked());
}

}  // namespace
