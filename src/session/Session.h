#pragma once
// The connection's model: one session of the terminal with a host. It picks
// and owns the transport for an entry, assembles the received text into
// lines, runs the login script and the pauses, writes the log and the call
// record, restarts a silent telnet line and hands the lines to a linked
// sibling program. It knows nothing of widgets: the window shows what its
// events tell.

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "access/AccessPoint.h"
#include "comm/Transport.h"
#include "session/LoginScript.h"

class TLogMgr;
class TSiblingServer;

// The carrier of a connection, by the entry's host and port texts.
enum class TConnectKind : std::uint8_t { None = 0, SerialModem = 1, TelephonyModem = 2, Telnet = 3 };

// A telephone number dials a modem: a serial one on a "COM" port, else the
// telephony modem of that name. Anything else is a telnet host.
TConnectKind ConnectKindFor(const std::string& host, const std::string& port);

enum class TSessionState : std::uint8_t {
  Idle,
  Connecting,  // started (connecting, or dialling), not up yet
  Connected,
  Restarting,  // a silent line was dropped; it is made again after a pause
  Waiting,     // a dropped telnet line waits to be connected again
};

// Every way an attempt or a call ends.
enum class TEndWay : std::uint8_t {
  StartFailed,       // the start failed at once
  AttemptFailed,     // a telnet attempt failed later (refused, host not found, timed out)
  Refused,           // the modem refused the call before it came up (BUSY, NO CARRIER, ...)
  CancelledAttempt,  // the user disconnected while connecting or dialling
  Dropped,           // the host or the line ended a connection that was up
  UserDisconnect,    // the user disconnected a connection that was up
  Restart,           // the silent-line restart closed it
};

// What an end does besides closing the log.
struct TEnding {
  bool Sound;         // the disconnect sound
  bool TellSibling;   // the end-of-connection message to a linked sibling
  bool CallRecord;    // a line in the call record
  bool operator==(const TEnding&) const = default;
};
TEnding EndingOf(TEndWay way);

enum class TSessionSound : std::uint8_t { Connect, Disconnect };

// The wait in seconds before the reconnect that follows `drops` drops in a
// row (1 for the first): 2, 4, 8, 16, 32, then 60.
int ReconnectWaitSeconds(int drops);
// The wait in milliseconds, spread by `spread` (from -1 to 1) times 20 %;
// `second` is the length of one second.
int SpreadWait(int seconds, double spread, int second = 1000);

class TSession : public QObject {
 public:
  explicit TSession(QObject* parent = nullptr);
  ~TSession() override;

  // The pauses of the connection handling, in milliseconds; tests shorten them.
  struct TPauses {
    int AfterConnect = 2000;     // before the first script step
    int PerStar = 1000;          // for each "*" of a script step
    int BeforeReconnect = 1000;  // before a silent line is connected again
    int ReconnectSecond = 1000;  // one second of the waits before a dropped line is made again
    int StaysUp = 60000;         // up this long, the next drop starts the waits again
  };
  TPauses Pauses;
  // A telnet connection that was up and ended without the user asking is
  // connected again after a wait.
  bool AutoReconnect = false;
  // From -1 to 1: how a wait to reconnect is spread; tests fix it. Unset: at random.
  std::function<double()> WaitSpread;
  // Seconds after which a telnet line that brought no complete line is
  // dropped and made again; 0 never.
  int ReconnectTimeOut = 20;

  // Makes the transport of a kind; tests give fakes. Unset: the real ones.
  // Each kind's transport is made at once and lives as long as the session
  // (a telephony modem lists the lines there are when it is made). Set
  // before the first connection.
  using TTransportFactory = std::function<std::unique_ptr<TTransport>(TConnectKind, QObject*)>;
  void SetTransportFactory(TTransportFactory factory);
  // The sibling link that receives the lines and the ends; may stay unset.
  void SetSibling(TSiblingServer* sibling) { FSibling = sibling; }
  TLogMgr& LogMgr() { return *FLogMgr; }
  const TLogMgr& LogMgr() const { return *FLogMgr; }

