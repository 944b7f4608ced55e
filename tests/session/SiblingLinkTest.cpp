// The link with sibling programs, against the command-line sibling
// wombat-link running as a second process, and the end of the session
// against the program itself.
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <fstream>

#include "comm/SiblingLink.h"
#include "session/ConnectingFixture.h"
#include "support/LoopbackPeer.h"
#include "support/RawHost.h"
#include "text/Codec.h"

namespace {

// Starting a process on a loaded machine may take a while.
constexpr int kProcessWaitMs = 30000;

struct TLinkRun {
  int exitCode = -1;
  QString out;
  QString err;
};

class SiblingLinkTest : public ConnectingTest {
 protected:
  void TearDown() override {
    if (follower && follower->state() != QProcess::NotRunning) {
      SignalFollower(SIGCONT);
      follower->kill();
      follower->waitForFinished(kProcessWaitMs);
    }
  }

  QProcessEnvironment Environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", home.SettingsFolder());
    environment.insert("WOMBAT_HOME", home.DataFolder());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("LC_ALL", "C.UTF-8");
    return environment;
  }
  std::unique_ptr<QProcess> StartProgram(const char* name, const QStringList& arguments) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(Environment());
    process->start(QStringLiteral(WOMBAT_BINARY_DIR "/src/") + name, arguments);
    EXPECT_TRUE(process->waitForStarted(kProcessWaitMs)) << name;
    return process;
  }
  static bool WaitForEnd(QProcess& process) {
    return WaitUntil([&] { return process.state() == QProcess::NotRunning; }, kProcessWaitMs);
  }
  // Runs wombat-link to its end while the window goes on working.
  TLinkRun RunLink(const QStringList& arguments) {
    std::unique_ptr<QProcess> link = StartProgram("wombat-link", arguments);
    EXPECT_TRUE(WaitForEnd(*link)) << arguments.join(' ').toStdString();
    return {link->exitCode(), QString::fromUtf8(link->readAllStandardOutput()),
            QString::fromUtf8(link->readAllStandardError())};
  }

  TSiblingServer& Server() { return *form->findChild<TSiblingServer*>(); }
  void StartFollower(const QStringList& options = {}) {
    follower = StartProgram("wombat-link", QStringList{"follow"} + options);
    ASSERT_TRUE(WaitUntil([&] { return Server().Linked(); }, kProcessWaitMs));
  }
  // Never pid 0, which would signal the whole process group.
  void SignalFollower(int number) {
    const qint64 pid = follower->processId();
    ASSERT_GT(pid, 0);
    kill(static_cast<pid_t>(pid), number);
  }
  QStringList FollowedLines() {
    followed += QString::fromUtf8(follower->readAllStandardOutput());
    QStringList lines = followed.split('\n');
    lines.removeLast();
    return lines;
  }
  bool WaitForFollowed(qsizetype count) {
    return WaitUntil([&] { return FollowedLines().size() >= count; }, kProcessWaitMs);
  }

  // Connected to the loopback host through the entry "Peer", with one line
  // received.
  void ConnectToHost() {
    ASSERT_TRUE(host.Listening());
    SaveTelnetEntry("Peer", host.Port());
    Start();
    Click("Connect1");
    ASSERT_TRUE(host.WaitForConnections(1, kWaitMs));
    host.Send("hello\r\n");
    ASSERT_TRUE(WaitForLine("hello"));
  }

  TLoopbackPeer host;
  std::unique_ptr<QProcess> follower;
  QString followed;
};

TEST_F(SiblingLinkTest, LinesOfABlockReachTheFollowerInOrderOnlyAfterItLinked) {
  ConnectToHost();
  StartFollower();
  QStringList expected;
  std::string block;
  for (int i = 0; i < 300; ++i) {
    expected << QString("line %1").arg(i);
    block += "line " + std::to_string(i) + "\r\n";
  }
  expected << "(TALK,ID) 会議室へようこそ" << "";
  block += Sjis("(TALK,ID) 会議室へようこそ") + "\r\n\r\npartial";
  host.Send(block);

  ASSERT_TRUE(WaitForFollowed(expected.size()));
  EXPECT_EQ(FollowedLines(), expected);
  ASSERT_TRUE(WaitForLine("line 299"));
  EXPECT_TRUE(ViewShows("TerminalView", "partial"));
  EXPECT_TRUE(Server().Linked());
}

