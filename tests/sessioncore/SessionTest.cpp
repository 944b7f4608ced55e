// The session without a window: a fake transport plays the line, and the
// test reads the session's state, its events and the call record.
#include <gtest/gtest.h>

#include <QFile>
#include <map>
#include <string>
#include <vector>

#include "session/Session.h"
#include "support/EventWait.h"
#include "support/TempHome.h"
#include "text/LogMgr.h"
#include "text/QtCodec.h"

namespace {

// How the next Open of a fake goes: refused at once with a notice, or started.
struct TOpenPlan {
  bool Fail = false;
  QString Notice;
};

class TFakeTransport : public TQueuedTransport {
 public:
  TFakeTransport(TConnectKind kind, std::vector<std::string>& events, const TOpenPlan& plan,
                 QObject* parent)
      : TQueuedTransport(parent), FKind(kind), FEvents(events), FPlan(plan) {}

  bool Open(const TAPData&) override {
    ++Opens;
    if (!FPlan.Notice.isEmpty() && OnNotice) OnNotice(FPlan.Notice);
    return !FPlan.Fail;
  }
  void Close() override { ++Closes; }
  bool Send(const std::string& text) override {
    FEvents.push_back("send " + text);
    return true;
  }
  void SendBreak() override {}
  bool Restartable() const override { return FKind == TConnectKind::Telnet; }

  void Up() { RaiseUp(); }
  void Block(const std::string& block) { RaiseBlock(block); }
  void Down(TDownCause cause, const QString& reason = {}) { RaiseDown({cause, reason}); }

  int Opens = 0;
  int Closes = 0;

 private:
  TConnectKind FKind;
  std::vector<std::string>& FEvents;
  const TOpenPlan& FPlan;
};

TAPData Entry(const std::string& host, const std::string& port, const std::string& script = "") {
  TAPData entry;
  entry.HostName = host;
  entry.Port = port;
  entry.Script = script;
  entry.ID = "guest";
  entry.Password = "secret";
  entry.LogName = "Lo";
  return entry;
}

const TAPData kTelnetEntry = Entry("host.example", "23");
const TAPData kSerialEntry = Entry("03-1234-5678", "COM11");
const TAPData kTelephonyEntry = Entry("03-1234-5678", "FakeLine");

// Public: the cases of a table drive it from their own functions.
class SessionTest : public testing::Test {
 public:
  SessionTest() {
    session.Pauses = {0, 0, 0};
    session.LogMgr().SetFolder(ToPath(home.DataFolder()));
    session.SetTransportFactory([this](TConnectKind kind, QObject* parent) {
      auto transport = std::make_unique<TFakeTransport>(kind, events, openPlan, parent);
      transports[kind] = transport.get();
      return transport;
    });
    session.OnStateChanged = [this] { states.push_back(session.State()); };
    session.OnLines = [this](const std::vector<std::string>& lines, const std::string& partial) {
      for (const std::string& line : lines) events.push_back("line " + line);
      if (!partial.empty()) events.push_back("partial " + partial);
    };
    session.OnSound = [this](TSessionSound sound) { sounds.push_back(sound); };
  }

  static std::string ToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

