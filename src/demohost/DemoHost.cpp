#include "demohost/DemoHost.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <cstdio>

#include "demohost/DemoSession.h"
#include "demohost/ServiceText.h"
#include "text/Codec.h"

namespace {

constexpr int kBotJob = 0;
constexpr int kLastUserNumber = 99999;  // user IDs have five digits
constexpr std::size_t kMaxLoginAddresses = 1024;

}  // namespace

TDemoHost::TDemoHost(const TDemoHostLimits& limits, QObject* parent)
    : QObject(parent), FLimits(limits) {
  FBotTimer.setInterval(std::max(FLimits.BotIntervalMs, 1));
  connect(&FBotTimer, &QTimer::timeout, this, [this] { BotSpeaks(); });
  if (FLimits.BotIntervalMs > 0) FBotTimer.start();
}

TDemoHost::~TDemoHost() = default;

bool TDemoHost::Listen(const QHostAddress& address, quint16 port) {
  auto server = std::make_unique<QTcpServer>();
  if (!server->listen(address, port)) {
    FError = server->errorString();
    return false;
  }
  QTcpServer* listening = server.get();
  connect(listening, &QTcpServer::newConnection, this, [this, listening] { Accept(*listening); });
  FServers.push_back(std::move(server));
  return true;
}

quint16 TDemoHost::Port() const {
  return FServers.empty() ? 0 : FServers.front()->serverPort();
}

int TDemoHost::ClientCount() const {
  return static_cast<int>(Sessions().size());
}

int TDemoHost::LoggedInCount() const {
  const auto sessions = Sessions();
  return static_cast<int>(
      std::count_if(sessions.begin(), sessions.end(), [](const TDemoSession* s) { return s->LoggedIn(); }));
}

// Logged-in users have their own bound (checked at the login); a connection
// still logging in counts against the larger one of those at the prompts.
void TDemoHost::Accept(QTcpServer& server) {
  while (QTcpSocket* socket = server.nextPendingConnection()) {
    if (ClientCount() - LoggedInCount() >= FLimits.MaxLoggingIn) {
      Refuse(socket);
      continue;
    }
    auto* session = new TDemoSession(*this, socket, FNextJob);
    FNextJob = FNextJob % 999 + 1;
    FSessions.emplace_back(session);
    // Queued: a session may be disconnected while it or the host is still
    // at work on it.
    connect(socket, &QTcpSocket::disconnected, this, [this, session] { Remove(session); },
            Qt::QueuedConnection);
  }
}

void TDemoHost::Refuse(QTcpSocket* socket) {
  socket->write(Sjis("－ただいま満員です。しばらくしてからおつなぎください－\r\n").c_str());
  connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  socket->disconnectFromHost();
}

void TDemoHost::Remove(TDemoSession* session) {
  const auto found = std::find(FSessions.begin(), FSessions.end(), session);
  if (found == FSessions.end()) return;
  FSessions.erase(found);
  if (session->InConference())
    SendToConference(Sjis("－") + session->Handle() + Sjis(" さんが接続を終えました－"));
  session->deleteLater();
}

std::vector<TDemoSession*> TDemoHost::Sessions() const {
  std::vector<TDemoSession*> sessions;
  for (const QPointer<TDemoSession>& session : FSessions)
    if (session) sessions.push_back(session);
  return sessions;
}

const char* TDemoHost::RefusedLogin(const QHostAddress& address) {
  if (LoggedInCount() >= FLimits.MaxUsers) return "－ただいま満員です。しばらくしてからおつなぎください－";
  if (FNextUserNumber > kLastUserNumber) return "－本日の受付は終了しました－";
  ForgetRestedAddresses();
  const auto [entry, added] = FLoginBuckets.try_emplace(address.toString(), TLoginBucket{});
  TLoginBucket& bucket = entry->second;
  if (added) {
    bucket.Tokens = FLimits.LoginBurst;
    bucket.Clock.start();
  }
  bucket.Tokens = std::min<double>(FLimits.LoginBurst,
                                   bucket.Tokens + bucket.Clock.restart() * FLimits.LoginsPerSecond / 1000.0);
  if (bucket.Tokens < 1) return "－ログインが続きすぎます。しばらくしてからおつなぎください－";
  bucket.Tokens -= 1;
  return nullptr;
}

