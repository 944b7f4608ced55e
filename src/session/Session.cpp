// A telnet connection that was up and ended without the user asking is made
// again after a wait that grows with each drop in a row; a reconnect that
// fails waits the next step too. The wait is a state with a countdown in the
// status line, cancelled by any command of the user's.
//
// Pauses of the connection handling: two seconds after a connection comes up,
// one second for each "*" of a script step, one second before a silent line
// is connected again. A pause is a state with an end time, not a wait: the
// window keeps painting and the user's commands act at once, but the
// transport is held, so nothing it receives is handled until the pause ends.
// Then what the pause was started for runs first (the script's next item,
// the restart), then the held data in the order it arrived. A hand-off of
// lines to a linked sibling program holds received data the same way until
// the sibling has answered.
#include "session/Session.h"

#include <QDate>
#include <QLocale>
#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include "comm/ModemTransports.h"
#include "comm/SiblingLink.h"
#include "comm/TelnetTransport.h"
#include "session/ProgramFolder.h"
#include "text/AtomicFile.h"
#include "text/Codec.h"
#include "text/Errors.h"
#include "text/LineAssembler.h"
#include "text/LogMgr.h"
#include "text/QtCodec.h"

namespace {

constexpr int kTickInterval = 1000;
constexpr int kReconnectWaits[] = {2, 4, 8, 16, 32, 60};
constexpr double kWaitSpread = 0.2;
constexpr int kCallRecordNameWidth = 30;
constexpr std::size_t kReadPerTurn = 64 * 1024;
const QString kCallRecordFile = QStringLiteral("Phone.txt");

// "hh:mm:ss"; the hours keep counting past a day.
QString ElapsedText(qint64 seconds) {
  return QStringLiteral("%1:%2:%3")
      .arg(seconds / 3600, 2, 10, QChar('0'))
      .arg(seconds / 60 % 60, 2, 10, QChar('0'))
      .arg(seconds % 60, 2, 10, QChar('0'));
}

// The entry name padded with spaces to 30 bytes (a longer one is not cut),
// the connect time, "～" and the time now, ended by CR LF.
std::string CallRecordLine(const QString& entryName, const QDateTime& connectTime) {
  const QLocale locale = QLocale::system();
  std::string line = FromQString(entryName);
  if (line.size() < kCallRecordNameWidth) line.resize(kCallRecordNameWidth, ' ');
  return line + FromQString(locale.toString(connectTime, "yyyy.MM.dd(ddd) hh:mm:ss")) + Sjis("～") +
         FromQString(locale.toString(QTime::currentTime(), "hh:mm:ss")) + "\r\n";
}

std::unique_ptr<TTransport> RealTransport(TConnectKind kind, QObject* parent) {
  switch (kind) {
    case TConnectKind::SerialModem:
      return std::make_unique<TSerialModemTransport>(parent);
    case TConnectKind::TelephonyModem:
      return std::make_unique<TTelephonyModemTransport>(parent);
    default:
      return std::make_unique<TTelnetTransport>(parent);
  }
}

}  // namespace

TConnectKind ConnectKindFor(const std::string& host, const std::string& port) {
  if (!IsTelephoneNumber(host)) return TConnectKind::Telnet;
  return port.starts_with("COM") ? TConnectKind::SerialModem : TConnectKind::TelephonyModem;
}

// An attempt that never came up is silent only when it failed the way a
// failed start does; every other end answers the connect with the disconnect
// sound and tells the sibling. Only a connection that was up is recorded.
TEnding EndingOf(TEndWay way) {
  switch (way) {
    case TEndWay::StartFailed:
    case TEndWay::AttemptFailed:
      return {false, false, false};
    case TEndWay::Refused:
    case TEndWay::CancelledAttempt:
      return {true, true, false};
    case TEndWay::Dropped:
    case TEndWay::UserDisconnect:
    case TEndWay::Restart:
      return {true, true, true};
  }
  return {true, true, true};
}

int ReconnectWaitSeconds(int drops) {
  const int last = static_cast<int>(std::size(kReconnectWaits)) - 1;
  return kReconnectWaits[std::clamp(drops - 1, 0, last)];
}

int SpreadWait(int seconds, double spread, int second) {
  return static_cast<int>(std::lround(seconds * second * (1.0 + kWaitSpread * spread)));
}

TSession::TSession(QObject* parent)
    : QObject(parent), FFactory(RealTransport), FLogMgr(std::make_unique<TLogMgr>()) {
  FScript.Send = [this](const std::string& text) { Send(text); };
  // The engine asks for one second per "*"; the session's setting decides.
  FScript.Pause = [this](int) { StartPause(Pauses.PerStar, [this] { FScript.ContinueStep(); }); };
  FPauseTimer.setSingleShot(true);
  connect(&FPauseTimer, &QTimer::timeout, this, [this] { EndPause(); });
  FTickTimer.setInterval(kTickInterval);
  connect(&FTickTimer, &QTimer::timeout, this, [this] { Tick(); });
  FWaitTimer.setSingleShot(true);
  connect(&FWaitTimer, &QTimer::timeout, this, [this] { CountDown(); });
  FClock.start();
  MakeTransports();
}

