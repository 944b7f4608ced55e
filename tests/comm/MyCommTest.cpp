// The modem dialer: scripted modem replies on a pseudo-terminal, each block
// its own notification, and whole calls through the fake modem.
#include <QtCore/qtestsupport_core.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comm/MyComm.h"
#include "comm/SerialDevice.h"
#include "support/FakeModem.h"

using namespace std::string_literals;

namespace {

const std::string kNumber = "0312345678";

// Counts the receive notifications it has handled, so that a test can hand
// it one block per notification.
class TCountingDialer : public TMyComm {
 public:
  int Receives = 0;

 protected:
  void CommReceive() override {
    TMyComm::CommReceive();
    ++Receives;
  }
};

// A dialer on a pseudo-terminal whose far end the test plays, recording what
// reaches the owner.
class DialerTest : public testing::Test {
 protected:
  void SetUp() override {
    dialer.SetPortName(QString::fromStdString(line.SlavePath()));
    dialer.SetPhoneNumber(kNumber);
    dialer.OnConnect = [this](QObject*) { ++connects; };
    dialer.OnDisconnect = [this](QObject*) { ++disconnects; };
    dialer.OnReceiveData = [this](QObject*, const char* buffer, uint16_t length) {
      EXPECT_EQ(buffer[length], '\0');
      owner.append(buffer, length);
    };
    dialer.OnMessage = [this](const QString& text) { messages.push_back(text); };
  }

  // The modem sends one block; waits until the dialer has handled it.
  void Deliver(const std::string& block) {
    const int before = dialer.Receives;
    line.Write(block);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialer.Receives > before; }, 5000)) << block;
  }

  // What the dialer has sent since the last look; `expected` empty means
  // nothing, checked for a short while only.
  std::string Sent(const std::string& expected) {
    return line.ReadAvailable(expected.empty() ? 50 : 2000);
  }

  TPseudoTerminal line;
  TCountingDialer dialer;
  std::string owner;
  int connects = 0;
  int disconnects = 0;
  std::vector<QString> messages;
};

// --- The dialling sequence, block by block ---

struct TStep {
  std::string block;  // from the modem
  std::string sent;   // what the dialer sends in answer
  int connects;       // OnConnect raised so far
};

struct TDialCase {
  const char* name;
  TDialOperate operate;
  std::vector<std::string> init;
  std::vector<TStep> steps;
  std::string owner;  // everything that reached OnReceiveData
  int dialState;
  int disconnects;
  std::string failure = "";  // DialFailure at the end
};

void PrintTo(const TDialCase& c, std::ostream* out) {
  *out << c.name;
}

class DialSequence : public DialerTest, public testing::WithParamInterface<TDialCase> {};

