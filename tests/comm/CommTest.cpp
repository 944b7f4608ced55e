// The serial port on a pseudo-terminal: line settings, errors, exclusive
// open, and the notifications of the watcher thread.
#include <QtCore/qtestsupport_core.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <functional>

#include "comm/Comm.h"
#include "support/FakeModem.h"

namespace {

QString PathOf(const TPseudoTerminal& line) {
  return QString::fromStdString(line.SlavePath());
}

// --- Line settings ---

struct TSettingsCase {
  const char* name;
  std::function<void(TComm&)> configure;
  speed_t speed;
  tcflag_t cflagMask;
  tcflag_t cflag;  // the bits of cflagMask that must be set
  tcflag_t iflagMask;
  tcflag_t iflag;
};

void PrintTo(const TSettingsCase& c, std::ostream* out) {
  *out << c.name;
}

class CommSettings : public testing::TestWithParam<TSettingsCase> {};

TEST_P(CommSettings, ReachTheDeviceAtOpen) {
  const TSettingsCase& c = GetParam();
  TPseudoTerminal line;
  TComm comm;
  comm.SetPortName(PathOf(line));
  c.configure(comm);
  comm.Open();
  const termios settings = line.SlaveSettings();
  EXPECT_EQ(cfgetospeed(&settings), c.speed);
  EXPECT_EQ(settings.c_cflag & c.cflagMask, c.cflag);
  EXPECT_EQ(settings.c_iflag & c.iflagMask, c.iflag);
  EXPECT_EQ(settings.c_lflag & (ECHO | ICANON), 0u) << "raw mode";
}

// A pseudo-terminal always keeps 8 data bits and no parity enable, so those
// two are left out of the comparison.
constexpr tcflag_t kFrame = PARODD | CMSPAR | CSTOPB | CRTSCTS;

INSTANTIATE_TEST_SUITE_P(
    Table, CommSettings,
    testing::Values(
        TSettingsCase{"Defaults", [](TComm&) {}, B9600, kFrame, CRTSCTS, IXON | IXOFF | INPCK, 0},
        TSettingsCase{"UserDefinedSpeed",
                      [](TComm& c) {
                        c.SetBaudRate(-1);
                        c.SetBaudRateUserDefined(115200);
                      },
                      B115200, 0, 0, 0, 0},
        TSettingsCase{"EvenTwoStopBitsXonXoff",
                      [](TComm& c) {
                        c.SetByteSize(cbs7);
                        c.SetParityBits(cpbEven);
                        c.SetStopBits(csb2);
                        c.SetFlowControls({cfcXonXoff});
                      },
                      B9600, kFrame, CSTOPB, IXON | IXOFF | INPCK, IXON | IXOFF | INPCK},
        TSettingsCase{"MarkParity", [](TComm& c) { c.SetParityBits(cpbMark); }, B9600, kFrame,
                      PARODD | CMSPAR | CRTSCTS, INPCK, INPCK}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Comm, SpeedChangesAtOnceWhileOpenButThePortOnlyAtTheNextOpen) {
  TPseudoTerminal first, second;
  TComm comm;
  comm.SetPortName(PathOf(first));
  comm.Open();
  const auto speed = [&] {
    const termios settings = first.SlaveSettings();
    return cfgetospeed(&settings);
  };
  comm.SetBaudRate(57600);
  EXPECT_EQ(speed(), B57600);
  comm.SetBaudRate(12345);  // not offered: the speed stays
  EXPECT_EQ(speed(), B57600);

  comm.SetPortName(PathOf(second));
  comm.WriteString("still the first");
  EXPECT_EQ(first.ReadAvailable(), "still the first");
  comm.Close();
  comm.Open();
  comm.WriteString("now the second");
  EXPECT_EQ(second.ReadAvailable(), "now the second");
}

TEST(Comm, PortNumberNamesAComPort) {
  TComm comm;
  EXPECT_EQ(comm.Port(), 1);
  comm.SetPort(3);
  EXPECT_EQ(comm.PortName(), "COM3");
  EXPECT_EQ(comm.Port(), 3);
  comm.SetPortName("/dev/pts/4");
  EXPECT_EQ(comm.Port(), 0);
}

// --- Errors ---

TEST(Comm, ReadAndWriteOnAClosedPortRaise) {
  TComm comm;
  char buffer[4];
  try {
    comm.WriteString("x");
    FAIL() << "no exception";
  } catch (const ECommError& e) {
    EXPECT_EQ(e.Message(), "通信が開始されていなません");
  }
  try {
    comm.Read(buffer, 4);
    FAIL() << "no exception";
  } catch (const ECommError& e) {
    EXPECT_EQ(e.Message(), "通信が開始されていません");
  }
  try {
    comm.SendBreak();
    FAIL() << "no exception";
  } catch (const ECommReadWriteError& e) {
    EXPECT_EQ(e.ErrorCode, EBADF);
    EXPECT_EQ(e.Message(), QStringLiteral("入出力エラー ErrorCode = %1").arg(EBADF));
  }
  comm.Close();  // nothing to do
}

TEST(Comm, ABlockLongerThanTheOutputQueueIsRefusedWhole) {
  TPseudoTerminal line;
  TComm comm;
  comm.SetPortName(PathOf(line));
  comm.Open();
  try {
    comm.WriteString(std::string(4097, 'x'));
    FAIL() << "no exception";
  } catch (const ECommError& e) {
    EXPECT_EQ(e.Message(), "送信データ長が長すぎます");
  }
  EXPECT_EQ(line.ReadAvailable(100), "");
  comm.WriteString(std::string(4096, 'y'));
  EXPECT_EQ(line.ReadAvailable().size(), 4096u);
}

// Fills the line of a far end that reads nothing until the port refuses more;
// gives the bytes the port took.
std::string StallTheLine(TComm& comm) {
  const std::string block(4096, 's');
  std::string taken;
  for (int i = 0; i < 1000; ++i) {
    try {
      comm.WriteString(block);
    } catch (const ECommReadWriteError& e) {
      EXPECT_EQ(e.ErrorCode, ENOBUFS);
      return taken;
    }
    taken += block;
  }
  ADD_FAILURE() << "the port never refused more output";
  return taken;
}

// Writes never wait for room; a line that takes nothing for a second has its
// queued output given up and said, and is usable again afterwards.
TEST(Comm, AStalledLineNeverHoldsTheWriterAndIsGivenUpAfterASecond) {
  TPseudoTerminal line;
  TComm comm;
  comm.SetPortName(PathOf(line));
  std::vector<QString> messages;
  comm.OnMessage = [&](const QString& text) { messages.push_back(text); };
  comm.Open();
  QElapsedTimer clock;
  clock.start();
  StallTheLine(comm);
  // Dozens of writes against a full line; one wait for room would be a second.
  EXPECT_LT(clock.elapsed(), 900);
  EXPECT_TRUE(messages.empty());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 5000));
  EXPECT_EQ(messages,
            std::vector<QString>{QStringLiteral("入出力エラー ErrorCode = %1").arg(ETIMEDOUT)});