// An address whose bucket has filled up again is as good as new; so the
// table holds only addresses that logged in lately.
void TDemoHost::ForgetRestedAddresses() {
  if (FLoginBuckets.size() < kMaxLoginAddresses) return;
  const qint64 restMs = qint64{1000} * FLimits.LoginBurst / std::max(FLimits.LoginsPerSecond, 1);
  std::erase_if(FLoginBuckets, [restMs](const auto& entry) { return entry.second.Clock.hasExpired(restMs); });
}

std::string TDemoHost::NewUserId() {
  if (FNextUserNumber > kLastUserNumber) return {};
  char id[16];
  std::snprintf(id, sizeof id, "WMB%05d", FNextUserNumber++);
  return id;
}

std::string TDemoHost::UniqueHandle(const std::string& loginId) const {
  const auto taken = [this](const std::string& handle) {
    const auto sessions = Sessions();
    return std::any_of(sessions.begin(), sessions.end(),
                       [&](const TDemoSession* s) { return s->Handle() == handle; });
  };
  std::string handle = loginId;
  for (int number = 2; taken(handle); ++number) handle = loginId + std::to_string(number);
  return handle;
}

void TDemoHost::Entered(TDemoSession& session) {
  SendToConference(Sjis("－") + session.Handle() + Sjis(" さんが参加しました－"), &session);
  SendToConference(ServiceText::ConferenceLine(TDemoBot::Handle(), TDemoBot::Greeting(session.Handle())));
}

void TDemoHost::Left(TDemoSession& session) {
  SendToConference(Sjis("－") + session.Handle() + Sjis(" さんが退室しました－"), &session);
}

void TDemoHost::Say(const TDemoSession& from, const std::string& text) {
  SendToConference(ServiceText::ConferenceLine(from.Handle(), text));
}

std::vector<std::string> TDemoHost::ParticipantList() const {
  std::vector<std::string> rows{ServiceText::ParticipantHeader(),
                                ServiceText::ParticipantRow(kBotJob, TDemoBot::UserId(), TDemoBot::Handle())};
  for (const TDemoSession* session : Sessions())
    if (session->InConference())
      rows.push_back(ServiceText::ParticipantRow(session->Job(), session->UserId(), session->Handle()));
  return rows;
}

bool TDemoHost::Page(TDemoSession& from, const std::string& to, const std::string& text) {
  const std::string wanted = ServiceText::Upper(to);
  if (wanted == TDemoBot::UserId()) {
    from.SendLine(ServiceText::PageSent(TDemoBot::UserId()));
    from.SendLine(ServiceText::PageNotice(TDemoBot::UserId()));
    from.SendLine(TDemoBot::PageAnswer());
    return true;
  }
  for (TDemoSession* session : Sessions()) {
    if (!session->LoggedIn()) continue;
    if (ServiceText::Upper(session->UserId()) != wanted && ServiceText::Upper(session->Handle()) != wanted)
      continue;
    from.SendLine(ServiceText::PageSent(session->UserId()));
    session->SendLine(ServiceText::PageNotice(from.UserId()));
    session->SendLine(ServiceText::PageText(from.UserId(), text));
    return true;
  }
  return false;
}

void TDemoHost::SendToConference(const std::string& line, const TDemoSession* except) {
  for (TDemoSession* session : Sessions())
    if (session != except && session->InConference()) session->SendLine(line);
}

void TDemoHost::BotSpeaks() {
  const auto sessions = Sessions();
  if (std::none_of(sessions.begin(), sessions.end(), [](const TDemoSession* s) { return s->InConference(); }))
    return;
  SendToConference(ServiceText::ConferenceLine(TDemoBot::Handle(), FBot.NextRemark(Port())));
}
