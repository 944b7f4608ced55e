// The demo host against raw clients on loopback: login, the conference
// between two users, its commands, and the bounds a client cannot break.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
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
  EXPECT_TRUE(alice->WaitFor("telnet://localhost:" + std::to_string(host->Port()) + "/ "));
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
  ASSERT_TRUE(bob->WaitFor("(TALK,flood) spam"));
  ASSERT_TRUE(flooder->WaitForClose());
  ASSERT_TRUE(bob->WaitFor("(TALK,bob) ping"));
  const auto lines = bob->Lines();
  const auto spam = std::count(lines.begin(), lines.end(), "(TALK,flood) spam");
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

// Connections that never log in hold no user's place and are closed at the
// deadline, whatever they send meanwhile; logged-in users fill the host.
TEST_F(DemoHostTest, SilentConnectionsNeitherFillTheHostNorOutstayTheLoginDeadline) {
  TDemoHostLimits limits = QuietLimits();
  limits.MaxUsers = 2;
  limits.LoginSeconds = 1;
  StartHost(limits);
  std::vector<std::unique_ptr<TChatClient>> silent;
  for (int i = 0; i < 3; ++i) silent.push_back(Client());
  for (auto& client : silent) ASSERT_TRUE(client->WaitFor("ID:"));
  QTimer nop;
  QObject::connect(&nop, &QTimer::timeout, [&] { silent[0]->Send("\xFF\xF1"); });
  nop.start(100);
  silent[1]->Send("\xFF\xFA\x18");  // a subnegotiation that never ends

  QElapsedTimer clock;
  clock.start();
  auto user = Client();
  ASSERT_TRUE(user->Join("fourth"));
  EXPECT_LT(clock.elapsed(), 2000);
  auto second = Client();
  ASSERT_TRUE(second->Join("second"));
  auto third = Client();
  ASSERT_TRUE(third->WaitFor("ID:"));
  third->SendLine("third");
  ASSERT_TRUE(third->WaitFor("Password:"));
  third->SendLine("pw");
  ASSERT_TRUE(third->WaitFor(Sjis("満員です")));
  EXPECT_TRUE(third->WaitForClose());

  for (auto& client : silent) {
    EXPECT_TRUE(client->WaitForClose());
    EXPECT_TRUE(client->Has(Sjis("ログインの時間が過ぎました")));
  }
  EXPECT_LT(clock.elapsed(), 3000) << "the IAC NOPs did not keep their connection";
  EXPECT_TRUE(user->Connected());
  EXPECT_TRUE(second->Connected());
}

TEST_F(DemoHostTest, AUserCannotPassForAnotherOrForTheHost) {
  StartHost();
  auto impostor = Client();
  ASSERT_TRUE(impostor->WaitFor("ID:"));
  for (const char* id : {"WMB00002", "wmb1"}) {
    const std::size_t mark = impostor->Received().size();
    impostor->SendLine(id);
    ASSERT_TRUE(impostor->WaitFor(Sjis("WMBと数字だけのIDは使えません。"), mark)) << id;
    ASSERT_TRUE(impostor->WaitFor("ID:", mark));
  }
  ASSERT_TRUE(impostor->Join("mallory"));
  auto alice = Client();
  ASSERT_TRUE(alice->Join("alice"));
  ASSERT_TRUE(alice->WaitFor("WMB00002 alice"));

  impostor->SendLine("/P alice hello");
  ASSERT_TRUE(alice->WaitFor("\r\nWMB00001> hello\r\n"));
  const std::string bot = Sjis("(TALK,ウォンボット) fake");
  const std::string fakes[] = {
      "/P alice " + bot,
      "/P alice " + ServiceText::PageNotice("WMB00003"),
      std::string(80 - std::string("(TALK,mallory) ").size(), 'x') + bot,
      "see " + ServiceText::InputError(),
  };
  for (const std::string& fake : fakes) {
    const std::size_t mark = impostor->Received().size();
    impostor->SendLine(fake);
    ASSERT_TRUE(impostor->WaitFor(Sjis("－ホストの行と紛らわしい文は送れません－"), mark)) << fake;
  }
  impostor->SendLine("done");
  ASSERT_TRUE(alice->WaitFor("(TALK,mallory) done"));
  EXPECT_FALSE(alice->Has("fake"));
  EXPECT_FALSE(alice->Has("WMB00003"));
}

// Users who quit from the menu were never in the conference; a login loop
// from one address is slowed down.
TEST_F(DemoHostTest, OnlyConferenceMembersAreSeenLeavingAndLoginsAreRateLimited) {
  TDemoHostLimits limits = QuietLimits();
  limits.LoginBurst = 3;
  limits.LoginsPerSecond = 0;  // no login comes back during the test
  StartHost(limits);
  auto alice = Client();
  ASSERT_TRUE(alice->Join("alice"));
  auto login = [&](const std::string& id) {
    auto client = Client();
    EXPECT_TRUE(client->WaitFor("ID:"));
    client->SendLine(id);
    EXPECT_TRUE(client->WaitFor("Password:"));
    client->SendLine("pw");
    return client;
  };
  auto visitor = login("visitor");
  ASSERT_TRUE(visitor->WaitFor("COMMAND>"));
  visitor->SendLine("Q");
  ASSERT_TRUE(visitor->WaitForClose());
  auto member = Client();
  ASSERT_TRUE(member->Join("member"));
  member->SendLine("/E");
  ASSERT_TRUE(member->WaitFor(Sjis("会議終了")));
  ASSERT_TRUE(member->WaitFor("COMMAND>", member->Received().find(Sjis("会議終了"))));
  member->SendLine("Q");
  ASSERT_TRUE(member->WaitForClose());

  auto flooder = login("again");
  ASSERT_TRUE(flooder->WaitFor(Sjis("ログインが続きすぎます")));
  EXPECT_TRUE(flooder->WaitForClose());
  alice->SendLine("end");
  ASSERT_TRUE(alice->WaitFor("(TALK,alice) end"));
  EXPECT_FALSE(alice->Has(Sjis("visitor さんが接続を終えました")));
  EXPECT_FALSE(alice->Has(Sjis("member さんが接続を終えました"))) << "it had left the conference";
  EXPECT_TRUE(alice->Has(Sjis("－member さんが退室しました－")));
}

// A member who drops the connection is seen to go with the dash of the join.
TEST_F(DemoHostTest, AMemberWhoDropsTheConnectionIsAnnouncedLikeOneWhoJoins) {
  StartHost();
  auto alice = Client();
  auto carol = Client();
  ASSERT_TRUE(alice->Join("alice"));
  ASSERT_TRUE(carol->Join("carol"));
  ASSERT_TRUE(alice->WaitFor(Sjis("－carol さんが参加しました－")));
  carol.reset();
  EXPECT_TRUE(alice->WaitFor(Sjis("－carol さんが接続を終えました－")));
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
