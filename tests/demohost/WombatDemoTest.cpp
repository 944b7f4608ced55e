// Wombat against the demo host: the "Demo" entry logs in by script, enters
// the conference, and the terminal view colours the host's lines by kind.
#include <QImage>

#include "demohost/DemoHost.h"
#include "session/ConnectingFixture.h"
#include "session/DemoEntry.h"
#include "text/Analysis.h"
#include "text/Codec.h"

namespace {

constexpr int kHostWaitMs = 15000;

class WombatDemoTest : public ConnectingTest {
 protected:
  void SetUp() override {
    TDemoHostLimits limits;
    limits.BotIntervalMs = 300;
    host = std::make_unique<TDemoHost>(limits);
    ASSERT_TRUE(host->Listen(QHostAddress::LocalHost, 0));
  }
  bool WaitForHostLine(const std::string& text) {
    return WaitUntil([&] { return ViewShows("TerminalView", text); }, kHostWaitMs);
  }
  // The last line of the terminal view that holds the text, and its row on the page.
  std::pair<std::string, int> ShownLine(const std::string& text) {
    TQuokkaView* view = View("TerminalView");
    for (int i = view->LineCount() - 1; i >= 0; --i)
      if (view->Get(i).find(text) != std::string::npos) return {view->Get(i), i - view->TopLine()};
    return {{}, -1};
  }
  int PixelsInRow(int row, const QColor& color) {
    TQuokkaView* view = View("TerminalView");
    const QImage page = view->PageImage();
    int count = 0;
    for (int y = row * view->LineHeight(); y < (row + 1) * view->LineHeight() && y < page.height(); ++y)
      for (int x = 0; x < page.width(); ++x)
        if (y >= 0 && page.pixelColor(x, y).rgb() == color.rgb()) ++count;
    return count;
  }

  std::unique_ptr<TDemoHost> host;
};

TEST_F(WombatDemoTest, DemoEntryLogsInAndShowsTheConferenceInItsColours) {
  Start();
  form->resize(900, 700);
  form->ConnectDemo(host->Port());
  EXPECT_EQ(form->SelectedEntry(), kDemoEntryName);
  EXPECT_EQ(form->CurrentEntry().ID, "guest");
  ASSERT_TRUE(WaitForHostLine("*Welcome to CB Band "));
  ASSERT_TRUE(WaitForHostLine(Sjis("－リアルタイム会議開始 (終了:/E)－")));
  ASSERT_TRUE(WaitForHostLine("http://www.example.com/wombat/"));
  EXPECT_FALSE(ViewShows("TerminalView", "wombat\r")) << "the password is not echoed";

  TAnalysis analysis;
  EXPECT_EQ(analysis.Analyze(ShownLine("*Welcome").first), lkWelcome);
  EXPECT_EQ(analysis.Analyze(ShownLine(Sjis("リアルタイム会議開始")).first), lkConferenceStart);
  const auto [linkLine, linkRow] = ShownLine("http://");
  EXPECT_EQ(analysis.Analyze(linkLine), lkChat);

  TQuokkaView* view = View("TerminalView");
  const QColor handle(200, 0, 0), link(0, 0, 200), page(120, 0, 120), users(0, 140, 0);
  view->SetHandleColor(handle);
  view->SetAddressColor(link);
  view->SetPageColor(page);
  view->SetUserColor(users);
  EXPECT_GT(PixelsInRow(linkRow, handle), 0) << "the handle of a conference line";
  EXPECT_GT(PixelsInRow(linkRow, link), 0) << "the link";

  Enter("/W");
  ASSERT_TRUE(WaitForHostLine("BOT00000"));
  Enter("/P guest hello me");
  ASSERT_TRUE(WaitForHostLine(Sjis("のユーザーからのメッセージです－")));
  const auto [rowLine, row] = ShownLine("BOT00000");
  EXPECT_EQ(analysis.Analyze(rowLine), lkUserListRow);
  EXPECT_GT(PixelsInRow(row, users), 0) << "a participant row";
  const auto [pageLine, pageRow] = ShownLine(Sjis("のユーザーからのメッセージです－"));
  EXPECT_EQ(analysis.Analyze(pageLine), lkPage);
  EXPECT_GT(PixelsInRow(pageRow, page), 0) << "a page notice";
}

TEST_F(WombatDemoTest, DemoEntryIsMadeOnceAndFollowsThePort) {
  Start();
  form->ConnectDemo(host->Port());
  ASSERT_TRUE(WaitForHostLine("*Welcome to CB Band "));
  Click("Disconnect1");
  form.reset();

  TDemoHost second(TDemoHostLimits{});
  ASSERT_TRUE(second.Listen(QHostAddress::LocalHost, 0));
  Start();
  form->ConnectDemo(second.Port());
  EXPECT_EQ(form->EntryNames().count(kDemoEntryName), 1);
  EXPECT_EQ(form->CurrentEntry().Port, std::to_string(second.Port()));
  EXPECT_TRUE(WaitForHostLine("*Welcome to CB Band "));
}

}  // namespace
