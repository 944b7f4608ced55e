// A whole session against GNU inetutils telnetd on loopback: the login script
// logs in by itself, chat lines come back as conference lines.
#include <QImage>

#include "session/ConnectingFixture.h"
#include "support/TelnetdPeer.h"

namespace {

constexpr int kHostWaitMs = 10000;

class TelnetdChatTest : public ConnectingTest {
 protected:
  bool WaitForHostLine(const std::string& text) {
    return WaitUntil([&] { return ViewShows("TerminalView", text); }, kHostWaitMs);
  }
  // The number of pixels of the colour in the drawn row of the first line
  // that holds text.
  int PixelsOfLine(const std::string& text, const QColor& color) {
    TQuokkaView* view = View("TerminalView");
    const std::vector<std::string> lines = Lines(view);
    const auto found = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.find(text) != std::string::npos;
    });
    if (found == lines.end()) return 0;
    const int row = static_cast<int>(found - lines.begin()) - view->TopLine();
    const QImage page = view->PageImage();
    int count = 0;
    for (int y = row * view->LineHeight(); y < (row + 1) * view->LineHeight(); ++y)
      for (int x = 0; x < page.width(); ++x)
        if (y >= 0 && y < page.height() && page.pixelColor(x, y).rgb() == color.rgb()) ++count;
    return count;
  }
};

TEST_F(TelnetdChatTest, LogsInByItselfChatsLogsAndRecordsTheCall) {
  TTelnetdPeer host;
  if (!host.Started()) GTEST_SKIP() << "telnetd cannot be started: " << host.Error().toStdString();
  SaveTelnetEntry("Chat", host.Port(), "[ID:]$I'[Password:]$P'", "wombat", "secret");
  Start();
  form->resize(800, 600);
  Click("Connect1");
  ASSERT_TRUE(WaitForHostLine("Welcome, wombat"));
  EXPECT_TRUE(ViewShows("LogView", "Welcome, wombat"));
  EXPECT_FALSE(Enabled("CancelButton"));

  const QColor conference(200, 0, 0);
  View("TerminalView")->SetConvColor(conference);
  Enter("hello all");
  ASSERT_TRUE(WaitForHostLine("(TALK,wombat) hello all"));
  EXPECT_TRUE(ViewShows("LogView", "(TALK,wombat) hello all"));
  EXPECT_GT(PixelsOfLine("(TALK,wombat) hello all", conference), 0);
  EXPECT_EQ(PixelsOfLine("Welcome, wombat", conference), 0);

  // Once a second the status line shows the connection time.
  EXPECT_TRUE(WaitUntil([&] { return Status().startsWith("接続時間（00:00:0"); }, 3000))
      << Status().toStdString();
  Click("Disconnect1");
  EXPECT_FALSE(Connected());
  const std::string record = ReadDataFile("Phone.txt");
  EXPECT_EQ(record.rfind("Chat ", 0), 0u) << record;
  EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 1) << record;

  const std::string log = TodaysLog();
  EXPECT_NE(log.find("Welcome, wombat\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("(TALK,wombat) hello all\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("secret"), std::string::npos) << log;
}

}  // namespace