  TFakeTransport& Transport(TConnectKind kind = TConnectKind::Telnet) { return *transports.at(kind); }
  bool Connect(const TAPData& entry = kTelnetEntry) { return session.Connect("Entry", entry); }
  // Connected, and the pause after the connect has run.
  void ConnectUp(const TAPData& entry = kTelnetEntry) {
    ASSERT_TRUE(Connect(entry));
    Transport(ConnectKindFor(entry.HostName, entry.Port)).Up();
    ASSERT_TRUE(WaitUntil([&] { return !session.Paused(); }));
  }
  std::string CallRecord() {
    QFile file(home.DataFile("Phone.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
  }
  bool WaitForEvent(const std::string& event) {
    return WaitUntil([&] { return std::find(events.begin(), events.end(), event) != events.end(); });
  }

  TTempHome home;
  TOpenPlan openPlan;
  TSession session;
  std::map<TConnectKind, TFakeTransport*> transports;
  std::vector<std::string> events;
  std::vector<TSessionState> states;
  std::vector<TSessionSound> sounds;
};

using enum TSessionState;
using enum TEndWay;
using Sounds = std::vector<TSessionSound>;
const TSessionSound kUp = TSessionSound::Connect;
const TSessionSound kDown = TSessionSound::Disconnect;

TEST(EndingTable, EveryWayAnAttemptOrACallEnds) {
  const struct {
    TEndWay way;
    TEnding ending;  // sound, sibling's end message, call record line
  } table[] = {
      {StartFailed, {false, false, false}},     {AttemptFailed, {false, false, false}},
      {Refused, {true, true, false}},           {CancelledAttempt, {true, true, false}},
      {Dropped, {true, true, true}},            {UserDisconnect, {true, true, true}},
      {Restart, {true, true, true}},
  };
  for (const auto& row : table)
    EXPECT_EQ(EndingOf(row.way), row.ending) << static_cast<int>(row.way);
}

TEST_F(SessionTest, TheKindOfTransportFollowsTheHostAndThePort) {
  EXPECT_EQ(ConnectKindFor("03-1234-5678", "COM2"), TConnectKind::SerialModem);
  EXPECT_EQ(ConnectKindFor("03-1234-5678", "FakeLine"), TConnectKind::TelephonyModem);
  EXPECT_EQ(ConnectKindFor("03-1234.5678", "COM2"), TConnectKind::Telnet);
  EXPECT_EQ(ConnectKindFor("host.example", "COM2"), TConnectKind::Telnet);
}

// Each way an attempt ends, driven on the fake line: the state it leaves,
// the reason kept, the sounds and the call record.
TEST_F(SessionTest, EachEndLeavesIdleWithItsReasonSoundsAndRecord) {
  struct TCase {
    const char* name;
    TAPData entry;
    std::function<void(SessionTest&)> drive;
    TEndWay way;
    QString reason;
    Sounds sounds;
    bool recorded;
  };
  const TCase cases[] = {
      {"the start fails at once", kTelnetEntry,
       [](SessionTest& t) {
         t.openPlan = {true, "not a port"};
         EXPECT_FALSE(t.Connect());
         t.openPlan = {};
       },
       StartFailed, "not a port", {}, false},
      {"a telnet attempt fails later", kTelnetEntry,
       [](SessionTest& t) {
         ASSERT_TRUE(t.Connect());
         t.Transport().Down(TDownCause::StartFailed, "refused");
       },
       AttemptFailed, "refused", {}, false},
      {"the modem refuses", kSerialEntry,
       [](SessionTest& t) {
         ASSERT_TRUE(t.Connect(kSerialEntry));
         t.Transport(TConnectKind::SerialModem).Down(TDownCause::Ended, "BUSY");
       },
       Refused, "BUSY", {kDown}, false},
      {"the user disconnects while connecting", kTelnetEntry,
       [](SessionTest& t) {
         ASSERT_TRUE(t.Connect());
         t.session.Disconnect();
         EXPECT_EQ(t.Transport().Closes, 1);
       },
       CancelledAttempt, "", {kDown}, false},
      {"the host ends the connection", kTelnetEntry,
       [](SessionTest& t) {
         t.ConnectUp();
         t.Transport().Down(TDownCause::Ended);
       },
       Dropped, "", {kUp, kDown}, true},
      {"the user disconnects", kTelnetEntry,
       [](SessionTest& t) {
         t.ConnectUp();
         t.session.Disconnect();
       },
       UserDisconnect, "", {kUp, kDown}, true},
  };
  for (const TCase& c : cases) {
    SessionTest& t = *this;
    sounds.clear();
    QFile::remove(home.DataFile("Phone.txt"));
    c.drive(t);
    EXPECT_EQ(session.State(), Idle) << c.name;
    EXPECT_EQ(session.LastEnd(), c.way) << c.name;
    EXPECT_EQ(session.Status(), c.reason) << c.name;
    EXPECT_EQ(session.FailureReason(), c.reason) << c.name;
    EXPECT_EQ(sounds, c.sounds) << c.name;
    EXPECT_FALSE(session.ConnectTime().isValid()) << c.name;
    EXPECT_EQ(session.Kind(), TConnectKind::None) << c.name;
    const std::string record = CallRecord();
    EXPECT_EQ(!record.empty(), c.recorded) << c.name;
    if (c.recorded) {
      EXPECT_TRUE(record.starts_with("Entry" + std::string(25, ' '))) << record;
    }
  }
}

TEST_F(SessionTest, TheStatesOfACallInOrder) {
  ASSERT_TRUE(Connect());
  EXPECT_TRUE(session.Started());
  EXPECT_EQ(session.EntryName(), "Entry");
  Transport().Up();
  EXPECT_EQ(session.Status(), "接続しました");
  EXPECT_TRUE(session.ConnectTime().isValid());
  ASSERT_TRUE(WaitUntil([&] { return !session.Paused(); }));
  Transport().Down(TDownCause::Ended);
  EXPECT_EQ(states, (std::vector<TSessionState>{Connecting, Connected, Idle}));
}

// A drop during the pause after the connect waits behind it, as received
// data does: the first step goes out, then the connection ends.
TEST_F(SessionTest, ADropDuringAPauseEndsTheConnectionWhenThePauseIsOver) {
  session.Pauses.AfterConnect = 200;
  ASSERT_TRUE(Connect(Entry("host.example", "23", "hello")));
  Transport().Up();
  Transport().Block("bye\r");
  Transport().Down(TDownCause::Ended);
  RunEventsFor(100);
  EXPECT_EQ(session.State(), Connected);
  EXPECT_TRUE(events.empty());
  ASSERT_TRUE(WaitUntil([&] { return session.State() == Idle; }));
  EXPECT_EQ(events, (std::vector<std::string>{"send hello", "line bye"}));
  EXPECT_EQ(session.LastEnd(), Dropped);
}

// The step answering a prompt goes out before the lines of its block are
// shown; what arrives during a "*" pause is shown after the rest of the step.
TEST_F(SessionTest, ScriptStepsGoOutBeforeTheLinesTheyAnswer) {
  session.Pauses.PerStar = 100;
  ConnectUp(Entry("host.example", "23", "[login:]$I'*$P'"));
  EXPECT_TRUE(session.ScriptRunning());
  Transport().Block("welcome\rlogin:");
  Transport().Block("more\r");
  ASSERT_TRUE(WaitForEvent("line login:more"));
  EXPECT_EQ(events, (std::vector<std::string>{"send guest", "send \r", "line welcome",
                                               "partial login:", "send secret", "send \r",
                                               "line login:more"}));
  EXPECT_FALSE(session.ScriptRunning());
}

// Cancel stops the waiting but walks the running step to its end; the end of
// the connection drops its rest.
TEST_F(SessionTest, CancelDuringAPauseFinishesTheStepAndAnEndDropsIt) {
  session.Pauses.PerStar = 100;
  for (const bool cancel : {true, false}) {
    events.clear();
    ConnectUp(Entry("host.example", "23", "[ID:]$I'*$P'[>]more'"));
    Transport().Block("ID:");
    ASSERT_TRUE(session.Paused());
    if (cancel)
      session.CancelScript();
    else
      session.Disconnect();
    EXPECT_FALSE(session.ScriptRunning());
    RunEventsFor(300);
    if (cancel) Transport().Block(">");  // no longer awaited
    RunEventsFor(50);
    std::vector<std::string> sent;
    for (const std::string& event : events)
      if (event.starts_with("send ")) sent.push_back(event);
    const std::vector<std::string> expected =
        cancel ? std::vector<std::string>{"send guest", "send \r", "send secret", "send \r"}
               : std::vector<std::string>{"send guest", "send \r"};
    EXPECT_EQ(sent, expected) << cancel;
    session.Disconnect();
  }
}

// A telnet line that brings no complete line is dropped and made again after
// the restart time; with a time of 0, or on a modem, never.
TEST_F(SessionTest, OnlyASilentTelnetLineIsRestarted) {
  session.ReconnectTimeOut = 1;
  ConnectUp();
  ASSERT_TRUE(WaitUntil([&] { return Transport().Opens == 2; }, 3000));
  EXPECT_EQ(session.State(), Connecting);
  EXPECT_EQ(Transport().Closes, 1);
  EXPECT_EQ(session.LastEnd(), Restart);
  EXPECT_EQ(std::count(states.begin(), states.end(), Restarting), 1);
  EXPECT_EQ(sounds, (Sounds{kUp, kDown}));
  EXPECT_FALSE(CallRecord().empty());
  session.Disconnect();

  const struct {
    TAPData entry;
    int seconds;
  } never[] = {{kTelnetEntry, 0}, {kSerialEntry, 1}, {kTelephonyEntry, 1}};
  for (const auto& c : never) {
    session.ReconnectTimeOut = c.seconds;
    ConnectUp(c.entry);
    RunEventsFor(2500);
    EXPECT_EQ(session.State(), Connected) << c.entry.Port;
    EXPECT_TRUE(session.Status().startsWith("接続時間（00:00:0")) << c.entry.Port;
    session.Disconnect();
  }
}

// A line received in time keeps the connection.
TEST_F(SessionTest, ALineInTimeKeepsTheTelnetLine) {
  session.ReconnectTimeOut = 1;
  ConnectUp();
  Transport().Block("hello\r");
  RunEventsFor(2500);
  EXPECT_EQ(session.State(), Connected);
  EXPECT_EQ(Transport().Opens, 1);
}

// Requests wait for the data held before them.
TEST_F(SessionTest, WhenReadyWaitsForAPauseAndTheDataHeldBehindIt) {
  session.Pauses.AfterConnect = 100;
  ASSERT_TRUE(Connect());
  Transport().Up();
  Transport().Block("held\r");
  session.WhenReady([this] { events.push_back("request"); });
  EXPECT_TRUE(events.empty());
  ASSERT_TRUE(WaitForEvent("request"));
  EXPECT_EQ(events, (std::vector<std::string>{"line held", "request"}));
}

}  // namespace

namespace {

TEST(ReconnectWaits, GrowFromTwoSecondsToAMinuteSpreadByAFifth) {
  const int seconds[] = {2, 2, 4, 8, 16, 32, 60, 60};
  for (int drops = 0; drops < 8; ++drops)
    EXPECT_EQ(ReconnectWaitSeconds(drops), seconds[drops]) << drops;
  const struct {
    int seconds;
    double spread;
    int second;
    int milliseconds;
  } table[] = {{2, 0, 1000, 2000}, {2, -1, 1000, 1600}, {2, 1, 1000, 2400},
               {60, 1, 1000, 72000}, {60, -1, 1000, 48000}, {4, 0.5, 10, 44}};
  for (const auto& row : table)
    EXPECT_EQ(SpreadWait(row.seconds, row.spread, row.second), row.milliseconds) << row.seconds;
}

// A reconnecting session: a second of the waits lasts a few milliseconds
// and the waits are not spread; each wait is read from its first countdown.
class ReconnectTest : public SessionTest {
 public:
  ReconnectTest() {
    session.AutoReconnect = true;
    session.Pauses.ReconnectSecond = 3;
    session.WaitSpread = [] { return 0.0; };
    session.OnStatus = [this](const QString& text) {
      if (text.startsWith("再接続まで")) countdowns.push_back(text);
    };
  }
  // The host drops the line that is up; true when it was connected again.
  bool DropAndReconnect() {
    const int opens = Transport().Opens;
    Transport().Down(TDownCause::Ended);
    if (session.State() != Waiting) return false;
    if (!WaitUntil([&] { return Transport().Opens == opens + 1; })) return false;
    countdowns.push_back("-");
    return session.State() == Connecting;
  }
  void Up() {
    Transport().Up();
    ASSERT_TRUE(WaitUntil([&] { return !session.Paused(); }));
  }
  std::vector<QString> countdowns;
};

// Each drop in a row waits longer, up to a minute; each call is recorded and
// the login script runs again. A connection that stays up starts the waits
// again from the first.
TEST_F(ReconnectTest, DropsInARowWaitLongerAndAConnectionThatStaysUpStartsAgain) {
  session.Pauses.StaysUp = 150;
  ConnectUp(Entry("host.example", "23", "[login:]$I'"));
  for (int drop = 0; drop < 6; ++drop) {
    ASSERT_TRUE(DropAndReconnect()) << drop;
    Up();
    Transport().Block("login:");
  }
  ASSERT_TRUE(WaitUntil([&] { return std::count(events.begin(), events.end(), "send guest") == 6; }));
  std::vector<QString> firsts;
  for (std::size_t i = 0; i < countdowns.size(); ++i)
    if (countdowns[i] != "-" && (i == 0 || countdowns[i - 1] == "-")) firsts.push_back(countdowns[i]);
  EXPECT_EQ(firsts, (std::vector<QString>{"再接続まで 2 秒", "再接続まで 4 秒", "再接続まで 8 秒",
                                          "再接続まで 16 秒", "再接続まで 32 秒",
                                          "再接続まで 60 秒"}));
  const std::string record = CallRecord();
  EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 6);
  EXPECT_EQ(std::count(sounds.begin(), sounds.end(), kDown), 6);

