// The demo host against raw clients on loopback: login, the conference
// between two users, its commands, and the bounds a client cannot break.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "demohost/DemoHost.h"
#include "demohost/ServiceText.h"
#include "demohost/ChatClient.h"
#include "text/Analysis.h"

namespace {

class DemoHostTest : public testing::Test {
 protected:
  void StartHost(TDemoHostLimits limits = QuietLimits()) {
    host = std::make_unique<TDemoHost>(limits);
    ASSERT_TRUE(host->Listen(QHostAddress::LocalHost, 0)) << host->Error().toStdString();
  }
  static TDemoHostLimits QuietLimits() {
    TDemoHostLimits limits;
    limits.BotIntervalMs = 0;
    return limits;
  }
  std::unique_ptr<TChatClient> Client() { return std::make_unique<TChatClient>(host->Port()); }

  // The class the line analysis gives to the last received line that holds the text.
  static int KindOf(const TChatClient& client, const std::string& text) {
    const auto lines = client.Lines();
    for (auto line = lines.rbegin(); line != lines.rend(); ++line)
      if (line->find(text) != std::string::npos) return TAnalysis().Analyze(*line);
    return -1;
  }

  std::unique_ptr<TDemoHost> host;
};

TEST_F(DemoHostTest, LogsInWithPromptsAndRefusesAnEmptyPassword) {
  StartHost();
  auto client = Client();
  ASSERT_TRUE(client->WaitFor("ID:"));
  EXPECT_EQ(client->Received().rfind("\xff\xfb\x01\xff\xfb\x03", 0), 0u) << "offers ECHO and SGA first";
  client->SendLine("no spaces!");
  ASSERT_TRUE(client->WaitFor(Sjis("IDは16文字までの英数字です。")));
  client->SendLine("alice");
  ASSERT_TRUE(client->WaitFor("Password:"));
  const std::size_t mark = client->Received().size();
  client->SendLine("");
  ASSERT_TRUE(client->WaitFor(Sjis("パスワードが空です。"), mark));
  ASSERT_TRUE(client->WaitFor("ID:", mark));
  client->SendLine("alice");
  ASSERT_TRUE(client->WaitFor("Password:", mark));
  client->SendLine("pw");
  ASSERT_TRUE(client->WaitFor("COMMAND>"));
  EXPECT_EQ(KindOf(*client, "*Welcome to CB Band "), lkWelcome);
  EXPECT_TRUE(client->Has("alice\r\n")) << "the ID is echoed";
  EXPECT_FALSE(client->Has("pw")) << "the password is not";
  client->SendLine("q");
  ASSERT_TRUE(client->WaitForClose());
  EXPECT_EQ(KindOf(*client, Sjis("ご利用時間")), lkUsageTime);
}

TEST_F(DemoHostTest, TwoUsersChatInTheConference) {
  StartHost();
  auto alice = Client();
  auto bob = Client();
  ASSERT_TRUE(alice->Join("alice"));
  ASSERT_TRUE(bob->Join("bob"));
  EXPECT_EQ(KindOf(*alice, Sjis("リアルタイム会議開始")), lkConferenceStart);
  ASSERT_TRUE(alice->WaitFor(Sjis("bob さんが参加しました")));

  alice->Say("こんにちは、bob");
  const std::string line = "(TALK,alice) " + Sjis("こんにちは、bob");
  ASSERT_TRUE(bob->WaitFor(line + "\r\n"));
  ASSERT_TRUE(alice->WaitFor(line + "\r\n"));
  TAnalysis analysis;
  EXPECT_EQ(analysis.Analyze(line), lkChat);
  EXPECT_EQ(analysis.Handle, "alice");

  bob->SendLine("/w");
  ASSERT_TRUE(bob->WaitFor(" bob\r\n"));
  EXPECT_EQ(KindOf(*bob, " JOB   CH  ID"), lkUserListHeader);
  EXPECT_EQ(KindOf(*bob, " alice"), lkUserListRow);
  EXPECT_EQ(KindOf(*bob, " bob"), lkUserListRow);
  EXPECT_EQ(KindOf(*bob, "BOT00000"), lkUserListRow);

  bob->SendLine("/P ALICE see you");
  ASSERT_TRUE(alice->WaitFor("see you\r\n"));
  EXPECT_EQ(KindOf(*alice, Sjis("のユーザーからのメッセージです")), lkPage);
  EXPECT_TRUE(bob->WaitFor(Sjis("にメッセージを送りました")));
  EXPECT_FALSE(bob->Has("see you")) << "a page goes to one user";

  alice->SendLine("/E");
  ASSERT_TRUE(alice->WaitFor(Sjis("－リアルタイム会議終了－")));
  ASSERT_TRUE(bob->WaitFor(Sjis("alice さんが退室しました")));
  const std::size_t mark = alice->Received().size();
  bob->SendLine("anyone?");
  ASSERT_TRUE(bob->WaitFor("(TALK,bob) anyone?"));
  RunEventsFor(200);
  EXPECT_EQ(alice->Received().find("anyone?", mark), std::string::npos) << "left the conference";
}

TEST_F(DemoHostTest, ConferenceCommandsReportMissingParametersAndUnknownUsers) {
  StartHost();
  auto alice = Client();
  ASSERT_TRUE(alice->Join("alice"));
  alice->SendLine("/P");
  ASSERT_TRUE(alice->WaitFor(ServiceText::NeedParameter()));
  EXPECT_EQ(KindOf(*alice, ServiceText::NeedParameter()), lkNeedParameter);
  alice->SendLine("/P nobody hello");
  ASSERT_TRUE(alice->WaitFor(Sjis("そのIDの参加者はいません")));
  alice->SendLine("/X");
  ASSERT_TRUE(alice->WaitFor(ServiceText::InputError()));
  EXPECT_EQ(KindOf(*alice, ServiceText::InputError()), lkInputError);
  alice->SendLine("/p bot00000 hi");
  ASSERT_TRUE(alice->WaitFor(Sjis("ボットです")));
}

TEST_F(DemoHostTest, SameIdTwiceGetsTwoHandles) {
  StartHost();
  auto first = Client();
  auto second = Client();
  ASSERT_TRUE(first->Join("guest"));
  ASSERT_TRUE(second->Join("guest"));
  second->SendLine("hi");
  ASSERT_TRUE(first->WaitFor("(TALK,guest2) hi"));
}

TEST_F(DemoHostTest, BotSpeaksEveryKindOfLine) {
  TDemoHostLimits limits;
  limits.BotIntervalMs = 20;
  StartHost(limits);
  auto alice = Client();
  ASSERT_TRUE(alice->Join("alice"));
  ASSERT_TRUE(alice->WaitFor("wombat@example.com"));
  ASSERT_TRUE(alice->WaitFor("\x02"));
  ASSERT_TRUE(alice->WaitFor("http://"));
  EXPECT_EQ(KindOf(*alice, "http://"), lkChat);
  EXPECT_EQ(KindOf(*alice, "\x01"), lkChat);
}

TEST_F(DemoHostTest, OverlongLineAndControlBytesAreRefusedButTheUserStays) {
  StartHost();
  auto alice = Client();
  ASSERT_TRUE(alice->Join("alice"));
  alice->SendLine(std::string(5000, 'x'));
  ASSERT_TRUE(alice->WaitFor(ServiceText::InputError()));
  alice->SendLine("a\x1b[2Jb\x1f\x82");
  ASSERT_TRUE(alice->WaitFor("(TALK,alice) a[2Jb\r\n"));
  EXPECT_FALSE(alice->Has(std::string(host->Limits().MaxLineBytes + 1, 'x')));
  EXPECT_TRUE(alice->Connected());
}

TEST_F(DemoHostTest, EndlessLineWithoutCrDisconnectsItsClientOnly) {
  StartHost();
  auto alice = Client();
  auto bob = Client();
  ASSERT_TRUE(alice->Join("alice"));
  ASSERT_TRUE(bob->Join("bob"));
  alice->Send(std::string(host->Limits().MaxDiscardedBytes + 1000, 'x'));
  ASSERT_TRUE(alice->WaitForClose());
  bob->SendLine("still here");
  EXPECT_TRUE(bob->WaitFor("(TALK,bob) still here"));
}

TEST_F(DemoHostTest, FloodingClientIsCutOffAndTheOthersGoOn) {
  StartHost();
  auto flooder = Client();
  auto bob = Client();
  ASSERT_TRUE(flooder->Join("flood"));
  ASSERT_TRUE(bob->Join("bob"));
  std::string flood;
  for (int i = 0; i < 20000; ++i) flood += "spam\r";
  flooder->Send(flood);
  bob->SendLine("ping");
  ASSERT_TRUE(bob->WaitFor("(TALK,bob) ping"));
  ASSERT_TRUE(flooder->WaitForClose());
  const auto lines = bob->Lines();
  const auto spam = std::count(lines.begin(), lines.end(), "(TALK,flood) spam");
  EXPECT_GT(spam, 0);
  EXPECT_LE(spam, host->Limits().LineBurst + 10) << "the rate bounds what the others get";
  EXPECT_TRUE(bob->Connected());
}

TEST_F(DemoHostTest, ClientThatStopsReadingIsDroppedAndTheOthersGoOn) {
  TDemoHostLimits limits;
  limits.BotIntervalMs = 1;
  limits.MaxOutputQueue = 16 * 1024;
  StartHost(limits);
  auto sleeper = Client();
  auto bob = Client();
  ASSERT_TRUE(sleeper->Join("sleeper"));
  ASSERT_TRUE(bob->Join("bob"));
  sleeper->StopReading();
  EXPECT_TRUE(WaitUntil([&] { return host->ClientCount() == 1; }, 60000));
  bob->SendLine("awake");
  EXPECT_TRUE(bob->WaitFor("(TALK,bob) awake"));
}

TEST_F(DemoHostTest, FullHostRefusesTheNextClient) {
  TDemoHostLimits limits = QuietLimits();
  limits.MaxUsers = 1;
  StartHost(limits);
  auto first = Client();
  ASSERT_TRUE(first->WaitFor("ID:"));
  auto second = Client();
  ASSERT_TRUE(second->WaitFor(Sjis("満員です")));
  EXPECT_TRUE(second->WaitForClose());
  EXPECT_TRUE(first->Connected());
}

TEST_F(DemoHostTest, IdleClientIsDisconnected) {
  TDemoHostLimits limits = QuietLimits();
  limits.IdleSeconds = 1;
  StartHost(limits);
  auto client = Client();
  ASSERT_TRUE(client->WaitFor("ID:"));
  EXPECT_TRUE(client->WaitForClose());
  EXPECT_TRUE(client->Has(Sjis("一定時間入力がなかった")));
}

TEST_F(DemoHostTest, ListensOnIpv6Loopback) {
  host = std::make_unique<TDemoHost>(QuietLimits());
  if (!host->Listen(QHostAddress::LocalHostIPv6, 0)) GTEST_SKIP() << "no IPv6 loopback";
  TChatClient client(host->Port(), QHostAddress::LocalHostIPv6);
  EXPECT_TRUE(client.Join("six"));
}

}  // namespace
