// The receive road against hosts that are not well behaved: hang-ups during
// pauses, dialogs opened during a pause, blocks that never leave a partial
// line, and lines without CR.
#include <QDialog>

#include "session/ConnectingFixture.h"
#include "support/LoopbackPeer.h"
#include "text/Codec.h"

namespace {

class ReceiveStressTest : public ConnectingTest {
 protected:
  // Starts the window on an entry for the peer; Connect1 is clicked by the caller.
  void StartOnPeer(const std::string& script = "") {
    ASSERT_TRUE(peer.Listening());
    SaveTelnetEntry("Peer", peer.Port(), script, "guest", "secret");
    Start();
  }
  bool WaitForPause() {
    return WaitUntil([&] { return form->Paused(); }, kWaitMs);
  }

  TLoopbackPeer peer;
};

// The pause after connecting is longer than a tick of the connection timer,
// and the host greets and hangs up within it.
TEST_F(ReceiveStressTest, AHostThatHangsUpDuringThePauseAfterConnectingIsHeardOut) {
  StartOnPeer();
  form->Pauses.AfterConnect = 1300;
  Click("Connect1");
  ASSERT_TRUE(peer.WaitForConnections(1));
  ASSERT_TRUE(WaitForPause());
  peer.Send("Welcome\r\n");
  peer.CloseClient();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_TRUE(ViewShows("TerminalView", "Welcome"));
  EXPECT_EQ(TodaysLog(), "Welcome\r\n");
  // No tick of the ended connection shows its time in the idle window.
  RunEventsFor(1200);
  EXPECT_EQ(Status(), "");
  EXPECT_FALSE(form->Paused());
}

TEST_F(ReceiveStressTest, AHostThatHangsUpDuringAScriptPauseEndsTheScript) {
  StartOnPeer("[login:]$I'*more'");
  form->Pauses.PerStar = 1500;
  Click("Connect1");
  ASSERT_TRUE(peer.WaitForConnections(1));
  peer.Send("login:");
  ASSERT_TRUE(WaitUntil([&] { return peer.Received() == "guest\r"; }, kWaitMs));
  ASSERT_TRUE(form->Paused());
  peer.CloseClient();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_FALSE(Enabled("CancelButton"));
  EXPECT_EQ(TodaysLog(), "");
  EXPECT_TRUE(ViewShows("TerminalView", "login:"));
}

// A command that opens a dialog during a pause acts at once; what the host
// sends before, during and after the pause is shown in the order sent.
TEST_F(ReceiveStressTest, ADialogOpenedDuringAPauseKeepsReceivedTextInOrder) {
  StartOnPeer();
  form->Pauses.AfterConnect = 400;
  bool sentAll = false;
  bool dialogDuringPause = false;
  Probe([&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    dialogDuringPause = dialogDuringPause || form->Paused();
    if (form->Paused()) return;
    if (!sentAll) {
      sentAll = true;
      peer.Send("CCC\r\n");
    } else if (ViewShows("TerminalView", "CCC")) {
      dialog->reject();
    }
  });
  Click("Connect1");
  ASSERT_TRUE(peer.WaitForConnections(1));
  ASSERT_TRUE(WaitForPause());
  peer.Send("AAA\r\n");
  QTimer::singleShot(0, [&] { Get<QAction>("Version2")->trigger(); });
  QTimer::singleShot(100, [&] { peer.Send("BBB\r\n"); });
  ASSERT_TRUE(WaitUntil([&] { return sentAll && !QApplication::activeModalWidget(); }, kWaitMs));
  ASSERT_TRUE(WaitForLine("CCC"));
  EXPECT_TRUE(dialogDuringPause);
  EXPECT_EQ(Lines(View("TerminalView")), (std::vector<std::string>{"AAA", "BBB", "CCC"}));
}

TEST_F(ReceiveStressTest, BothViewsKeepTheirLineLimitsWhenEveryBlockEndsALine) {
  StartOnPeer();
  View("TerminalView")->SetMaxLineCount(20);
  View("LogView")->SetMaxLineCount(30);
  Click("Connect1");
  ASSERT_TRUE(peer.WaitForConnections(1));
  for (int block = 0; block < 10; ++block) {
    std::string lines;
    for (int i = 0; i < 10; ++i) lines += "line " + std::to_string(block * 10 + i) + "\r\n";
    peer.Send(lines);
    ASSERT_TRUE(WaitForLine("line " + std::to_string(block * 10 + 9)));
  }
  EXPECT_EQ(View("TerminalView")->LineCount(), 20);
  EXPECT_EQ(View("LogView")->LineCount(), 30);
  EXPECT_EQ(Lines(View("TerminalView")).back(), "line 99");
}

// The line is cut at 64 KiB, one byte early where a double-byte character
// would straddle the cut; every byte reaches the log.
TEST_F(ReceiveStressTest, ALineWithoutCarriageReturnIsCutAt64KiBAndNothingIsLost) {
  StartOnPeer();
  Click("Connect1");
  ASSERT_TRUE(peer.WaitForConnections(1));
  std::string endless = "x";
  while (endless.size() < 100'000) endless += Sjis("あ");
  for (size_t pos = 0; pos < endless.size(); pos += 10'000) peer.Send(endless.substr(pos, 10'000));
  peer.Send("\r\n");
  peer.CloseClient();
  ASSERT_TRUE(WaitForIdle());
  const std::string first = endless.substr(0, 65535);
  const std::string rest = endless.substr(65535);
  EXPECT_TRUE(TodaysLog() == first + "\r\n" + rest + "\r\n");
  const std::vector<std::string> shown = Lines(View("LogView"));
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_TRUE(shown[0] == first);
  EXPECT_TRUE(shown[1] == rest);
}

}  // namespace
