// Starting and ending telnet connections through the main window.
#include <QElapsedTimer>
#include <QTimer>
#include <regex>

#include "access/APConfig.h"
#include "comm/HostLookup.h"
#include "session/ConnectingFixture.h"
#include "support/LoopbackPeer.h"
#include "text/Codec.h"
#include "text/LogMgr.h"

namespace {

// A loopback port on which nothing listens.
quint16 ClosedPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

class ConnectionControlTest : public ConnectingTest {
 protected:
  void ConnectToPeer() {
    ASSERT_TRUE(peer.Listening());
    SaveTelnetEntry("Peer", peer.Port());
    Start();
    Click("Connect1");
    ASSERT_TRUE(WaitUntil([&] { return Status() == "接続しました"; }, kWaitMs));
  }
  std::string CallRecord() { return ReadDataFile("Phone.txt"); }

  // Answers the entry editor once it is shown.
  void WhenEditorShown(bool ok) {
    QTimer::singleShot(0, [ok] {
      auto* editor = qobject_cast<TAPConfigForm*>(QApplication::activeModalWidget());
      ASSERT_NE(editor, nullptr);
      if (ok)
        editor->findChild<QPushButton*>("OKButton")->click();
      else
        editor->reject();
    });
  }

  TLoopbackPeer peer;
};

TEST_F(ConnectionControlTest, AFailedAttemptReturnsToIdleAndShowsWhy) {
  struct TCase {
    std::string port;
    QString status;
  };
  const TCase cases[] = {
      {std::to_string(ClosedPort()), "Connection refused"},
      {"port", "'port' is not a valid integer value"},
  };
  for (const TCase& c : cases) {
    TAPData entry;
    entry.HostName = "127.0.0.1";
    entry.Port = c.port;
    entry.Script = "[>]x'";
    entry.LogName = "Lo";
    SaveEntry("Closed", entry);
    SetSetting("AccessList/Default", "Closed");
    Start();
    RecordSounds();
    Click("Connect1");
    ASSERT_TRUE(WaitForIdle()) << c.port;
    EXPECT_EQ(Status(), c.status);
    EXPECT_TRUE(sounds.isEmpty()) << sounds.join(", ").toStdString();
    EXPECT_FALSE(Connected());
    EXPECT_FALSE(Enabled("CancelButton"));
    EXPECT_EQ(form->ConnectKind(), TWombatForm::kNoConnection);
    EXPECT_EQ(form->windowTitle(), "Wombat");
  }
  EXPECT_FALSE(form->LogMgr().IsOpen());
  EXPECT_EQ(CallRecord(), "");
}

// A name server that never answers.
class TSilentResolver : public THostResolver {
 public:
  std::unique_ptr<THostLookup> Lookup(const QString&, QObject*, TAnswered) override {
    return std::make_unique<THostLookup>();
  }
};

// Counts the paint events of a widget.
class TPaintCounter : public QObject {
 public:
  int Count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++Count;
    return false;
  }
};

// While the host's name is looked up the window paints; Disconnect asks and
// ends the attempt, and closing the window during one closes it at once.
TEST_F(ConnectionControlTest, ALookupThatNeverAnswersBlocksNothing) {
  THostResolver::SetDefault(std::make_shared<TSilentResolver>());
  struct TRestore {
    ~TRestore() { THostResolver::SetDefault(nullptr); }
  } restore;
  TAPData entry;
  entry.HostName = "silent.example";
  entry.Port = "23";
  entry.LogName = "Lo";
  SaveEntry("Silent", entry);
  SetSetting("AccessList/Default", "Silent");
  Start();
  Click("Connect1");
  EXPECT_TRUE(Connected());
  EXPECT_EQ(Status(), "silent.exampleのﾎﾟｰﾄ23へ接続しています");
  TPaintCounter paints;
  auto* status = Get<QLabel>("StatusPanel");
  status->installEventFilter(&paints);
  status->update();
  EXPECT_TRUE(WaitUntil([&] { return paints.Count > 0; }, kWaitMs));

  ui.confirmAnswers = {false};
  Click("Disconnect1");
  EXPECT_TRUE(Connected());
  Click("Disconnect1");
  EXPECT_EQ(ui.questions, QStringList(2, "回線を切断してよろしいですか？"));
  EXPECT_FALSE(Connected());
  EXPECT_EQ(Status(), "");

  Click("Connect1");
  ASSERT_TRUE(Connected());
  QElapsedTimer clock;
  clock.start();
  EXPECT_TRUE(form->close());
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_FALSE(form->isVisible());
}

