#pragma once
// A small multi-user chat host for trying Wombat: telnet on loopback, a
// login, a menu and a real-time conference with a resident bot, all text in
// code page 932 with CR LF, in the line conventions Wombat's view colours.

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "demohost/DemoBot.h"

class QTcpServer;
class QTcpSocket;
class TDemoSession;

// The bounds of the host; tests shorten them.
struct TDemoHostLimits {
  int MaxUsers = 32;                       // logged-in users
  int MaxLoggingIn = 64;                   // connections still at the login prompts
  int LoginSeconds = 60;                   // from the connection to the login, whatever arrives
  int LoginsPerSecond = 1;                 // sustained rate of logins from one address
  int LoginBurst = 20;                     // logins from one address taken at once
  std::size_t MaxLineBytes = 400;          // longer lines are refused
  std::size_t MaxDiscardedBytes = 65536;   // of one overlong line, then the client is dropped
  qint64 MaxOutputQueue = 256 * 1024;      // unsent bytes before a client is dropped
  int IdleSeconds = 30 * 60;
  int LinesPerSecond = 5;                  // sustained rate of a client's lines
  int LineBurst = 20;                      // lines taken at once
  int MaxDroppedLines = 100;               // lines over the rate before a client is dropped
  int MaxFailedLogins = 3;
  int BotIntervalMs = 20000;               // 0: the bot only greets
};

class TDemoHost : public QObject {
 public:
  explicit TDemoHost(const TDemoHostLimits& limits = {}, QObject* parent = nullptr);
  ~TDemoHost() override;

  // Listens on one more address; port 0 takes a free port. False when the
  // address cannot be used (Error() tells why).
  bool Listen(const QHostAddress& address, quint16 port);
  // The port of the first address listened on.
  quint16 Port() const;
  QString Error() const { return FError; }
  const TDemoHostLimits& Limits() const { return FLimits; }
  // Connected clients, logged in or not.
  int ClientCount() const;
  int LoggedInCount() const;

  // For the sessions.
  // Why a login from this address cannot be let in now; nullptr when it can.
  // Counts the login when it is let in.
  const char* RefusedLogin(const QHostAddress& address);
  // A user ID never issued before while the host runs; empty once all are used.
  std::string NewUserId();
  // The login ID, with a number added while another user has that handle.
  std::string UniqueHandle(const std::string& loginId) const;
  void Entered(TDemoSession& session);
  void Left(TDemoSession& session);
  void Say(const TDemoSession& from, const std::string& text);
  std::vector<std::string> ParticipantList() const;
  // Pages the user with that user ID or handle; false when there is none.
  bool Page(TDemoSession& from, const std::string& to, const std::string& text);

 private:
  void Accept(QTcpServer& server);
  void Refuse(QTcpSocket* socket);
  void Remove(TDemoSession* session);
  void SendToConference(const std::string& line, const TDemoSession* except = nullptr);
  std::vector<TDemoSession*> Sessions() const;
  void BotSpeaks();
  void ForgetRestedAddresses();

  TDemoHostLimits FLimits;
  std::vector<std::unique_ptr<QTcpServer>> FServers;
  std::vector<QPointer<TDemoSession>> FSessions;
  TDemoBot FBot;
  QTimer FBotTimer;
  QString FError;
  int FNextJob = 1;
  int FNextUserNumber = 1;
  struct TLoginBucket {
    double Tokens;
    QElapsedTimer Clock;
  };
  std::map<QString, TLoginBucket> FLoginBuckets;  // by address
};