// What the transports raise while they are destroyed concerns no connection.
TSession::~TSession() {
  FTransport = nullptr;
}

bool TSession::Active() const {
  return FState == TSessionState::Connecting || FState == TSessionState::Connected;
}

void TSession::SetTransportFactory(TTransportFactory factory) {
  FFactory = std::move(factory);
  MakeTransports();
}

void TSession::MakeTransports() {
  FTransport = nullptr;
  for (const TConnectKind kind :
       {TConnectKind::SerialModem, TConnectKind::TelephonyModem, TConnectKind::Telnet}) {
    std::unique_ptr<TTransport>& transport = FTransports[static_cast<std::size_t>(kind)];
    transport = FFactory(kind, this);
    Wire(*transport);
  }
}

// An event of a transport that no longer carries the connection is dropped.
// After each, the requests that waited for it may run.
void TSession::Wire(TTransport& transport) {
  TTransport* const source = &transport;
  auto current = [this, source](const std::function<void()>& handle) {
    if (source != FTransport) return;
    handle();
    if (!FDeferred.empty()) ResumeLater();
  };
  transport.OnUp = [current, this] { current([this] { TransportUp(); }); };
  transport.OnReceived = [current, this] { current([this] { Received(); }); };
  transport.OnDown = [current, this](const TDown& down) {
    current([this, &down] { TransportDown(down.Cause, down.Reason); });
  };
  transport.OnNotice = [current, this](const QString& text) {
    current([this, &text] { TransportNotice(text); });
  };
  transport.OnMessage = [this](const QString& text) {
    if (OnMessage) OnMessage(text);
  };
}

// A connection by the user's command ends a wait to reconnect and its series.
bool TSession::Connect(const QString& entryName, const TAPData& entry) {
  if (Active()) return false;
  CancelReconnect();
  EndSeries();
  return StartConnection(entryName, entry);
}

bool TSession::StartConnection(const QString& entryName, const TAPData& entry) {
  FLogMgr->Open(entry.LogName +
                FromQString(QDate::currentDate().toString(QStringLiteral("yyMMdd"))) + ".log");
  FKind = ConnectKindFor(entry.HostName, entry.Port);
  FTransport = FTransports[static_cast<std::size_t>(FKind)].get();
  FEntryName = entryName;
  FEntry = entry;
  FScript.Start(entry.Script, entry.ID, entry.Password);
  FScriptRunning = FScript.HasPairs();
  FState = TSessionState::Connecting;
  FStarted = false;
  FOpenFailed = false;
  FOpening = true;
  const bool opened = FTransport->Open(entry);
  FOpening = false;
  if (!opened || FOpenFailed) {
    End(TEndWay::StartFailed);
    return false;
  }
  FStarted = true;
  Changed();
  return true;
}

// The transport's close raises nothing; the end is the session's own.
void TSession::Disconnect() {
  CancelReconnect();
  if (!Active()) return;
  const bool wasUp = FConnectTime.isValid();
  FTransport->Close();
  FStatus.clear();
  End(wasUp ? TEndWay::UserDisconnect : TEndWay::CancelledAttempt);
}

void TSession::CancelReconnect() {
  if (FState != TSessionState::Waiting) return;
  FWaitTimer.stop();
  EndSeries();
  FState = TSessionState::Idle;
  FStatus.clear();
  Changed();
}

void TSession::CancelScript() {
  FScript.StopWaiting();
  FScriptRunning = false;
  Changed();
}

bool TSession::Send(const std::string& text) {
  if (!Active()) return true;
  return FTransport->Send(text);
}

void TSession::SendBreak() {
  if (Active()) FTransport->SendBreak();
}

void TSession::SetStatus(const QString& text) {
  FStatus = text;
  if (OnStatus) OnStatus(FStatus);
}

void TSession::TransportUp() {
  FState = TSessionState::Connected;
  FLineReceived = false;
  FConnectTime = QDateTime::currentDateTime();
  FTickTimer.start();
  if (OnSound) OnSound(TSessionSound::Connect);
  FStatus = QStringLiteral("接続しました");
  Changed();
  StartPause(Pauses.AfterConnect, [this] { FScript.RunFirstStep(); });
}