  RunEventsFor(200);
  countdowns.clear();
  ASSERT_TRUE(DropAndReconnect());
  EXPECT_EQ(countdowns.front(), "再接続まで 2 秒");
  session.Disconnect();
}

// A reconnect that fails waits the next step; the user's first start that
// fails does not reconnect at all.
TEST_F(ReconnectTest, AFailedReconnectWaitsLongerAndAFailedFirstStartNever) {
  session.Pauses.ReconnectSecond = 20;
  ConnectUp();
  Transport().Down(TDownCause::Ended);
  openPlan = {true, "refused"};
  ASSERT_TRUE(WaitUntil([&] { return countdowns.size() > 0 && countdowns.back() == "再接続まで 4 秒"; }));
  EXPECT_EQ(session.State(), Waiting);
  openPlan = {};
  ASSERT_TRUE(WaitUntil([&] { return session.State() == Connecting; }));
  Transport().Down(TDownCause::StartFailed, "host not found");
  EXPECT_EQ(session.State(), Waiting);
  EXPECT_EQ(countdowns.back(), "再接続まで 8 秒");
  session.Disconnect();

  const int opens = Transport().Opens;
  openPlan = {true, "refused"};
  EXPECT_FALSE(Connect());
  openPlan = {};
  ASSERT_TRUE(Connect());
  Transport().Down(TDownCause::StartFailed, "refused");
  RunEventsFor(50);
  EXPECT_EQ(session.State(), Idle);
  EXPECT_EQ(Transport().Opens, opens + 2);
}

// Ends that are not a drop of a telnet line never reconnect: the user's
// disconnect, a modem's call and the silent-line restart.
TEST_F(ReconnectTest, OnlyADroppedTelnetLineIsConnectedAgain) {
  const struct {
    const char* name;
    TAPData entry;
    std::function<void(SessionTest&)> end;
    TSessionState after;
  } table[] = {
      {"user", kTelnetEntry, [](SessionTest& t) { t.session.Disconnect(); }, Idle},
      {"serial", kSerialEntry,
       [](SessionTest& t) { t.Transport(TConnectKind::SerialModem).Down(TDownCause::Ended); }, Idle},
      {"telephony", kTelephonyEntry,
       [](SessionTest& t) { t.Transport(TConnectKind::TelephonyModem).Down(TDownCause::Ended); },
       Idle},
  };
  for (const auto& row : table) {
    ConnectUp(row.entry);
    row.end(*this);
    RunEventsFor(50);
    EXPECT_EQ(session.State(), row.after) << row.name;
  }
  EXPECT_TRUE(countdowns.empty());

  session.ReconnectTimeOut = 1;
  const int opens = Transport().Opens;
  ConnectUp();
  ASSERT_TRUE(WaitUntil([&] { return Transport().Opens == opens + 2; }, 3000));
  EXPECT_EQ(session.LastEnd(), Restart);
  EXPECT_TRUE(countdowns.empty());
  EXPECT_EQ(std::count(states.begin(), states.end(), Waiting), 0);
  session.Disconnect();
}

// The wait is cancelled by the user's disconnect, by a connection made by
// hand and by the cancel command; nothing is connected after it.
TEST_F(ReconnectTest, TheUserCancelsTheWait) {
  session.Pauses.ReconnectSecond = 50;
  const std::function<void(ReconnectTest&)> cancels[] = {
      [](ReconnectTest& t) { t.session.Disconnect(); },
      [](ReconnectTest& t) { t.session.CancelReconnect(); },
      [](ReconnectTest& t) {
        ASSERT_TRUE(t.Connect());
        t.session.Disconnect();
      },
  };
  for (const auto& cancel : cancels) {
    ConnectUp();
    Transport().Down(TDownCause::Ended);
    ASSERT_EQ(session.State(), Waiting);
    EXPECT_EQ(session.Status(), "再接続まで 2 秒");
    const int opens = Transport().Opens;
    cancel(*this);
    EXPECT_EQ(session.State(), Idle);
    EXPECT_FALSE(session.Status().startsWith("再接続"));
    const int after = Transport().Opens;
    EXPECT_LE(after, opens + 1);
    RunEventsFor(200);
    EXPECT_EQ(Transport().Opens, after);
  }
}

}  // namespace