// The pauses of a connection as the window has them by default: two seconds
// after the connect before the first step, one second for each "*", one
// second before a silent line is connected again.
TEST_F(ConnectionControlTest, TheDefaultPausesHoldTheScriptStepsAndTheRestart) {
  SaveTelnetEntry("Peer", peer.Port(), "a*b");
  SetSetting("Settings/TimeOut", "1");
  form = std::make_unique<TWombatForm>();
  form->show();
  QElapsedTimer clock;
  Click("Connect1");
  ASSERT_TRUE(peer.WaitForConnections(1));
  clock.start();
  ASSERT_TRUE(peer.WaitForReceived(1, kWaitMs));
  const qint64 first = clock.elapsed();
  ASSERT_TRUE(peer.WaitForReceived(2, kWaitMs));
  const qint64 second = clock.elapsed();
  EXPECT_EQ(peer.Received(), "ab");
  // The peer sees the connection a little after the window does.
  EXPECT_GE(first, 1700);
  EXPECT_LT(first, 3500);
  EXPECT_GE(second - first, 800);
  EXPECT_LT(second - first, 2500);

  ASSERT_TRUE(peer.WaitForClientClosed(kWaitMs));
  clock.restart();
  ASSERT_TRUE(peer.WaitForConnections(2, kWaitMs));
  EXPECT_GE(clock.elapsed(), 800);
  EXPECT_LT(clock.elapsed(), 2500);
}

TEST_F(ConnectionControlTest, AnEntryWithoutHostOrNeededIDOpensTheEditorInstead) {
  TAPData entry;
  entry.Script = "[>]$I'";
  SaveEntry("Empty", entry);
  SetSetting("AccessList/Default", "Empty");
  Start();
  WhenEditorShown(false);
  Click("Connect1");
  EXPECT_EQ(ui.messages,
            QStringList({"ホスト名／電話番号が設定されていません。", "IDの入力が必要です。"}));
  EXPECT_FALSE(Connected());
}

TEST_F(ConnectionControlTest, AScriptWithoutTheIDConnectsWithAnEmptyID) {
  ASSERT_TRUE(peer.Listening());
  SaveTelnetEntry("Peer", peer.Port(), "[>]$P'");
  Start();
  Click("Connect1");
  ASSERT_TRUE(peer.WaitForConnections(1));
  EXPECT_TRUE(ui.messages.isEmpty());
  EXPECT_TRUE(Connected());
  EXPECT_EQ(form->windowTitle(), "Wombat - Peer");
  EXPECT_EQ(QApplication::applicationDisplayName(), "Peer");
  EXPECT_EQ(form->LogMgr().FileName(),
            "Lo" + QDate::currentDate().toString("yyMMdd").toStdString() + ".log");
}

TEST_F(ConnectionControlTest, DisconnectingAndClosingAskFirstAndWriteOneCallRecord) {
  ConnectToPeer();
  RecordSounds();
  ui.confirmAnswers = {false, false, true};
  Click("Disconnect1");
  EXPECT_TRUE(Connected());
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(Connected());

  // Alt+F4 closes through the same question.
  Press(form.get(), Qt::Key_F4, Qt::AltModifier);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(ui.questions, QStringList(3, "回線を切断してよろしいですか？"));
  EXPECT_FALSE(Connected());
  EXPECT_TRUE(peer.WaitForClientClosed());
  EXPECT_FALSE(form->LogMgr().IsOpen());
  EXPECT_EQ(form->windowTitle(), "Wombat");
  EXPECT_EQ(sounds, QStringList{"Discon.wav"});

  const std::regex record("Peer {26}\\d{4}\\.\\d\\d\\.\\d\\d\\(\\w+\\) \\d\\d:\\d\\d:\\d\\d" +
                          Sjis("～") + "\\d\\d:\\d\\d:\\d\\d\r\n");
  EXPECT_TRUE(std::regex_match(CallRecord(), record)) << CallRecord();
}

TEST_F(ConnectionControlTest, TheHostClosingEndsTheConnection) {
  ConnectToPeer();
  peer.Send("last words\r\n");
  peer.CloseClient();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_TRUE(ViewShows("TerminalView", "last words"));
  EXPECT_EQ(Status(), "");
  EXPECT_NE(CallRecord(), "");
}