// An attempt that never came up keeps its reason in the status line; a
// connection that was up ends with an empty one.
void TSession::TransportDown(TDownCause cause, const QString& reason) {
  if (FOpening) {
    FOpenFailed = true;
    if (!reason.isEmpty()) FStatus = reason;
    return;
  }
  if (!Active()) return;
  const bool wasUp = FConnectTime.isValid();
  FStatus = wasUp ? QString() : reason;
  if (wasUp)
    End(TEndWay::Dropped);
  else
    End(cause == TDownCause::StartFailed ? TEndWay::AttemptFailed : TEndWay::Refused);
}

// A connection that is up keeps its own status line.
void TSession::TransportNotice(const QString& text) {
  if (FState != TSessionState::Connected) SetStatus(text);
}

// A block still waiting for the sibling's answers is logged and shown before
// the log of its connection closes.
void TSession::End(TEndWay way) {
  const TEnding ending = EndingOf(way);
  const bool reconnect = ShouldReconnect(way);
  const bool stayedUp = FConnectTime.isValid() &&
                        FConnectTime.msecsTo(QDateTime::currentDateTime()) >= Pauses.StaysUp;
  FLastEnd = way;
  FFailureReason = FStatus;
  FScript.Cancel();
  FScriptRunning = false;
  CancelPause();
  FTickTimer.stop();
  if (ending.Sound && OnSound) OnSound(TSessionSound::Disconnect);
  if (FSibling) {
    FSibling->StopWaiting();
    if (ending.TellSibling) FSibling->NotifyEnd();
  }
  FLogMgr->Close();
  if (ending.CallRecord && FConnectTime.isValid()) WriteCallRecord();
  FConnectTime = QDateTime();
  FState = TSessionState::Idle;
  FKind = TConnectKind::None;
  FStarted = false;
  if (reconnect)
    WaitToReconnect(stayedUp);
  else if (way != TEndWay::Restart)
    EndSeries();
  Changed();
}

// A drop of a telnet connection that was up, or the failure of an attempt
// that a reconnect made. A modem call is never dialled again.
bool TSession::ShouldReconnect(TEndWay way) const {
  if (!AutoReconnect || FKind != TConnectKind::Telnet) return false;
  if (way == TEndWay::Dropped) return true;
  return FInSeries && (way == TEndWay::StartFailed || way == TEndWay::AttemptFailed);
}

// A connection that stayed up long enough starts the waits again.
void TSession::WaitToReconnect(bool stayedUp) {
  if (stayedUp) FDrops = 0;
  ++FDrops;
  const double spread =
      WaitSpread ? WaitSpread() : QRandomGenerator::global()->generateDouble() * 2 - 1;
  const int second = std::max(Pauses.ReconnectSecond, 1);
  FWaitEnd = FClock.elapsed() + SpreadWait(ReconnectWaitSeconds(FDrops), spread, second);
  FState = TSessionState::Waiting;
  ShowCountdown(FWaitEnd - FClock.elapsed());
}

void TSession::CountDown() {
  const qint64 left = FWaitEnd - FClock.elapsed();
  if (left > 0)
    ShowCountdown(left);
  else
    Reconnect();
}

// Shows the whole seconds left and wakes at the next change of them.
void TSession::ShowCountdown(qint64 left) {
  const int second = std::max(Pauses.ReconnectSecond, 1);
  const qint64 seconds = std::max<qint64>((left + second - 1) / second, 1);
  SetStatus(QStringLiteral("再接続まで %1 秒").arg(seconds));
  FWaitTimer.start(static_cast<int>(std::max<qint64>(left - (seconds - 1) * second, 0)));
}

void TSession::Reconnect() {
  FState = TSessionState::Idle;
  FInSeries = true;
  StartConnection(FEntryName, FEntry);
}

void TSession::EndSeries() {
  FDrops = 0;
  FInSeries = false;
}

// One line per connection in "Phone.txt". A new record is private, as the
// logs are; a symbolic link there is refused.
void TSession::WriteCallRecord() {
  const std::string line = CallRecordLine(FEntryName, FConnectTime);
  const QString path = ProgramFolder() + '/' + kCallRecordFile;
  try {
    AppendToFile(ToPath(path), line);
  } catch (const EInOutError& error) {
    if (OnMessage) OnMessage(path + ": " + QString::fromUtf8(error.what()));
  }
}

// A tick during a pause is skipped, as the pause holds back what would show
// the line is alive; one that comes after the end of the connection too.
void TSession::Tick() {
  if (Paused() || !FConnectTime.isValid()) return;
  const qint64 elapsedMs = FConnectTime.msecsTo(QDateTime::currentDateTime());
  if (FTransport->Restartable() && !FLineReceived && ReconnectTimeOut > 0 &&
      elapsedMs >= qint64{ReconnectTimeOut} * 1000) {
    Restart();
    return;
  }
  SetStatus("接続時間（" + ElapsedText(elapsedMs / 1000) + "）");
}

