// The receive road and the login script against a TCP peer on loopback.
#include "session/ConnectingFixture.h"
#include "support/LoopbackPeer.h"

namespace {

class ReceiveRoadTest : public ConnectingTest {
 protected:
  // Starts the window on an entry for the peer and waits for the connection.
  void Connect(const std::string& script = "") {
    ASSERT_TRUE(peer.Listening());
    SaveTelnetEntry("Peer", peer.Port(), script, "guest", "secret");
    Start();
    Click("Connect1");
    ASSERT_TRUE(peer.WaitForConnections(1));
    ASSERT_TRUE(WaitUntil([&] { return Status() == "接続しました"; }, kWaitMs));
  }
  bool WaitForReceived(const std::string& text) {
    return WaitUntil([&] { return peer.Received() == text; }, kWaitMs);
  }

  TLoopbackPeer peer;
};

TEST_F(ReceiveRoadTest, OnlyCarriageReturnsEndLinesInBothViewsAndTheLog) {
  Connect();
  peer.Send("abc\r\nde");
  ASSERT_TRUE(WaitForLine("de"));
  const std::vector<std::string> partial = {"abc", "de"};
  EXPECT_EQ(Lines(View("TerminalView")), partial);
  EXPECT_EQ(Lines(View("LogView")), partial);

  // The partial line is completed; LF CR, a lone LF and CR CR follow.
  peer.Send("f\r\ng\n\rh\ni\r\r");
  ASSERT_TRUE(WaitForLine("hi"));
  const std::vector<std::string> lines = {"abc", "def", "g", "hi", ""};
  EXPECT_EQ(Lines(View("TerminalView")), lines);
  EXPECT_EQ(Lines(View("LogView")), lines);

  // LF alone adds nothing and shows no partial line.
  peer.Send("\n\n");
  RunEventsFor(100);
  EXPECT_EQ(Lines(View("TerminalView")), lines);
  peer.CloseClient();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(TodaysLog(), "abc\r\ndef\r\ng\r\nhi\r\n\r\n");
}

TEST_F(ReceiveRoadTest, APromptEndingABlockIsAnsweredBeforeItIsShown) {
  // When the view first shows the prompt, the peer can already read the answer.
  Connect("[login:]$I'");
  bool answeredBeforeShown = false;
  bool looked = false;
  View("TerminalView")->OnViewLineChanged = [&](TQuokkaView&) {
    if (looked || !ViewShows("TerminalView", "login:")) return;
    looked = true;
    answeredBeforeShown = peer.ReadReceivedNow(6);
  };
  peer.Send("Welcome\r\nlogin:");
  ASSERT_TRUE(WaitForLine("login:"));
  EXPECT_TRUE(answeredBeforeShown);
  EXPECT_EQ(peer.Received(), "guest\r");
  // The script has ended.
  EXPECT_FALSE(Enabled("CancelButton"));
}

TEST_F(ReceiveRoadTest, OneBlockAnswersOnePairAndTheNextWaitsForItsOwnBlock) {
  Connect("[A>]one'[B>]two'[C>]three'");
  EXPECT_TRUE(Enabled("CancelButton"));
  peer.Send("A> B>");
  ASSERT_TRUE(WaitForReceived("one\r"));
  RunEventsFor(100);
  EXPECT_EQ(peer.Received(), "one\r");

  peer.Send("B>");
  ASSERT_TRUE(WaitForReceived("one\rtwo\r"));
  Click("CancelButton");
  EXPECT_FALSE(Enabled("CancelButton"));
  peer.Send("C>");
  RunEventsFor(100);
  EXPECT_EQ(peer.Received(), "one\rtwo\r");
}

// What the user types goes out at once; what the host sends waits for the
// end of the pause and the script's first step.
TEST_F(ReceiveRoadTest, ThePauseAfterConnectingHoldsBackWhatArrivesButNotWhatIsTyped) {
  ASSERT_TRUE(peer.Listening());
  SaveTelnetEntry("Peer", peer.Port(), "hi'");
  Start();
  form->Pauses.AfterConnect = 400;
  bool acted = false;
  std::string receivedDuringPause = "?";
  bool shownDuringPause = true;
  Probe([&] {
    if (acted || !form->Paused()) return;
    acted = true;
    peer.Send("early\r\n");
    Enter("typed");
    QTimer::singleShot(150, [&] {
      receivedDuringPause = peer.Received();
      shownDuringPause = ViewShows("TerminalView", "early");
    });
  });
  Click("Connect1");
  ASSERT_TRUE(WaitForLine("early"));
  ASSERT_TRUE(WaitForReceived("typed\rhi\r"));
  EXPECT_EQ(receivedDuringPause, "typed\r");
  EXPECT_FALSE(shownDuringPause);
}

TEST_F(ReceiveRoadTest, EnterSendsTheLineWithACarriageReturnAndPasteSendsEveryLine) {
  Connect();
  Enter("hello");
  Enter("");
  ASSERT_TRUE(WaitForReceived("hello\r\r"));

  QGuiApplication::clipboard()->setText("one\r\ntwo\nthree");
  Get<QAction>("Paste1")->trigger();
  ASSERT_TRUE(WaitForReceived("hello\r\rone\rtwo\rthree"));
}

// A CR LF or LF CR pair, a lone CR and a lone LF each go out as one CR.
TEST_F(ReceiveRoadTest, PasteSendsEveryLineEndAsOneCarriageReturn) {
  Connect();
  const std::pair<const char*, const char*> cases[] = {
      {"a\r\nb", "a\rb"},   {"a\n\rb", "a\rb"},     {"a\nb", "a\rb"},
      {"a\rb", "a\rb"},      {"a\n\r\nb", "a\r\rb"}, {"a\r\n\r\nb", "a\r\rb"},
      {"a\r\rb", "a\r\rb"}, {"a\n\nb", "a\r\rb"},
  };
  std::string sent;
  for (const auto& [text, expected] : cases) {
    QGuiApplication::clipboard()->setText(text);
    Get<QAction>("Paste1")->trigger();
    sent += expected;
    ASSERT_TRUE(WaitForReceived(sent)) << text;
  }
}

}  // namespace
