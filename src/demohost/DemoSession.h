#pragma once
// One user of the demo host: the telnet connection, the login dialogue, the
// menu and the conference commands. Everything a client can fill is
// bounded: the line length, the lines per second, the output waiting for
// the client and the idle time; a client that breaks a bound is
// disconnected, never the host.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <string>
#include <string_view>

#include "demohost/HostTelnet.h"

class QTcpSocket;
class TDemoHost;

class TDemoSession : public QObject {
 public:
  // Takes over the connected socket and greets the client; the host owns the session.
  TDemoSession(TDemoHost& host, QTcpSocket* socket, int job);

  int Job() const { return FJob; }
  const std::string& UserId() const { return FUserId; }
  const std::string& Handle() const { return FHandle; }
  bool LoggedIn() const { return FState == TState::Menu || FState == TState::Conference; }
  bool InConference() const { return FState == TState::Conference; }
  QTcpSocket* Socket() const { return FSocket; }

  // Sends one line (code page 932) with CR LF.
  void SendLine(const std::string& line);

 private:
  enum class TState { UserId, Password, Menu, Conference, Closing };

  void ReadSocket();
  void TakeByte(char byte);
  void Echo(std::string_view bytes);
  void EraseLastCharacter();
  void EndLine();
  bool TakeToken();
  void HandleLine(const std::string& line);
  void HandleUserId(const std::string& line);
  void HandlePassword(const std::string& line);
  void HandleMenu(const std::string& line);
  void HandleConference(const std::string& line);
  void Page(const std::string& arguments);
  // False, with a notice to the user, for text that would pass for a line
  // of the service's own.
  bool MayDeliver(const std::string& text);
  void ShowMenu();
  void EnterConference();
  void LeaveConference();
  void SendText(const std::string& text);
  void Write(const std::string& bytes);
  void Quit();
  void Close();
  void Drop(const char* reason);

  TDemoHost& FHost;
  QTcpSocket* FSocket;
  const int FJob;
  THostTelnet FTelnet;
  TState FState = TState::UserId;
  std::string FLine;
  bool FOverlong = false;
  std::size_t FDiscarded = 0;
  bool FAfterCr = false;
  std::string FLoginId;
  std::string FUserId;
  std::string FHandle;
  int FFailedLogins = 0;
  double FTokens;
  QElapsedTimer FTokenClock;
  QElapsedTimer FOnline;
  int FDroppedLines = 0;
  QTimer FIdleTimer;
  QTimer FLoginTimer;  // from the connection to the login
};