TEST_P(DialSequence, RepliesDriveTheCommands) {
  const TDialCase& c = GetParam();
  dialer.SetDialOperate(c.operate);
  dialer.InitCommands = c.init;
  dialer.Dial();
  EXPECT_EQ(Sent("AT\r"), "AT\r");
  for (const TStep& step : c.steps) {
    Deliver(step.block);
    EXPECT_EQ(Sent(step.sent), step.sent) << "after " << testing::PrintToString(step.block);
    EXPECT_EQ(connects, step.connects) << "after " << testing::PrintToString(step.block);
  }
  EXPECT_EQ(owner, c.owner);
  EXPECT_EQ(dialer.DialState(), c.dialState);
  EXPECT_EQ(disconnects, c.disconnects);
  EXPECT_EQ(dialer.IsOpen(), c.disconnects == 0);
  EXPECT_EQ(dialer.DialFailure(), c.failure);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DialSequence,
    testing::Values(TDialCase{"ToneEchoTwoInitCommands",
                              doTone,
                              {"ATZ", "ATM0"},
                              {{"AT\r", "", 0},
                               {"\r\nOK\r\n", "ATZ\r", 0},
                               {"ATZ\r", "", 0},
                               {"\r\nOK\r\n", "ATM0\r", 0},
                               {"ATM0\r\r\nOK\r\n", "ATDT" + kNumber + "\r", 0},
                               {"ATDT" + kNumber + "\r", "", 0},  // the echo is no connection
                               {"\r\nCONNECT\0 9600\r\n"s, "", 1},
                               {"Welcome\r\n\r\nlogin: ", "", 1}},
                              "AT\rOK\rATZ\rOK\rATM0\rOK\rATDT" + kNumber +
                                  "\rCONNECT 9600\rWelcome\r\rlogin: ",
                              0,
                              0},
                    TDialCase{"PulseEmptyInitListEchoOff",
                              doPulse,
                              {},
                              {{"\r\nOK\r\n", "ATZ\r", 0},
                               {"\r\nOK\r\n", "ATDP" + kNumber + "\r", 0},
                               {"\r\n", "", 0},  // a bare line end is no reply yet
                               {"CONNECT\r\n", "", 1}},
                              "OK\rOK\rCONNECT\r",
                              0,
                              0},
                    TDialCase{"ReplySplitOverTwoNotifications",
                              doTone,
                              {"ATZ"},
                              {{"A", "", 0}, {"T\r\r\nO", "", 0}, {"K\r\n", "ATZ\r", 0}},
                              "AT\rOK\r",
                              1,
                              0},
                    TDialCase{"LinesAfterTheDialCommandSendNothingMore",
                              doTone,
                              {},
                              {{"\r\nOK\r\n", "ATZ\r", 0},
                               {"\r\nOK\r\nRING\r\n", "ATDT" + kNumber + "\r", 0},
                               {"\r\nCONNECT\r\n", "", 1}},
                              "OK\rOK\rRING\rCONNECT\r",
                              0,
                              0},
                    TDialCase{"BusyEndsTheCallInsteadOfConnecting",
                              doTone,
                              {},
                              {{"\r\nOK\r\n", "ATZ\r", 0},
                               {"\r\nOK\r\n", "ATDT" + kNumber + "\r", 0},
                               {"\r\nBUSY\r\n", "", 0}},
                              "OK\rOK\rBUSY\r",
                              0,
                              1,
                              "BUSY"},
                    TDialCase{"DialEchoInTwoPiecesIsNoConnection",
                              doTone,
                              {},
                              {{"\r\nOK\r\n", "ATZ\r", 0},
                               {"\r\nOK\r\n", "ATDT" + kNumber + "\r", 0},
                               {"AT", "", 0},
                               {"DT" + kNumber + "\r", "", 0},
                               {"\r\nNO CARRIER\r\n", "", 0}},
                              "OK\rOK\rATDT" + kNumber + "\rNO CARRIER\r",
                              0,
                              1,
                              "NO CARRIER"},
                    TDialCase{"DialEchoJoinedWithErrorEndsTheCall",
                              doTone,
                              {},
                              {{"\r\nOK\r\n", "ATZ\r", 0},
                               {"\r\nOK\r\n", "ATDT" + kNumber + "\r", 0},
                               {"ATDT" + kNumber + "\r\r\nERROR\r\n", "", 0}},
                              "OK\rOK\rATDT" + kNumber + "\rERROR\r",
                              0,
                              1,
                              "ERROR"},
                    TDialCase{"TextAfterTheConnectLineIsTheHosts",
                              doTone,
                              {},
                              {{"\r\nOK\r\n", "ATZ\r", 0},
                               {"\r\nOK\r\n", "ATDT" + kNumber + "\r", 0},
                               {"\r\nCONNECT 2400\r\nNO CARRIER? login: ", "", 1}},
                              "OK\rOK\rCONNECT 2400\rNO CARRIER? login: ",
                              0,
                              0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialerTest, WithoutANumberOnlyAMessageIsShown) {
  dialer.SetPhoneNumber("");
  dialer.Dial();
  EXPECT_EQ(messages, std::vector<QString>{"電話番号が入力されていません。"});
  EXPECT_FALSE(dialer.IsOpen());
  EXPECT_EQ(dialer.DialState(), 0);
}

// The second before "AT" passes in the event loop, not inside Dial; hanging
// up meanwhile ends the call without a command.
TEST_F(DialerTest, TheFirstCommandFollowsFromTheEventLoop) {
  dialer.Dial();
  EXPECT_EQ(Sent(""), "");
  EXPECT_EQ(Sent("AT\r"), "AT\r");
  dialer.HangUp();

  dialer.Dial();
  dialer.HangUp();
  EXPECT_EQ(disconnects, 2);
  EXPECT_FALSE(dialer.IsOpen());
  QTest::qWait(1200);
  EXPECT_EQ(Sent(""), "");
}

TEST_F(DialerTest, APartialLineFromAnEarlierCallDoesNotSpoilTheNext) {
  dialer.Dial();
  Sent("AT\r");
  Deliver("\r\nNO CARR");
  dialer.HangUp();
  dialer.Dial();
  Sent("AT\r");
  Deliver("AT\r");  // the echo, seen as such
  EXPECT_EQ(Sent(""), "");
  EXPECT_EQ(dialer.DialState(), 2);
}

TEST_F(DialerTest, AModemLineWithoutCRIsCutAtTheBound) {
  dialer.Dial();
  Sent("AT\r");
  Deliver(std::string(kModemLineLimit + 10, 'x'));
  EXPECT_EQ(owner, std::string(kModemLineLimit, 'x') + "\r");
  EXPECT_EQ(Sent("ATZ\r"), "ATZ\r");  // a line like any other reply
  Deliver("\r\n");
  EXPECT_EQ(owner, std::string(kModemLineLimit, 'x') + "\rxxxxxxxxxx\r");
}

TEST_F(DialerTest, AVanishedLineEndsTheCallAlsoBeforeDialling) {
  dialer.Dial();
  line.Close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return disconnects > 0; }, 5000));
  QTest::qWait(100);
  EXPECT_EQ(disconnects, 1);
  EXPECT_FALSE(dialer.IsOpen());
}

