#include <gtest/gtest.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTimer>
#include <QUdpSocket>
#include <memory>
#include <optional>
#include <vector>

#include "comm/HostLookup.h"
#include "comm/WSockets.h"
#include "support/EventWait.h"
#include "support/LoopbackPeer.h"
#include "support/TempFolder.h"

namespace {

// A resolver that gives a fixed answer from the event loop, or none at all, and counts the
// lookups still held by their clients.
class TFakeResolver : public THostResolver {
 public:
  std::optional<THostAnswer> Answer;  // nothing: the lookup never ends
  std::vector<QString> Names;
  int Held = 0;

  std::unique_ptr<THostLookup> Lookup(const QString& Name, QObject* Context,
                                      TAnswered Answered) override {
    Names.push_back(Name);
    auto lookup = std::make_unique<THeld>(*this);
    if (Answer) {
      QTimer::singleShot(0, Context, [alive = lookup->Alive, answer = *Answer, Answered] {
        if (*alive) Answered(answer);
      });
    }
    return lookup;
  }

 private:
  struct THeld : THostLookup {
    explicit THeld(TFakeResolver& Resolver) : Resolver(Resolver) { ++Resolver.Held; }
    ~THeld() override {
      *Alive = false;
      --Resolver.Held;
    }
    TFakeResolver& Resolver;
    std::shared_ptr<bool> Alive = std::make_shared<bool>(true);
  };
};

// Installs a resolver for the new connections of one test.
struct TResolverInstalled {
  explicit TResolverInstalled(std::shared_ptr<THostResolver> Resolver) {
    THostResolver::SetDefault(std::move(Resolver));
  }
  ~TResolverInstalled() { THostResolver::SetDefault(nullptr); }
};

struct TEvents {
  explicit TEvents(TTCPClient& Client) {
    Client.OnConnect = [this](TTCPClient*, TSocket) { Names.push_back("connect"); };
    Client.OnData = [this](TTCPClient*, TSocket) { Names.push_back("data"); };
    Client.OnClose = [this](TTCPClient*, TSocket) { Names.push_back("close"); };
    Client.OnError = [this](TCustomWSocket*, int Error, const std::string&) {
      Names.push_back("error " + std::to_string(Error));
    };
  }
  std::vector<std::string> Names;
};

}  // namespace

TEST(TCPClientLookup, CloseGivesUpALookupThatNeverEndsAndNothingFollows) {
  auto resolver = std::make_shared<TFakeResolver>();
  const TResolverInstalled installed(resolver);
  TTCPClient client;
  const TEvents events(client);
  client.Host = "bbs.example.jp";
  client.Port = "23";
  client.Open();
  EXPECT_EQ(client.Status(), TSocketStatus::Connecting);
  EXPECT_EQ(resolver->Names, std::vector<QString>{"bbs.example.jp"});
  client.Open();  // under way: nothing more
  EXPECT_EQ(resolver->Names.size(), 1u);

  client.Close();
  EXPECT_EQ(client.Status(), TSocketStatus::Idle);
  EXPECT_EQ(resolver->Held, 0);
  RunEventsFor(50);
  EXPECT_TRUE(events.Names.empty());

  // Freeing the client during a lookup gives it up too.
  {
    TTCPClient other;
    other.Host = "bbs.example.jp";
    other.Port = "23";
    other.Open();
    EXPECT_EQ(resolver->Held, 1);
  }
  EXPECT_EQ(resolver->Held, 0);
}

// The answer came but the attempt was ended first (inside the same turn): it is dropped.
TEST(TCPClientLookup, AnAnswerToAnEndedAttemptIsDropped) {
  TLoopbackPeer peer;
  auto resolver = std::make_shared<TFakeResolver>();
  resolver->Answer = THostAnswer{0, {QHostAddress::LocalHost}};
  const TResolverInstalled installed(resolver);
  TTCPClient client;
  const TEvents events(client);
  client.Host = "bbs.example.jp";
  client.Port = std::to_string(peer.Port());
  client.Open();
  client.Close();
  RunEventsFor(100);
  EXPECT_TRUE(events.Names.empty());
  EXPECT_EQ(peer.Connections(), 0);
}

