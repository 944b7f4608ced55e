// Where the link socket lives and who may use it, against the real socket, the
// real wombat-link and, where the test runs as root, a second user.
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "comm/LinkSocket.h"
#include "comm/SiblingLink.h"
#include "support/EventWait.h"
#include "support/TempFolder.h"

namespace {

constexpr int kWaitMs = 10000;

// Sets an environment variable for the lifetime of the object.
class TEnvironment {
 public:
  TEnvironment(const char* Name, const QByteArray& Value)
      : FName(Name), FOld(qgetenv(Name)), FWasSet(qEnvironmentVariableIsSet(Name)) {
    qputenv(Name, Value);
  }
  ~TEnvironment() {
    if (FWasSet)
      qputenv(FName, FOld);
    else
      qunsetenv(FName);
  }

 private:
  const char* FName;
  QByteArray FOld;
  bool FWasSet;
};

void Chmod(const std::string& Path, mode_t Mode) {
  ASSERT_EQ(::chmod(Path.c_str(), Mode), 0) << Path;
}

std::string SocketName() {
  return "wombat-" + std::to_string(getuid()) + "-" + std::to_string(getpid());
}

struct TRun {
  int ExitCode = -1;
  QString Output;
  QString Errors;
};

// Runs wombat-link to its end, the event loop going on meanwhile; Prefix runs it through
// another program (setpriv as another user).
TRun RunLink(const QStringList& Arguments, const QStringList& Prefix = {}) {
  QProcess process;
  const QString link = QStringLiteral(WOMBAT_BINARY_DIR "/src/wombat-link");
  if (Prefix.isEmpty())
    process.start(link, Arguments);
  else
    process.start(Prefix.first(), Prefix.mid(1) + QStringList{link} + Arguments);
  WaitUntil([&] { return process.state() == QProcess::NotRunning; }, kWaitMs);
  if (process.state() != QProcess::NotRunning) {
    process.kill();
    process.waitForFinished();
  }
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardOutput()),
          QString::fromUtf8(process.readAllStandardError())};
}

struct TListening {
  TListening() {
    server.OnNotice = [this](const QString& text) { notices.push_back(text); };
    server.OnRequest = [this](const TSiblingFrame& frame) -> uint64_t {
      requests.push_back(frame);
      return frame.Message == kSiblingVersion ? kSiblingVersionAnswer : 0;
    };
  }
  TSiblingServer server;
  std::vector<QString> notices;
  std::vector<TSiblingFrame> requests;
};

}  // namespace