// Everything that waited in the socket (here during the pause after the
// connection came up, far more than one read) goes to the sibling in one
// exchange: it receives every line before it has answered any, and the views
// show them only once all are answered.
TEST_F(SiblingLinkTest, WhatArrivedTogetherIsHandedOffInOneExchange) {
  SaveTelnetEntry("Peer", host.Port());
  Start();
  // Long enough that the host's text is all in the socket before the pause
  // ends, even on a busy machine.
  form->Pauses.AfterConnect = 1500;
  auto* socket = new QLocalSocket;
  socket->connectToServer(Server().ServerName());
  TSiblingLink sibling(socket);
  QStringList received;
  std::vector<uint32_t> unanswered;
  sibling.OnRequest = [&](TSiblingLink&, const TSiblingFrame& frame) {
    received << QString::fromStdString(frame.Payload);
    unanswered.push_back(frame.Message);
  };
  sibling.Request(kSiblingLinkUp, 1);
  ASSERT_TRUE(WaitUntil([&] { return Server().Linked(); }, kWaitMs));

  Click("Connect1");
  ASSERT_TRUE(host.WaitForConnections(1, kWaitMs));
  std::string text;
  QStringList expected;
  for (int i = 0; i < 400; ++i) {
    expected << QString("line %1 of what the host sent at once").arg(i);
    text += expected.back().toStdString() + "\r\n";
  }
  ASSERT_GT(text.size(), 8u * 1024);
  host.Send(text);
  ASSERT_TRUE(form->Paused());
  ASSERT_TRUE(WaitUntil([&] { return !received.isEmpty(); }, kWaitMs));
  RunEventsFor(200);
  EXPECT_EQ(received, expected);
  EXPECT_FALSE(ViewShows("TerminalView", "line 0 "));

  for (uint32_t message : unanswered) sibling.Reply(message, 0);
  EXPECT_TRUE(WaitForLine("line 399 of what the host sent at once"));
  EXPECT_TRUE(Server().Linked());
}

// A follower that a newer sibling replaces is told so and ends; the newer
// one receives the lines from then on.
TEST_F(SiblingLinkTest, AFollowerReplacedByANewerSiblingSaysSoAndFails) {
  ConnectToHost();
  StartFollower();
  std::unique_ptr<QProcess> first = std::move(follower);
  StartFollower();
  ASSERT_TRUE(WaitForEnd(*first));
  EXPECT_EQ(first->exitCode(), 1);
  EXPECT_EQ(QString::fromUtf8(first->readAllStandardError()),
            "wombat-link: another sibling has linked\n");
  host.Send("for the newer one\r\n");
  ASSERT_TRUE(WaitForFollowed(1));
  EXPECT_EQ(FollowedLines(), QStringList{"for the newer one"});
}

// An animated line is printed as the view first shows it: the first frame,
// padded to the widest, and no animation bytes; --raw keeps every byte.
TEST_F(SiblingLinkTest, FollowPrintsAnAnimatedLineWithoutItsAnimationBytes) {
  ConnectToHost();
  const std::string animated = "walk \x01(^_^)\x02(^o^)/\x01 on";
  for (const auto& [options, expected] :
       {std::pair{QStringList{}, QString("walk (^_^)  on")},
        std::pair{QStringList{"--raw"}, QString::fromStdString(animated)}}) {
    SCOPED_TRACE(options.join(' ').toStdString());
    followed.clear();
    std::unique_ptr<QProcess> replaced = std::move(follower);
    StartFollower(options);
    if (replaced) ASSERT_TRUE(WaitForEnd(*replaced));
    host.Send(animated + "\r\n");
    ASSERT_TRUE(WaitForFollowed(1));
    EXPECT_EQ(FollowedLines(), QStringList{expected});
  }
}