  // Starts a connection for the entry: opens its log, starts its script and
  // its transport. False when the start failed at once.
  bool Connect(const QString& entryName, const TAPData& entry);
  // Ends a connection or an attempt at the user's request, without asking;
  // cancels a wait to reconnect.
  void Disconnect();
  // Cancels a wait to reconnect; nothing otherwise.
  void CancelReconnect();
  // Stops the login script: no further prompt is awaited; a step that waits
  // behind a pause is still walked to its end.
  void CancelScript();
  // Sends text unchanged through the transport; nothing without a
  // connection. False when the transport refused it (too much waits).
  bool Send(const std::string& text);
  void SendBreak();
  // Runs action now, or once received data is no longer held and what the
  // transport held before it has been delivered.
  void WhenReady(std::function<void()> action);
  void SetStatus(const QString& text);

  TSessionState State() const { return FState; }
  // Connecting or connected: a transport carries the entry.
  bool Active() const;
  // The start succeeded and the connection has not ended.
  bool Started() const { return Active() && FStarted; }
  TConnectKind Kind() const { return FKind; }
  const QString& EntryName() const { return FEntryName; }
  const QString& Status() const { return FStatus; }
  // How the last attempt or call ended, and why (the status it left).
  TEndWay LastEnd() const { return FLastEnd; }
  const QString& FailureReason() const { return FFailureReason; }
  // Invalid while no connection is up.
  const QDateTime& ConnectTime() const { return FConnectTime; }
  // A login script waits for a prompt.
  bool ScriptRunning() const { return FScriptRunning; }
  bool Paused() const { return FPauseTimer.isActive(); }
  bool HandingOffToSibling() const;

  // State, entry, script or start changed.
  std::function<void()> OnStateChanged;
  // Complete lines of a batch, and the partial line after them.
  std::function<void(const std::vector<std::string>& lines, const std::string& partial)> OnLines;
  std::function<void(const QString& text)> OnStatus;
  std::function<void(const QString& text)> OnMessage;
  std::function<void(TSessionSound sound)> OnSound;

 private:
  bool StartConnection(const QString& entryName, const TAPData& entry);
  void MakeTransports();
  void Wire(TTransport& transport);
  void TransportUp();
  void TransportDown(TDownCause cause, const QString& reason);
  void TransportNotice(const QString& text);
  void End(TEndWay way);
  void WriteCallRecord();
  void Tick();
  void Restart();
  void Changed();
  bool ShouldReconnect(TEndWay way) const;
  void WaitToReconnect(bool stayedUp);
  void CountDown();
  void ShowCountdown(qint64 left);
  void Reconnect();
  void EndSeries();

  void StartPause(int milliseconds, std::function<void()> then);
  void EndPause();
  void CancelPause();
  bool ReceivingHeld() const;
  bool TransportPending() const;
  void ResumeReceiving();
  void ResumeLater();
  void RunDeferred();

  void Received();
  void TakeBlock(const std::string& block, std::vector<std::string>& lines);
  void CheckPrompt(const std::string& block);
  void HandOn(std::vector<std::string> lines);
  void LogAndShow(const std::vector<std::string>& lines);

  TTransportFactory FFactory;
  TTransport* FTransport = nullptr;  // the current one
  std::unique_ptr<TLogMgr> FLogMgr;
  TSiblingServer* FSibling = nullptr;
  TLoginScript FScript;
  bool FScriptRunning = false;

  TSessionState FState = TSessionState::Idle;
  TConnectKind FKind = TConnectKind::None;
  QString FEntryName;
  TAPData FEntry;
  QString FStatus;
  TEndWay FLastEnd = TEndWay::StartFailed;
  QString FFailureReason;
  QDateTime FConnectTime;
  bool FStarted = false;
  bool FOpening = false;      // the transport's Open is running
  bool FOpenFailed = false;   // the transport ended the attempt during Open
  bool FLineReceived = false;

  std::string FReceiveBuffer;
  bool FReceiving = false;
  QTimer FPauseTimer;
  std::function<void()> FAfterPause;
  std::deque<std::function<void()>> FDeferred;
  QTimer FTickTimer;
  QTimer FWaitTimer;          // the countdown of a wait to reconnect
  qint64 FWaitEnd = 0;        // when the wait ends, by FClock
  QElapsedTimer FClock;
  int FDrops = 0;             // drops in a row of the current series
  bool FInSeries = false;     // the connection was made by a reconnect
  // By kind; destroyed first, while the rest still stands.
  std::array<std::unique_ptr<TTransport>, 4> FTransports;
};