// $XDG_RUNTIME_DIR when it is private; else a folder of Wombat's own under the temporary
// folder, taken only when it is ours and private, else a new one (removed afterwards).
TEST(LinkSocketFolder, OnlyAFolderNobodyElseCanEnter) {
  TTempFolder root;
  const std::string runtime = root / "runtime";
  const std::string temp = root / "tmp";
  std::filesystem::create_directories(runtime);
  std::filesystem::create_directories(temp);
  const std::string own = temp + "/wombat-" + std::to_string(getuid());
  const TEnvironment tmpdir("TMPDIR", QByteArray::fromStdString(temp));

  struct TCase {
    const char* What;
    mode_t RuntimeMode;
    std::function<void()> PrepareOwn;
    std::string Expected;  // empty: a new folder beside the own one
    bool Notice;
    bool NeedsRoot = false;
  };
  const TCase cases[] = {
      {"private runtime folder", 0700, [] {}, runtime, false},
      {"runtime folder others may enter", 0755, [] {}, own, true},
      {"own folder others may enter", 0711,
       [&] {
         std::filesystem::create_directory(own);
         Chmod(own, 0777);
       },
       "", true},
      {"own folder a symbolic link", 0755,
       [&] {
         std::filesystem::remove_all(own);
         std::filesystem::create_directory_symlink(runtime, own);
       },
       "", true},
      {"own folder another user's", 0755,
       [&] {
         std::filesystem::remove_all(own);
         std::filesystem::create_directory(own);
         Chmod(own, 0700);
         ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
       },
       "", true, true},
  };
  for (const TCase& item : cases) {
    SCOPED_TRACE(item.What);
    if (item.NeedsRoot && geteuid() != 0) continue;
    Chmod(runtime, item.RuntimeMode);
    item.PrepareOwn();
    const TEnvironment xdg("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));
    QString folder;
    {
      TListening listening;
      ASSERT_TRUE(listening.server.Listen());
      folder = QFileInfo(listening.server.ServerName()).path();
      EXPECT_EQ(QFileInfo(listening.server.ServerName()).fileName().toStdString(), SocketName());
      if (item.Expected.empty()) {
        EXPECT_TRUE(folder.startsWith(QString::fromStdString(own) + "-")) << folder.toStdString();
        EXPECT_TRUE(IsPrivateFolder(folder));
      } else {
        EXPECT_EQ(folder.toStdString(), item.Expected);
      }
      EXPECT_EQ(listening.notices.size(), item.Notice ? 1u : 0u);
      const QFileInfo socket(listening.server.ServerName());
      EXPECT_EQ(socket.permissions() &
                    ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                0);
    }
    if (item.Expected.empty()) {
      EXPECT_FALSE(QFileInfo::exists(folder));
    }
  }
  // Without $XDG_RUNTIME_DIR the own folder serves, and nothing is said.
  std::filesystem::remove_all(own);
  const TEnvironment noRuntime("XDG_RUNTIME_DIR", "");
  TListening listening;
  ASSERT_TRUE(listening.server.Listen());
  EXPECT_EQ(QFileInfo(listening.server.ServerName()).path().toStdString(), own);
  EXPECT_TRUE(IsPrivateFolder(QString::fromStdString(own)));
  EXPECT_TRUE(listening.notices.empty());
}

// Whatever holds the name (a stale socket, a file, a symbolic link) is left as it is, and
// another name is taken and said.
TEST(LinkSocketFolder, ATakenNameGivesWayAndWhatHoldsItIsKept) {
  TTempFolder runtime;
  Chmod(runtime.Path(), 0700);
  const TEnvironment xdg("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.Path()));
  const std::string first = runtime / SocketName();
  WriteFileBytes(first, "a file of the user's");
  TTempFolder elsewhere;
  WriteFileBytes(elsewhere / "target", "kept");
  std::filesystem::create_symlink(elsewhere / "target", first + ".2");

  TListening listening;
  ASSERT_TRUE(listening.server.Listen());
  EXPECT_EQ(listening.server.ServerName().toStdString(), first + ".3");
  ASSERT_EQ(listening.notices.size(), 1u);
  EXPECT_TRUE(listening.notices[0].contains(QString::fromStdString(first + ".3")));
  EXPECT_EQ(ReadFileBytes(first), "a file of the user's");
  EXPECT_EQ(ReadFileBytes(elsewhere / "target"), "kept");

  const TRun run = RunLink({"version", "--server", listening.server.ServerName()});
  EXPECT_EQ(run.ExitCode, 0) << run.Errors.toStdString();
  EXPECT_EQ(run.Output.trimmed(), QString::number(kSiblingVersionAnswer));
}

// Sixteen connections that each send half a frame hold every slot only until the frame's
// deadline; a wombat-link started meanwhile waits for a slot and is answered.
TEST(LinkSocketDeadlines, SixteenHalfFramesThenVersionSucceeds) {
  TListening listening;
  listening.server.FrameTimeoutMs = 1000;
  ASSERT_TRUE(listening.server.Listen());
  std::vector<std::unique_ptr<QLocalSocket>> half;
  for (int i = 0; i < TSiblingServer::kMaxConnections; ++i) {
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(listening.server.ServerName());
    ASSERT_TRUE(socket->waitForConnected(kWaitMs));
    socket->write(
        QByteArray::fromHex("00040000"
                            "00000000"
                            "00000100"
                            "4142"));
    socket->flush();
    half.push_back(std::move(socket));
  }
  RunEventsFor(100);
  const TRun run = RunLink({"version", "--server", listening.server.ServerName()});
  EXPECT_EQ(run.ExitCode, 0) << run.Errors.toStdString();
  EXPECT_EQ(run.Output.trimmed(), QString::number(kSiblingVersionAnswer));
  EXPECT_TRUE(WaitUntil([&] {
    return std::all_of(half.begin(), half.end(), [](const auto& socket) {
      return socket->state() == QLocalSocket::UnconnectedState;
    });
  }));
  EXPECT_EQ(listening.requests.size(), 1u);
}

namespace {

constexpr char kOtherUser[] = "wombat-linkpeer";

struct TOtherUser {
  uid_t Uid = 0;
  gid_t Gid = 0;
};

// A second user of the machine: made when missing (needs root).
std::optional<TOtherUser> OtherUser() {
  if (geteuid() != 0) return std::nullopt;
  if (getpwnam(kOtherUser) == nullptr) {
    QProcess::execute("useradd",
                      {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kOtherUser});
  }
  const passwd* entry = getpwnam(kOtherUser);
  if (entry == nullptr) return std::nullopt;
  return TOtherUser{entry->pw_uid, entry->pw_gid};
}

QStringList AsUser(const TOtherUser& User) {
  return {"setpriv", QStringLiteral("--reuid=%1").arg(User.Uid),
          QStringLiteral("--regid=%1").arg(User.Gid), "--clear-groups"};
}

bool BecomeUser(const TOtherUser& User) {
  return setgroups(0, nullptr) == 0 && setresgid(User.Gid, User.Gid, User.Gid) == 0 &&
         setresuid(User.Uid, User.Uid, User.Uid) == 0;
}

sockaddr_un SocketAddress(const std::string& Path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  Path.copy(address.sun_path, sizeof address.sun_path - 1);
  return address;
}

enum TClientOutcome { kClosedUnanswered = 0, kNoConnection = 1, kAnswered = 2, kNoWord = 3 };

// As the other user, in a child process: connects to Path, asks for the version, and tells
// by its exit code what came back. The event loop runs meanwhile.
int AskAsUser(const TOtherUser& User, const std::string& Path) {
  const sockaddr_un address = SocketAddress(Path);
  const QByteArray version = EncodeSiblingFrame({kSiblingVersion, 0, ""});
  const pid_t child = fork();
  if (child == 0) {
    const int client = socket(AF_UNIX, SOCK_STREAM, 0);
    if (!BecomeUser(User) ||
        connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
      _exit(kNoConnection);
    (void)!send(client, version.constData(), static_cast<size_t>(version.size()), MSG_NOSIGNAL);
    pollfd answer{client, POLLIN, 0};
    if (poll(&answer, 1, 3000) != 1) _exit(kNoWord);
    char byte;
    _exit(read(client, &byte, 1) > 0 ? kAnswered : kClosedUnanswered);
  }
  int status = 0;
  WaitUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, kWaitMs);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A listener of the other user's at Path, in a child process that counts what it receives
// and reports the count on a pipe when it is stopped.
class TForeignListener {
 public:
  TForeignListener(const TOtherUser& User, const std::string& Path) {
    int ready[2];
    if (pipe(FReport) != 0 || pipe(ready) != 0) return;
    FChild = fork();
    if (FChild == 0) Serve(User, Path, ready[1]);
    close(ready[1]);
    char byte = 0;
    FListening = read(ready[0], &byte, 1) == 1 && byte == 'L';
    close(ready[0]);
    close(FReport[1]);
  }
  ~TForeignListener() { Stop(); }

  bool Listening() const { return FListening; }
  // Ends the child; the connections and bytes it took.
  std::pair<int, int> Stop() {
    if (FChild <= 0) return FResult;
    kill(FChild, SIGTERM);
    int counts[2] = {0, 0};
    if (read(FReport[0], counts, sizeof counts) == sizeof counts) FResult = {counts[0], counts[1]};
    waitpid(FChild, nullptr, 0);
    close(FReport[0]);
    FChild = -1;
    return FResult;
  }

 private:
  // In the child: plain system calls only.
  [[noreturn]] void Serve(const TOtherUser& User, const std::string& Path, int Ready) {
    close(FReport[0]);
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, nullptr);
    if (!BecomeUser(User)) _exit(1);
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = SocketAddress(Path);
    if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 8) != 0)
      _exit(1);
    (void)!write(Ready, "L", 1);
    int counts[2] = {0, 0};
    std::vector<pollfd> watched = {{listener, POLLIN, 0}};
    for (;;) {
      timespec now{0, 20'000'000};
      siginfo_t info;
      if (sigtimedwait(&term, &info, &now) == SIGTERM) break;
      if (poll(watched.data(), watched.size(), 0) <= 0) continue;
      for (size_t i = 0; i < watched.size(); ++i) {
        if (!(watched[i].revents & POLLIN)) continue;
        if (i == 0) {
          const int client = accept(listener, nullptr, nullptr);
          if (client >= 0) watched.push_back({client, POLLIN, 0});
          ++counts[0];
        } else {
          char buffer[256];
          const ssize_t got = read(watched[i].fd, buffer, sizeof buffer);
          if (got > 0) counts[1] += static_cast<int>(got);
          if (got <= 0) watched[i].events = 0;
        }
      }
    }
    // Connections still waiting in the backlog count too.
    pollfd waiting{listener, POLLIN, 0};
    while (poll(&waiting, 1, 0) == 1) {
      const int client = accept(listener, nullptr, nullptr);
      if (client < 0) break;
      ++counts[0];
      char buffer[256];
      const ssize_t got = read(client, buffer, sizeof buffer);
      if (got > 0) counts[1] += static_cast<int>(got);
    }
    (void)!write(FReport[1], counts, sizeof counts);
    _exit(0);
  }

  int FReport[2] = {-1, -1};
  pid_t FChild = -1;
  bool FListening = false;
  std::pair<int, int> FResult = {0, 0};
};

}  // namespace