TEST_F(DialerTest, AFailingPortPassesItsErrorToTheCaller) {
  dialer.SetPortName("/dev/no-such-port");
  EXPECT_THROW(dialer.Dial(), ECommOpenError);
  EXPECT_EQ(dialer.DialState(), 0);
}

// --- Hanging up in each phase ---

struct THangUpCase {
  const char* name;
  bool dial;
  std::vector<std::string> blocks;  // from the echo-less modem before the hang-up
  std::string sent;                 // what HangUp sends
  int disconnects;
};

void PrintTo(const THangUpCase& c, std::ostream* out) {
  *out << c.name;
}

class HangUp : public DialerTest, public testing::WithParamInterface<THangUpCase> {};

TEST_P(HangUp, SendsResetOnlyAfterTheDialCommandAndDisconnectsOnce) {
  const THangUpCase& c = GetParam();
  if (c.dial) dialer.Dial();
  for (const std::string& block : c.blocks) Deliver(block);
  line.ReadAvailable(c.dial ? 2000 : 50);  // everything sent so far

  dialer.HangUp();
  EXPECT_EQ(Sent(c.sent), c.sent);
  EXPECT_FALSE(dialer.IsOpen());
  EXPECT_EQ(dialer.DialState(), 0);
  EXPECT_EQ(disconnects, c.disconnects);
  dialer.HangUp();  // nothing left to end
  EXPECT_EQ(disconnects, c.disconnects);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HangUp,
    testing::Values(
        THangUpCase{"Idle", false, {}, "", 0}, THangUpCase{"CommandPhase", true, {}, "", 1},
        THangUpCase{"Dialling", true, {"\r\nOK\r\n", "\r\nOK\r\n"}, "ATZ\r", 1},
        THangUpCase{
            "Connected", true, {"\r\nOK\r\n", "\r\nOK\r\n", "\r\nCONNECT\r\n"}, "ATZ\r", 1}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Whole calls through the fake modem ---

class ModemCall : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    modem.SetEcho(GetParam());
    modem.AddHostReply("guest\r", "Password: ");
    dialer.SetPortName(QString::fromStdString(modem.DevicePath()));
    dialer.SetPhoneNumber(kNumber);
    dialer.InitCommands = {"ATZ", "ATX4"};
    dialer.OnConnect = [this](QObject*) {
      ++connects;
      dialStateAtConnect = dialer.DialState();
    };
    dialer.OnDisconnect = [this](QObject*) { ++disconnects; };
    dialer.OnReceiveData = [this](QObject*, const char* buffer, uint16_t length) {
      owner.append(buffer, length);
    };
  }

  bool Connect() {
    dialer.Dial();
    return QTest::qWaitFor([&] { return connects > 0; }, 5000);
  }

  TFakeModem modem;
  TMyComm dialer;
  std::string owner;
  int connects = 0;
  int disconnects = 0;
  int dialStateAtConnect = -1;
};