// The first address refuses (nothing listens on 127.0.0.3); the second one is taken
// without an error being reported. A failed lookup is reported as a refusal is.
TEST(TCPClientLookup, TriesTheAddressesInTurnAndReportsAFailedLookupLikeARefusal) {
  TLoopbackPeer peer;
  auto resolver = std::make_shared<TFakeResolver>();
  const TResolverInstalled installed(resolver);
  resolver->Answer = THostAnswer{0, {QHostAddress("127.0.0.3"), QHostAddress::LocalHost}};
  TTCPClient client;
  const TEvents events(client);
  client.Host = "bbs.example.jp";
  client.Port = std::to_string(peer.Port());
  client.Open();
  ASSERT_TRUE(WaitUntil([&] { return client.Status() == TSocketStatus::Connected; }));
  EXPECT_EQ(events.Names, std::vector<std::string>{"connect"});
  EXPECT_TRUE(peer.WaitForConnections(1));
  client.Close();

  resolver->Answer = THostAnswer{11001, {}};
  TTCPClient failing;
  const TEvents failed(failing);
  failing.Host = "no.example.jp";
  failing.Port = "23";
  failing.Open();
  ASSERT_TRUE(WaitUntil([&] { return !failed.Names.empty(); }));
  EXPECT_EQ(failed.Names, std::vector<std::string>{"error 11001"});
  EXPECT_EQ(failing.LastError(), 11001);
  EXPECT_EQ(failing.Status(), TSocketStatus::Connecting);
}

// The system's resolver against a name server that takes every query and never answers:
// the test below runs again in a mount namespace whose resolv.conf names a loopback UDP
// socket that nobody reads.
namespace {

constexpr char kInsideVariable[] = "WOMBAT_TEST_SWALLOWED_LOOKUP";
constexpr int kNoNamespace = 77;

}  // namespace

TEST(TCPClientSwallowedLookup, NothingWaitsForANameServerThatNeverAnswers) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for a mount namespace";
  const QString unshare = QStandardPaths::findExecutable("unshare");
  if (unshare.isEmpty()) GTEST_SKIP() << "no unshare on this machine";
  QUdpSocket nameServer;
  QHostAddress address;
  for (int attempt = 0; attempt < 20 && nameServer.state() != QAbstractSocket::BoundState;
       ++attempt) {
    const quint32 random = QRandomGenerator::global()->bounded(1u, 0xFFFEu);
    address = QHostAddress((127u << 24) | (random << 8) | 53u);
    nameServer.bind(address, 53);
  }
  if (nameServer.state() != QAbstractSocket::BoundState)
    GTEST_SKIP() << "no loopback UDP port 53 free";
  TTempFolder folder;
  WriteFileBytes(folder / "resolv.conf", "nameserver " + address.toString().toStdString() +
                                             "\noptions timeout:30 attempts:5\n");

  QProcess inside;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(kInsideVariable, "1");
  inside.setProcessEnvironment(environment);
  inside.setProcessChannelMode(QProcess::ForwardedChannels);
  const QString script = QStringLiteral(
                             "mount --bind \"$0\" /etc/resolv.conf || exit %1; exec \"$1\" "
                             "--gtest_filter=TCPClientSwallowedLookup.InsideTheNamespace")
                             .arg(kNoNamespace);
  QElapsedTimer clock;
  clock.start();
  inside.start(unshare, {"-m", "sh", "-c", script, QString::fromStdString(folder / "resolv.conf"),
                         QStringLiteral("/proc/%1/exe").arg(getpid())});
  // The resolver would wait 150 s; the client's program ends as soon as its test is done.
  ASSERT_TRUE(inside.waitForFinished(60000));
  if (inside.exitCode() == kNoNamespace) GTEST_SKIP() << "cannot bind a mount in a namespace";
  EXPECT_EQ(inside.exitCode(), 0);
  EXPECT_LT(clock.elapsed(), 30000);
  EXPECT_TRUE(nameServer.hasPendingDatagrams()) << "the lookup never reached the name server";
}

TEST(TCPClientSwallowedLookup, InsideTheNamespace) {
  if (qEnvironmentVariableIsEmpty(kInsideVariable))
    GTEST_SKIP() << "runs inside the namespace that the test above sets up";
  TLoopbackPeer peer;
  TTCPClient stuck;
  const TEvents events(stuck);
  stuck.Host = "never-answered.wombat.test";
  stuck.Port = std::to_string(peer.Port());
  stuck.Open();
  EXPECT_EQ(stuck.Status(), TSocketStatus::Connecting);
  RunEventsFor(500);
  EXPECT_TRUE(events.Names.empty());

  // Another connection meanwhile is not held up by it.
  TTCPClient direct;
  direct.Host = "127.0.0.1";
  direct.Port = std::to_string(peer.Port());
  direct.Open();
  ASSERT_TRUE(WaitUntil([&] { return direct.Status() == TSocketStatus::Connected; }));

  stuck.Close();
  EXPECT_EQ(stuck.Status(), TSocketStatus::Idle);
  // A second attempt is given up by freeing its client; the program then ends at once.
  auto another = std::make_unique<TTCPClient>();
  another->Host = "never-answered-either.wombat.test";
  another->Port = "23";
  another->Open();
  another.reset();
  RunEventsFor(100);
  EXPECT_TRUE(events.Names.empty());
}