TEST_F(ConnectionControlTest, ASilentHostIsConnectedAgainAfterTheSetTime) {
  SetSetting("Settings/TimeOut", "1");
  ConnectToPeer();
  ASSERT_TRUE(peer.WaitForConnections(2, 4000));
  EXPECT_TRUE(WaitUntil([&] { return Connected(); }, kWaitMs));
  // The dropped connection has its call record line.
  const std::string record = CallRecord();
  EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 1) << record;
}

TEST_F(ConnectionControlTest, TheCommandLineAddressConnectsThroughTheEntryTemp) {
  ASSERT_TRUE(peer.Listening());
  Start({QString("telnet://127.0.0.1:%1/").arg(peer.Port())});
  ASSERT_TRUE(peer.WaitForConnections(1));
  EXPECT_EQ(form->SelectedEntry(), "Temp");
  EXPECT_EQ(form->CurrentEntry().Port, std::to_string(peer.Port()));
  EXPECT_EQ(form->windowTitle(), "Wombat - Temp");
  EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join('|').toStdString();
}

// An IPv6 address and a port connect as the same address in a URL does.
TEST_F(ConnectionControlTest, AnIpv6AddressAndAPortOnTheCommandLineConnect) {
  TLoopbackPeer ipv6Peer(QHostAddress::LocalHostIPv6);
  if (!ipv6Peer.Listening()) GTEST_SKIP() << "this machine has no IPv6 loopback";
  Start({"::1", QString::number(ipv6Peer.Port())});
  ASSERT_TRUE(ipv6Peer.WaitForConnections(1));
  EXPECT_EQ(form->CurrentEntry().HostName, "[::1]");
  EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join('|').toStdString();
}

// An address from outside (a link in a web page) never spends what "Temp"
// holds for another host, and leaves the stored entry as it was.
TEST_F(ConnectionControlTest, AnAddressFromOutsideSendsNothingStoredAndKeepsTemp) {
  ASSERT_TRUE(peer.Listening());
  TAPData temp;
  temp.HostName = "other.example";
  temp.Port = "23";
  temp.ID = "myid";
  temp.Password = "hunter2";
  temp.Script = "[ID:]$I'[Password:]$P'";
  temp.LogName = "Te";
  SaveEntry("Temp", temp);
  const std::string stored = ReadDataFile("Temp.ap");
  Start({QString("telnet://myid@127.0.0.1:%1/").arg(peer.Port())});
  EXPECT_TRUE(Status().endsWith("（ID･ﾊﾟｽﾜｰﾄﾞ･ｽｸﾘﾌﾟﾄなし）")) << Status().toStdString();
  ASSERT_TRUE(peer.WaitForConnections(1));
  ASSERT_TRUE(WaitUntil([&] { return Status() == "接続しました"; }, kWaitMs));
  peer.Send("Welcome\r\nID:");
  RunEventsFor(200);
  peer.Send("Password:");
  RunEventsFor(300);
  EXPECT_EQ(peer.Received(), "");
  EXPECT_TRUE(ViewShows("TerminalView", "Welcome"));
  EXPECT_EQ(ReadDataFile("Temp.ap"), stored);
  EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join('|').toStdString();
}

TEST_F(ConnectionControlTest, AnAddressTypedIntoTempConnects) {
  ASSERT_TRUE(peer.Listening());
  TAPData temp;
  temp.HostName = "127.0.0.1";
  temp.Port = std::to_string(peer.Port());
  SaveEntry("Temp", temp);
  SaveEntry("Other", TAPData{});
  SetSetting("AccessList/Default", "Other");
  Start();
  WhenEditorShown(true);
  Get<QAction>("K2")->trigger();
  ASSERT_TRUE(peer.WaitForConnections(1));
  EXPECT_EQ(form->SelectedEntry(), "Temp");
}

TEST_F(ConnectionControlTest, BreakSendsTheTelnetBreakCommand) {
  ConnectToPeer();
  Get<QAction>("KB1")->trigger();
  EXPECT_TRUE(WaitUntil([&] { return peer.Received() == "\xff\xf3"; }, kWaitMs));
}

TEST_F(ConnectionControlTest, TheReconnectTimeTakesOnlyWholeNumbersFromZeroUp) {
  Start();
  ui.inputs = {"abc", "-5", "45"};
  Get<QAction>("ChangeTimeOut")->trigger();
  EXPECT_EQ(form->ReconnectTimeOut(), 45);
  EXPECT_EQ(ui.questions.size(), 3);
  ui.inputs = {""};
  Get<QAction>("ChangeTimeOut")->trigger();
  EXPECT_EQ(form->ReconnectTimeOut(), 45);
}

}  // namespace