// The other user can reach neither Wombat's socket in its private folder nor, through a
// socket made reachable on purpose, its server, which closes the connection unread.
TEST(LinkSocketUsers, AnotherUserCannotTalkToWombat) {
  const std::optional<TOtherUser> other = OtherUser();
  if (!other) GTEST_SKIP() << "needs root to make and be a second user";
  TListening listening;
  ASSERT_TRUE(listening.server.Listen());
  const TRun run =
      RunLink({"send", "secret", "--server", listening.server.ServerName()}, AsUser(*other));
  EXPECT_EQ(run.ExitCode, 1) << run.Errors.toStdString();
  EXPECT_TRUE(run.Errors.contains("no Wombat is running")) << run.Errors.toStdString();
  EXPECT_EQ(AskAsUser(*other, listening.server.ServerName().toStdString()), kNoConnection);

  TTempFolder open;
  Chmod(open.Path(), 0755);
  TListening reachable;
  ASSERT_TRUE(reachable.server.ListenAt(QString::fromStdString(open / "link")));
  Chmod(open / "link", 0666);
  EXPECT_EQ(AskAsUser(*other, open / "link"), kClosedUnanswered);
  EXPECT_TRUE(reachable.requests.empty());
  EXPECT_TRUE(listening.requests.empty());
  // The same socket still serves this user.
  const TRun own = RunLink({"version", "--server", reachable.server.ServerName()});
  EXPECT_EQ(own.ExitCode, 0) << own.Errors.toStdString();
}

// A socket the other user made, or one whose file is ours but served by the other user's
// program, is refused before anything is sent, and wombat-link says whose it is.
TEST(LinkSocketUsers, WombatLinkRefusesAnotherUsersSocket) {
  const std::optional<TOtherUser> other = OtherUser();
  if (!other) GTEST_SKIP() << "needs root to make and be a second user";
  for (const bool fileMadeOurs : {false, true}) {
    SCOPED_TRACE(fileMadeOurs ? "file ours, server theirs" : "socket theirs");
    TTempFolder shared;
    Chmod(shared.Path(), 01777);
    const std::string path = shared / "wombat-link";
    TForeignListener listener(*other, path);
    ASSERT_TRUE(listener.Listening());
    if (fileMadeOurs) {
      ASSERT_EQ(::chown(path.c_str(), getuid(), getgid()), 0);
    }
    const TRun run = RunLink({"send", "my password", "--server", QString::fromStdString(path)});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Errors.contains(kOtherUser)) << run.Errors.toStdString();
    const auto [connections, bytes] = listener.Stop();
    EXPECT_EQ(bytes, 0);
    EXPECT_EQ(connections, fileMadeOurs ? 1 : 0);
  }
}