// A connect request names an entry of the data folder; one that is not
// there is refused before Wombat is asked.
TEST_F(SiblingLinkTest, ConnectToAnEntryThatIsNotThereFails) {
  ConnectToHost();
  const TLinkRun run = RunLink({"connect", "Nowhere"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.err.startsWith("wombat-link: there is no access list entry \"Nowhere\""))
      << run.err.toStdString();
  RunEventsFor(100);
  EXPECT_EQ(form->SelectedEntry(), "Peer");
  EXPECT_TRUE(Connected());
  EXPECT_TRUE(ui.questions.isEmpty());
}

// What was wrong comes first, in one line, then the usage.
TEST_F(SiblingLinkTest, AWrongCommandLineNamesWhatIsWrongBeforeTheUsage) {
  const std::pair<QStringList, QString> cases[] = {
      {{}, "no command given"},
      {{"frobnicate"}, "unknown command \"frobnicate\""},
      {{"send"}, "send needs TEXT"},
      {{"connect"}, "connect needs ENTRY"},
      {{"follow", "now"}, "too many arguments for follow: now"},
      {{"send", "a", "b"}, "too many arguments for send: b"},
      {{"--bogus", "version"}, "Unknown option 'bogus'."},
  };
  for (const auto& [arguments, what] : cases) {
    const TLinkRun run = RunLink(arguments);
    const std::string name = arguments.join(' ').toStdString();
    EXPECT_EQ(run.exitCode, 2) << name;
    EXPECT_TRUE(run.err.startsWith("wombat-link: " + what + "\nUsage: ")) << name << ": "
                                                                          << run.err.toStdString();
  }
}

TEST_F(SiblingLinkTest, JsonFollowerPrintsEachLineWithItsTime) {
  ConnectToHost();
  StartFollower({"--json"});
  host.Send(Sjis("（TALK,ID）会議\r\n"));
  ASSERT_TRUE(WaitForFollowed(1));
  const QJsonObject object = QJsonDocument::fromJson(FollowedLines().first().toUtf8()).object();
  EXPECT_EQ(object["line"].toString(), "（TALK,ID）会議");
  EXPECT_TRUE(QDateTime::fromString(object["time"].toString(), Qt::ISODateWithMs).isValid());
}

// The block waits for the stopped sibling, then goes to the views and the
// log. The connection time, which would soon overwrite the status line, is
// stopped.
TEST_F(SiblingLinkTest, ASiblingThatNeverAnswersIsUnlinkedAfterTheWait) {
  ConnectToHost();
  StartFollower();
  for (QTimer* timer : form->findChildren<QTimer*>())
    if (timer->interval() == 1000) timer->stop();
  SignalFollower(SIGSTOP);
  QElapsedTimer clock;
  clock.start();
  host.Send("last words\r\n");
  ASSERT_TRUE(WaitUntil([&] { return ViewShows("TerminalView", "last words"); }, kProcessWaitMs));
  EXPECT_GE(clock.elapsed(), 1900);
  EXPECT_FALSE(Server().Linked());
  EXPECT_EQ(Status(), "Quokkaが応答しないため、リンクを解除しました");

  host.CloseClient();
  ASSERT_TRUE(WaitUntil([&] { return !Connected(); }, kProcessWaitMs));
  EXPECT_NE(TodaysLog().find("last words"), std::string::npos);
}

TEST_F(SiblingLinkTest, AFollowerThatEndsIsUnlinked) {
  ConnectToHost();
  StartFollower();
  follower->kill();
  ASSERT_TRUE(WaitUntil([&] { return !Server().Linked(); }, kProcessWaitMs));
  host.Send("alone\r\n");
  EXPECT_TRUE(WaitForLine("alone"));
}

// Text from a sibling goes out while the window waits for the answer to a
// line; a disconnect request waits for the block and then asks the user.
TEST_F(SiblingLinkTest, TextAndADisconnectRequestWhileTheWindowWaitsOnALine) {
  ConnectToHost();
  StartFollower();
  Server().AnswerTimeoutMs = 600000;
  SignalFollower(SIGSTOP);
  host.Send("held\r\n");
  ASSERT_TRUE(WaitUntil([&] { return Server().HandingOff(); }, kWaitMs));

  EXPECT_EQ(RunLink({"send", "--line", "おはよう"}).exitCode, 0);
  ASSERT_TRUE(host.WaitForReceived(7, kWaitMs));
  EXPECT_EQ(host.Received(), Sjis("おはよう") + "\r");
  ui.confirmAnswers = {false};
  EXPECT_EQ(RunLink({"disconnect"}).exitCode, 0);
  EXPECT_FALSE(ViewShows("TerminalView", "held"));
  EXPECT_TRUE(ui.questions.isEmpty());

  SignalFollower(SIGCONT);
  ASSERT_TRUE(WaitUntil([&] { return !ui.questions.isEmpty(); }, kProcessWaitMs));
  EXPECT_EQ(ui.questions, QStringList{"回線を切断してよろしいですか？"});
  EXPECT_TRUE(ViewShows("TerminalView", "held"));
  EXPECT_TRUE(Connected());
  EXPECT_EQ(FollowedLines(), QStringList{"held"});
  EXPECT_TRUE(Server().Linked());
}

TEST_F(SiblingLinkTest, SendAddsACarriageReturnOnlyWhenAsked) {
  ConnectToHost();
  EXPECT_EQ(RunLink({"send", "a"}).exitCode, 0);
  EXPECT_EQ(RunLink({"send", "b\\r"}).exitCode, 0);
  ASSERT_TRUE(host.WaitForReceived(3, kWaitMs));
  EXPECT_EQ(host.Received(), "ab\r");
  const TLinkRun unwritable = RunLink({"send", "🐨"});
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_FALSE(unwritable.err.isEmpty());
}

TEST_F(SiblingLinkTest, AConnectRequestWhileConnectedAsksFirstAndNoKeepsTheConnection) {
  TLoopbackPeer other;
  SaveTelnetEntry(Sjis("別ホスト"), other.Port());
  ConnectToHost();

  ui.confirmAnswers = {false};
  EXPECT_EQ(RunLink({"connect", "別ホスト"}).exitCode, 0);
  ASSERT_TRUE(WaitUntil([&] { return ui.questions.size() == 1; }, kWaitMs));
  RunEventsFor(100);
  EXPECT_TRUE(Connected());
  EXPECT_EQ(form->SelectedEntry(), "Peer");
  EXPECT_EQ(other.Connections(), 0);

  ui.confirmAnswers = {true};
  EXPECT_EQ(RunLink({"connect", "別ホスト"}).exitCode, 0);
  ASSERT_TRUE(other.WaitForConnections(1, kProcessWaitMs));
  EXPECT_EQ(form->SelectedEntry(), "別ホスト");
  EXPECT_TRUE(Connected());
}

TEST_F(SiblingLinkTest, AConnectRequestBeforeTheFirstShowingIsServedThen) {
  SaveTelnetEntry("Other", host.Port());
  SaveTelnetEntry("Peer", 1);
  form = std::make_unique<TWombatForm>();
  form->Pauses = {0, 0, 0};
  EXPECT_EQ(RunLink({"connect", "Other"}).exitCode, 0);
  RunEventsFor(100);
  EXPECT_EQ(host.Connections(), 0);
  EXPECT_EQ(form->SelectedEntry(), "Peer");
  form->show();
  EXPECT_EQ(form->SelectedEntry(), "Other");
  EXPECT_TRUE(host.WaitForConnections(1, kWaitMs));
}

TEST_F(SiblingLinkTest, QuitIsIgnoredWhileConnectedAndVersionIsAnswered) {
  ConnectToHost();
  const TLinkRun version = RunLink({"version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "6619140\n");

  EXPECT_EQ(RunLink({"quit"}).exitCode, 0);
  RunEventsFor(100);
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(Connected());

  Click("Disconnect1");
  EXPECT_EQ(RunLink({"quit"}).exitCode, 0);
  EXPECT_TRUE(WaitUntil([&] { return !form->isVisible(); }, kWaitMs));
}

namespace {

// The process's peak resident memory since the last ResetPeakMemory, in bytes.
[[maybe_unused]] long long PeakMemory() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
  return -1;
}

void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace

// A host that never reads: a sibling's texts are refused past the bound (its
// reply says so) and memory stays bounded; paste-and-send is refused with a
// message.
TEST_F(SiblingLinkTest, TextForAHostThatNeverReadsIsRefusedPastTheBound) {
  TRawHost mute;
  SaveTelnetEntry("Mute", mute.Port());
  Start();
  Click("Connect1");
  ASSERT_TRUE(WaitUntil([&] { return Status() == "接続しました"; }, kWaitMs));
  auto* socket = new QLocalSocket;
  socket->connectToServer(Server().ServerName());
  TSiblingLink sibling(socket);
  ResetPeakMemory();

  const std::string text(1 << 20, 't');
  std::vector<uint64_t> results;
  sibling.OnReply = [&](TSiblingLink&, uint32_t, uint64_t result) { results.push_back(result); };
  for (size_t sent = 0; sent < 256; ++sent) {
    sibling.Request(kSiblingText, 0, text);
    ASSERT_TRUE(WaitUntil([&] { return results.size() > sent; }, kWaitMs)) << sent;
  }
  const auto accepted = std::count(results.begin(), results.end(), 0);
  EXPECT_GE(accepted, 4);
  EXPECT_EQ(std::count(results.begin(), results.end(), kSiblingTextRefused), 256 - accepted);
  EXPECT_EQ(results.back(), kSiblingTextRefused);
#ifndef __SANITIZE_ADDRESS__
  // AddressSanitizer keeps freed blocks in quarantine, so resident memory
  // says nothing about what the program holds in that build.
  EXPECT_LT(PeakMemory(), 100LL << 20);
#endif

  QGuiApplication::clipboard()->setText(QString(2 << 20, 'p'));
  Get<QAction>("Paste1")->trigger();
  EXPECT_EQ(ui.messages, QStringList{"送信待ちのデータが多すぎるため、送信できませんでした。"});
  EXPECT_TRUE(Connected());
}

// The newest program's name stays in the settings; each removes only its own.
TEST_F(SiblingLinkTest, TheServerNameIsInTheSettingsWhileTheProgramRuns) {
  auto linkServer = [] {
    QSettings settings("Zeb", "Wombat");
    settings.sync();
    return settings.value("Directory/LinkServer");
  };
  Start();
  const QString first = Server().ServerName();
  EXPECT_EQ(linkServer().toString(), first);
  auto second = std::make_unique<TWombatForm>();
  const QString newest = second->findChild<TSiblingServer*>()->ServerName();
  EXPECT_NE(newest, first);
  EXPECT_EQ(linkServer().toString(), newest);
  form.reset();
  EXPECT_EQ(linkServer().toString(), newest);
  second.reset();
  EXPECT_FALSE(linkServer().isValid());

  for (const QStringList& arguments : {QStringList{"version"}, {"--server", newest, "version"}}) {
    const TLinkRun run = RunLink(arguments);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("no Wombat is running")) << run.err.toStdString();
  }
}

// The menu item starts an executable Quokka in the sibling's folder.
TEST_F(SiblingLinkTest, ExecQuokkaStartsAnExecutableSibling) {
  QTemporaryDir folder;
  QSettings("Zeb", "Quokka").setValue("Directory/OnExecuting", folder.path());
  const QString sibling = folder.filePath("Quokka");
  const QString marker = folder.filePath("started");
  Start();
  EXPECT_FALSE(Enabled("ExecQuokka"));

  QFile script(sibling);
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  script.write(("#!/bin/sh\ntouch '" + marker + "'\n").toUtf8());
  script.close();
  Start();
  EXPECT_FALSE(Enabled("ExecQuokka"));

  script.setPermissions(script.permissions() | QFile::ExeOwner);
  Start();
  ASSERT_TRUE(Enabled("ExecQuokka"));
  qobject_cast<QAction*>(Child("ExecQuokka"))->trigger();
  EXPECT_TRUE(WaitUntil([&] { return QFile::exists(marker); }, kProcessWaitMs));
}

// The program closes without asking: the call record written, the settings
// saved and the link's name removed. A follower tells that the connection is
// up and receiving.
TEST_F(SiblingLinkTest, SigtermAndSighupEndTheProgramThroughItsNormalPath) {
  int calls = 0;
  for (int number : {SIGTERM, SIGHUP}) {
    TLoopbackPeer server;
    QSettings("Zeb", "Wombat").remove("MainWindow");
    std::unique_ptr<QProcess> wombat =
        StartProgram("wombat", {"127.0.0.1", QString::number(server.Port())});
    ASSERT_TRUE(server.WaitForConnections(1, kProcessWaitMs));
    ASSERT_TRUE(WaitUntil([&] { return RunLink({"version"}).exitCode == 0; }, kProcessWaitMs));
    followed.clear();
    follower = StartProgram("wombat-link", {"follow"});
    QTimer talk;
    QObject::connect(&talk, &QTimer::timeout, [&] { server.Send("bye\r\n"); });
    talk.start(200);
    ASSERT_TRUE(WaitForFollowed(1)) << number;
    talk.stop();

    ASSERT_GT(wombat->processId(), 0);
    kill(static_cast<pid_t>(wombat->processId()), number);
    ASSERT_TRUE(WaitForEnd(*wombat)) << number;
    EXPECT_EQ(wombat->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(wombat->exitCode(), 0);
    EXPECT_TRUE(server.WaitForClientClosed(kWaitMs));
    EXPECT_TRUE(WaitForEnd(*follower));
    EXPECT_EQ(follower->exitCode(), 0);
    const QString record = QString::fromStdString(ReadDataFile("Phone.txt"));
    EXPECT_EQ(record.count("Temp"), ++calls) << record.toStdString();
    QSettings settings("Zeb", "Wombat");
    settings.sync();
    EXPECT_TRUE(settings.contains("MainWindow/Left"));
    EXPECT_FALSE(settings.contains("Directory/LinkServer"));
  }
}

}  // namespace