TEST_P(ModemCall, DialsConnectsTalksAndHangsUp) {
  ASSERT_TRUE(Connect());
  EXPECT_EQ(modem.Commands(), (std::vector<std::string>{"AT", "ATZ", "ATX4", "ATDT" + kNumber}));
  EXPECT_EQ(dialStateAtConnect, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return owner.ends_with("login: "); }, 5000));
  EXPECT_NE(owner.find("\rCONNECT 115200\r"), std::string::npos);
  EXPECT_EQ(owner.find('\n'), std::string::npos);

  dialer.WriteString("guest\r");
  EXPECT_TRUE(QTest::qWaitFor([&] { return owner.ends_with("guest\rPassword: "); }, 5000));

  dialer.HangUp();
  EXPECT_TRUE(modem.WaitForHostReceived("guest\rATZ\r"));
  EXPECT_EQ(connects, 1);
  EXPECT_EQ(disconnects, 1);
  EXPECT_FALSE(dialer.IsOpen());
}

TEST_P(ModemCall, AVanishedModemEndsTheCallOnce) {
  ASSERT_TRUE(Connect());
  modem.Vanish();
  ASSERT_TRUE(QTest::qWaitFor([&] { return disconnects > 0; }, 5000));
  EXPECT_FALSE(dialer.IsOpen());
  QTest::qWait(200);
  dialer.HangUp();
  EXPECT_EQ(disconnects, 1);
  EXPECT_EQ(connects, 1);
}

INSTANTIATE_TEST_SUITE_P(Echo, ModemCall, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "On" : "Off"; });

// The call is decided by the modem's result line, however the echo of the
// dial command arrives.
struct TDialResultCase {
  const char* name;
  TFakeModem::TDialEcho echo;
  std::string result;
  int connects;
  std::string failure;
};

void PrintTo(const TDialResultCase& c, std::ostream* out) {
  *out << c.name;
}

class DialResult : public testing::TestWithParam<TDialResultCase> {};

TEST_P(DialResult, DecidesTheCall) {
  const TDialResultCase& c = GetParam();
  TFakeModem modem;
  modem.SetDialEcho(c.echo);
  modem.SetDialResult(c.result);
  TMyComm dialer;
  dialer.SetPortName(QString::fromStdString(modem.DevicePath()));
  dialer.SetPhoneNumber(kNumber);
  int connects = 0;
  int disconnects = 0;
  dialer.OnConnect = [&](QObject*) { ++connects; };
  dialer.OnDisconnect = [&](QObject*) { ++disconnects; };
  dialer.Dial();
  ASSERT_TRUE(QTest::qWaitFor([&] { return connects + disconnects > 0; }, 5000));
  QTest::qWait(200);  // a later result would arrive now
  EXPECT_EQ(connects, c.connects);
  EXPECT_EQ(disconnects, 1 - c.connects);
  EXPECT_EQ(dialer.DialFailure(), c.failure);
  EXPECT_EQ(dialer.IsOpen(), c.connects == 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DialResult,
    testing::Values(
        TDialResultCase{"SplitEchoThenNoCarrier", TFakeModem::TDialEcho::Split, "NO CARRIER", 0,
                        "NO CARRIER"},
        TDialResultCase{"SplitEchoThenConnect", TFakeModem::TDialEcho::Split, "CONNECT 2400", 1,
                        ""},
        TDialResultCase{"EchoJoinedWithError", TFakeModem::TDialEcho::WithResult, "ERROR", 0,
                        "ERROR"},
        TDialResultCase{"EchoJoinedWithBusy", TFakeModem::TDialEcho::WithResult, "BUSY", 0,
                        "BUSY"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