// The host sent no complete line in the set time: the line is dropped and
// the same entry connected again, unless a connection was made meanwhile.
void TSession::Restart() {
  FTransport->Close();
  FStatus = QStringLiteral("再接続します");
  End(TEndWay::Restart);
  FState = TSessionState::Restarting;
  Changed();
  StartPause(Pauses.BeforeReconnect, [this] {
    if (FState == TSessionState::Restarting) StartConnection(FEntryName, FEntry);
  });
}

void TSession::Changed() {
  if (OnStateChanged) OnStateChanged();
}

// A pause started while another runs replaces it.
void TSession::StartPause(int milliseconds, std::function<void()> then) {
  FAfterPause = std::move(then);
  FPauseTimer.start(std::max(milliseconds, 0));
  if (FTransport) FTransport->Hold(true);
}

void TSession::EndPause() {
  if (const std::function<void()> then = std::exchange(FAfterPause, nullptr)) then();
  ResumeReceiving();
}

// The connection has ended: what the pause was for is dropped.
void TSession::CancelPause() {
  FPauseTimer.stop();
  FAfterPause = nullptr;
  ResumeLater();
}

// Received data waits while a pause runs, while a batch is handled (so that a
// dialog opened meanwhile cannot let newer text overtake it) and while the
// sibling takes the lines of a batch.
bool TSession::ReceivingHeld() const {
  return Paused() || FReceiving || HandingOffToSibling();
}

bool TSession::TransportPending() const {
  return FTransport && FTransport->Pending();
}

bool TSession::HandingOffToSibling() const {
  return FSibling && FSibling->HandingOff();
}

void TSession::ResumeReceiving() {
  RunDeferred();
  if (FTransport) FTransport->Hold(ReceivingHeld());
}

// The same from the event loop, for callers in the middle of their own work.
void TSession::ResumeLater() {
  QMetaObject::invokeMethod(this, [this] { ResumeReceiving(); }, Qt::QueuedConnection);
}

void TSession::WhenReady(std::function<void()> action) {
  if (ReceivingHeld() || TransportPending() || !FDeferred.empty()) {
    FDeferred.push_back(std::move(action));
    ResumeLater();
  } else {
    action();
  }
}

// Stops when an action starts a pause; the end of that pause goes on.
void TSession::RunDeferred() {
  while (!ReceivingHeld() && !TransportPending() && !FDeferred.empty()) {
    const std::function<void()> action = std::move(FDeferred.front());
    FDeferred.pop_front();
    action();
  }
}

// What has arrived, up to a turn's worth, is handled as one batch: a linked
// sibling answers all its lines in one exchange, and the log and the window
// take them at once. Reading stops where the login script starts a pause.
void TSession::Received() {
  FReceiving = true;
  std::vector<std::string> lines;
  for (std::size_t taken = 0; taken < kReadPerTurn && !Paused();) {
    const std::string block = FTransport->TakeBlock();
    if (block.empty()) break;
    taken += block.size();
    TakeBlock(block, lines);
  }
  HandOn(std::move(lines));
}

// The script's step goes out before the lines of the block that triggered it
// are shown.
void TSession::TakeBlock(const std::string& block, std::vector<std::string>& lines) {
  const std::size_t searchFrom = FReceiveBuffer.size();
  AppendBlock(FReceiveBuffer, block);
  CheckPrompt(block);
  std::vector<std::string> complete = TakeLines(FReceiveBuffer, searchFrom);
  lines.insert(lines.end(), std::make_move_iterator(complete.begin()),
               std::make_move_iterator(complete.end()));
}

// Answers the first pair when its prompt is in this block. The script ends
// when no pair is left.
void TSession::CheckPrompt(const std::string& block) {
  if (FTransport->Dialling()) return;
  if (FScript.CheckBlock(block) != TPromptResult::Ended) return;
  FScriptRunning = false;
  FStatus.clear();
  Changed();
}

// The complete lines go to a linked sibling, then to the log and the window.
// Nothing else is received meanwhile, even while a message box of the log
// waits for its answer or the sibling for its turn.
void TSession::HandOn(std::vector<std::string> lines) {
  if (!lines.empty()) FLineReceived = true;
  auto batch = std::make_shared<const std::vector<std::string>>(std::move(lines));
  if (FSibling && FSibling->Linked()) {
    FSibling->HandOff(*batch, [this, batch] {
      LogAndShow(*batch);
      ResumeLater();
    });
  } else {
    LogAndShow(*batch);
  }
  FReceiving = false;
  ResumeReceiving();
}

// The partial line is the receive buffer itself: nothing is received while
// the sibling takes the lines, so it is still this batch's.
void TSession::LogAndShow(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) FLogMgr->WriteLine(line);
  FLogMgr->Flush();
  if (OnLines) OnLines(lines, FReceiveBuffer);
}