  while (!line.ReadAvailable(100).empty()) {
  }
  comm.WriteString("after\r");
  EXPECT_EQ(line.ReadAvailable(), "after\r");
  EXPECT_EQ(messages.size(), 1u);
}

// Output queued at the close goes out in the background; a new open of the
// device meanwhile waits for that close instead of finding the device busy.
TEST(Comm, CloseReturnsAtOnceAndANewOpenWaitsForTheCloseToFinish) {
  TPseudoTerminal line;
  TComm first, second;
  first.SetPortName(PathOf(line));
  second.SetPortName(PathOf(line));
  first.Open();
  const std::string queued = StallTheLine(first);
  first.WriteString("ATZ\r");
  QElapsedTimer clock;
  clock.start();
  first.Close();
  EXPECT_LT(clock.elapsed(), 200);
  EXPECT_FALSE(first.IsOpen());

  std::string received;
  second.OnCommReceive = [&](QObject*, uint16_t size) {
    std::string block(size, '\0');
    block.resize(static_cast<size_t>(second.Read(block.data(), size)));
    received += block;
  };
  second.Open();
  EXPECT_TRUE(second.IsOpen());
  second.WriteString("AT\r");  // waits for the device with the port
  // The far end reads now: the first port's output arrives whole, then the
  // second port's.
  std::string far;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        far += line.ReadAvailable(10);
        return far.size() >= queued.size() + 7;
      },
      5000));
  EXPECT_TRUE(far == queued + "ATZ\r" + "AT\r") << far.size();
  line.Write("OK\r");
  EXPECT_TRUE(QTest::qWaitFor([&] { return received == "OK\r"; }, 5000));
}

struct TOpenFailure {
  const char* name;
  std::function<QString(const TPseudoTerminal&)> portName;
};

void PrintTo(const TOpenFailure& c, std::ostream* out) {
  *out << c.name;
}

class CommOpenFailure : public testing::TestWithParam<TOpenFailure> {};

TEST_P(CommOpenFailure, RaisesOpenErrorMinusOne) {
  TPseudoTerminal line;
  // Another program holds the line.
  const int other = ::open(line.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  TComm comm;
  comm.SetPortName(GetParam().portName(line));
  try {
    comm.Open();
    FAIL() << "no exception";
  } catch (const ECommOpenError& e) {
    EXPECT_EQ(e.ErrorCode, -1);
    EXPECT_EQ(e.Message(), "オープンエラー ErrorCode = -1");
  }
  EXPECT_FALSE(comm.IsOpen());
  ::close(other);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommOpenFailure,
    testing::Values(TOpenFailure{"HeldByAnotherProgram", PathOf},
                    TOpenFailure{"Missing",
                                 [](auto&) { return QStringLiteral("/dev/no-such-port"); }},
                    TOpenFailure{"NotATerminal", [](auto&) { return QStringLiteral("/dev/null"); }},
                    TOpenFailure{"NotAPortName", [](auto&) { return QStringLiteral("LPT1"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Comm, ASecondComponentCannotOpenAPortInUseUntilItIsClosed) {
  TPseudoTerminal line;
  TComm first, second;
  first.SetPortName(PathOf(line));
  second.SetPortName(PathOf(line));
  first.Open();
  first.Open();  // already open: nothing
  EXPECT_THROW(second.Open(), ECommOpenError);
  first.Close();
  second.Open();
  EXPECT_TRUE(second.IsOpen());
}

// --- Notifications ---

TEST(Comm, ReceiveNotificationsComeOnTheMainThreadOneAtATimeInOrder) {
  TPseudoTerminal line;
  TComm comm;
  comm.SetPortName(PathOf(line));
  std::string received;
  int inHandler = 0;
  bool overlapped = false;
  bool offThread = false;
  comm.OnCommReceive = [&](QObject* sender, uint16_t size) {
    overlapped |= inHandler++ > 0;
    offThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
    EXPECT_EQ(sender, &comm);
    std::string block(size, '\0');
    block.resize(static_cast<size_t>(comm.Read(block.data(), size)));
    received += block;
    QThread::msleep(20);  // more blocks arrive meanwhile
    --inHandler;
  };
  comm.Open();
  for (const char* block : {"one ", "two ", "three ", "four"}) line.Write(block);
  EXPECT_TRUE(QTest::qWaitFor([&] { return received.size() >= 18; }, 5000));
  EXPECT_EQ(received, "one two three four");
  EXPECT_FALSE(overlapped);
  EXPECT_FALSE(offThread);
}

TEST(Comm, ANotificationMayCloseThePortAndItOpensAgain) {
  TPseudoTerminal line;
  TComm comm;
  comm.SetPortName(PathOf(line));
  int receives = 0;
  comm.OnCommReceive = [&](QObject*, uint16_t) {
    ++receives;
    comm.Close();
  };
  comm.Open();
  line.Write("a");
  ASSERT_TRUE(QTest::qWaitFor([&] { return receives == 1; }, 5000));
  EXPECT_FALSE(comm.IsOpen());
  comm.Open();
  line.Write("b");
  EXPECT_TRUE(QTest::qWaitFor([&] { return receives == 2; }, 5000));
}

TEST(Comm, AVanishedPeerIsOneCarrierLossAndThenSilence) {
  TPseudoTerminal line;
  TComm comm;
  comm.SetPortName(PathOf(line));
  std::vector<TCommEventMask> events;
  int receives = 0;
  comm.OnCommEvent = [&](QObject*, TCommEventMask mask) { events.push_back(mask); };
  comm.OnCommReceive = [&](QObject*, uint16_t) { ++receives; };
  comm.Open();
  EXPECT_TRUE(comm.RlsdState());
  line.Close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !events.empty(); }, 5000));
  QTest::qWait(200);
  EXPECT_EQ(events, std::vector<TCommEventMask>{TCommEventMask{evRlsd}});
  EXPECT_EQ(receives, 0);
  EXPECT_FALSE(comm.RlsdState());
  EXPECT_THROW(comm.WriteString("x"), ECommReadWriteError);
  comm.Close();
}

TEST(Comm, TransmitNotificationWhenTheOutputQueueHasDrained) {
  TPseudoTerminal line;
  TComm comm;
  comm.SetPortName(PathOf(line));
  comm.SetEventMask({evTxempty});
  int transmits = 0;
  comm.OnCommTransmit = [&](QObject*, uint16_t size) {
    ++transmits;
    EXPECT_EQ(size, 0);
  };
  comm.Open();
  comm.WriteString("hello");
  EXPECT_TRUE(QTest::qWaitFor([&] { return transmits == 1; }, 5000));
  QTest::qWait(150);
  EXPECT_EQ(transmits, 1);
}

// The break is held by a timer: SendBreak runs no event loop of its own, and
// closing the port while the break is held ends it.
TEST(Comm, BreakReturnsAtOnceAndATimerEndsIt) {
  TPseudoTerminal line;
  TComm comm;
  comm.SetPortName(PathOf(line));
  comm.Open();
  bool queuedRan = false;
  QTimer::singleShot(0, [&] { queuedRan = true; });
  comm.SendBreak();
  EXPECT_FALSE(queuedRan);
  QTest::qWait(600);  // the break ends meanwhile
  EXPECT_TRUE(queuedRan);
  comm.WriteString("after");
  EXPECT_EQ(line.ReadAvailable(), "after");

  comm.SendBreak();
  comm.Close();
  QTest::qWait(600);  // the timer finds the port closed
  EXPECT_FALSE(comm.IsOpen());
}

}  // namespace
