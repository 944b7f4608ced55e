// Connection control: starting a connection for the selected entry, following
// the transport's connect, close and error events, ending the connection with
// its call record line, the connection time and the restart of a silent
// telnet line, the break signal, and the address typed by the user or given
// on the command line.
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

#include "comm/TelnetClient.h"
#include "session/ProgramFolder.h"
#include "session/WombatForm.h"
#include "text/Codec.h"
#include "text/LogMgr.h"
#include "text/QtCodec.h"
#include "view/PlatformUi.h"

namespace {

const QString kTitle = QStringLiteral("Wombat");
const QString kTitlePrefix = QStringLiteral("Wombat - ");
const QString kTempEntry = QStringLiteral("Temp");
const QString kCallRecordFile = QStringLiteral("Phone.txt");
constexpr int kTimer2Interval = 1000;
constexpr int kCallRecordNameWidth = 30;

// Shows what the entry lacks for a connection; true when it lacks nothing.
// Both checks are made before either message is shown.
bool EntryCanConnect(const TAPData& entry) {
  const bool noHost = entry.HostName.empty();
  const bool noID = ScriptNeedsID(entry.Script) && entry.ID.empty();
  if (noHost) PlatformUi().ShowMessage("ホスト名／電話番号が設定されていません。");
  if (noID) PlatformUi().ShowMessage("IDの入力が必要です。");
  return !noHost && !noID;
}

// A telephone number dials a modem: a serial one on a "COM" port, else the
// telephony modem of that name. Anything else is a telnet host.
int ConnectKindFor(const std::string& host, const std::string& port) {
  if (!IsTelephoneNumber(host)) return TWombatForm::kTelnet;
  return port.starts_with("COM") ? TWombatForm::kSerialModem : TWombatForm::kTelephonyModem;
}

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

}  // namespace

// The telnet client raises its events only while received data is not held,
// so they act at once.
void TWombatForm::CreateConnectionParts() {
  TCPClient1 = new TTelnetClient(this);
  TCPClient1->OnConnect = [this](TTCPClient*, TSocket) { TCPClient1Connect(); };
  TCPClient1->OnData = [this](TTCPClient*, TSocket) { TCPClient1Data(); };
  TCPClient1->OnClose = [this](TTCPClient*, TSocket) { ConnectionClosed(); };
  TCPClient1->OnError = [this](TCustomWSocket*, int, const std::string& message) {
    TCPClient1Error(message);
  };
  CreatePauseTimer();
  Timer2 = new QTimer(this);
  Timer2->setInterval(kTimer2Interval);
  connect(Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });
  MediaPlayer1 = new QSoundEffect(this);
}

void TWombatForm::WireConnectionCommands() {
  Wire(Connect1, [this] { Connect1Click(); });
  Wire(Connect2, [this] { Connect1Click(); });
  Wire(Disconnect1, [this] { Disconnect1Click(); });
  Wire(Disconnect2, [this] { Disconnect1Click(); });
  Wire(K2, [this] { K2Click(); });
  Wire(KB1, [this] { KB1Click(); });
  Wire(ChangeTimeOut, [this] { ChangeTimeOutClick(); });
}

// With an address on the command line the entry "Temp" is selected.
void TWombatForm::SelectStartupEntry() {
  if (FStartupAddress && FStartupAddress->Refusal.isEmpty() &&
      APNameList->findText(kTempEntry) >= 0)
    SelectEntry(kTempEntry);
}

// The command line's host and port connect through the entry "Temp", with
// nothing of what is stored in it but its log name; the stored entry stays
// as it is. An address that is no telnet host is refused.
void TWombatForm::ConnectToStartupAddress() {
  if (!FStartupAddress) return;
  show();
  if (!FStartupAddress->Refusal.isEmpty()) {
    StatusPanel->setText(FStartupAddress->Refusal);
    PlatformUi().ShowMessage(FStartupAddress->Refusal);
    return;
  }
  EnsureTempEntry();
  SelectEntry(kTempEntry);
  APNameListChange();
  FCurrentEntry = StartupEntry(*FStartupAddress, FCurrentEntry);
  HostEdit->setText(FStartupAddress->Host);
  PortEdit->setText(FStartupAddress->Port);
  if (!Connect1->isEnabled()) return;
  Connect1Click();
  if (Disconnect1->isEnabled())
    StatusPanel->setText(StatusPanel->text() + "（ID･ﾊﾟｽﾜｰﾄﾞ･ｽｸﾘﾌﾟﾄなし）");
}

void TWombatForm::Connect1Click() {
  const QString entryName = SelectedEntry();
  if (entryName.isEmpty()) return;
  if (!EntryCanConnect(FCurrentEntry)) {
    Edit2Click();
    return;
  }
  FLogMgr->Open(FCurrentEntry.LogName +
                FromQString(QDate::currentDate().toString(QStringLiteral("yyMMdd"))) + ".log");
  FConnectKind = ConnectKindFor(FromQString(HostEdit->text()), FromQString(PortEdit->text()));
  SetConnectingButtons();
  StartScript();
  if (StartTransport()) {
    setWindowTitle(kTitlePrefix + entryName);
    QApplication::setApplicationDisplayName(entryName);
  } else if (Disconnect1->isEnabled()) {
    EndFailedAttempt();
  }
  InputEdit->setFocus();
}

bool TWombatForm::StartTransport() {
  switch (FConnectKind) {
    case kTelnet:
      return StartTelnet();
    case kSerialModem:
      return StartSerialModem();
    case kTelephonyModem:
      return StartTelephonyModem();
    default:
      return false;
  }
}

// A port text that is no port shows why in the status line.
bool TWombatForm::StartTelnet() {
  TCPClient1->Host = FromQString(HostEdit->text());
  TCPClient1->Port = FromQString(PortEdit->text());
  StatusPanel->setText(HostEdit->text() + "のﾎﾟｰﾄ" + PortEdit->text() + "へ接続しています");
  try {
    TCPClient1->Open();
  } catch (const std::exception& error) {
    StatusPanel->setText(QString::fromUtf8(error.what()));
    return false;
  }
  return TCPClient1->Status() == TSocketStatus::Connecting;
}

void TWombatForm::SetIdleButtons() {
  SetCommandEnabled(Connect1, true);
  SetCommandEnabled(Connect2, true);
  SetCommandEnabled(Disconnect1, false);
  SetCommandEnabled(Disconnect2, false);
}

void TWombatForm::SetConnectingButtons() {
  SetCommandEnabled(Connect1, false);
  SetCommandEnabled(Connect2, false);
  SetCommandEnabled(Disconnect1, true);
  SetCommandEnabled(Disconnect2, true);
}

void TWombatForm::TCPClient1Connect() {
  StatusPanel->setText("接続しました");
  FLineReceived = false;
  FConnectTime = QDateTime::currentDateTime();
  Timer2->start();
  PlaySoundFile(FConnectSound);
  StartPause(Pauses.AfterConnect, [this] { FScript.RunFirstStep(); });
}

// An attempt that fails before the connection is up ends with the socket's
// reason in the status line. Errors on an established connection are the
// socket's own business.
void TWombatForm::TCPClient1Error(const std::string& message) {
  const bool attempting =
      FConnectKind == kTelnet && !FConnectTime.isValid() && Disconnect1->isEnabled();
  if (!attempting) return;
  TCPClient1->Close();
  StatusPanel->setText(QString::fromStdString(message));
  EndFailedAttempt();
}

// A failed attempt ends as a close does (script stopped, log closed, no call
// record); the status line keeps saying why.
void TWombatForm::EndFailedAttempt() {
  const QString reason = StatusPanel->text();
  ConnectionClosed();
  StatusPanel->setText(reason);
}

void TWombatForm::ConnectionClosed() {
  if (CancelButton->isEnabled()) CancelButtonClick();
  SetIdleButtons();
  StatusPanel->clear();
  EndConnection();
}

void TWombatForm::Disconnect1Click() {
  if (PlatformUi().Confirm("回線を切断してよろしいですか？")) CloseConnection();
  InputEdit->setFocus();
}

// Closes the transport and ends the connection, without asking.
void TWombatForm::CloseConnection() {
  if (FConnectKind == kTelnet)
    TCPClient1->Close();
  else
    HangUpModem();
  EndConnection();
}

// The disconnect sound answers the connect sound: an attempt that never
// came up ends silently.
void TWombatForm::EndConnection() {
  CancelPause();
  Timer2->stop();
  if (FConnectTime.isValid()) PlaySoundFile(FDisconnectSound);
  SetIdleButtons();
  StatusPanel->clear();
  NotifySiblingOfEnd();
  FLogMgr->Close();
  if (FConnectTime.isValid()) WriteCallRecord();
  FConnectTime = QDateTime();
  setWindowTitle(kTitle);
  QApplication::setApplicationDisplayName(kTitle);
  FConnectKind = kNoConnection;
}

// One line per connection in "Phone.txt", named as the window title names it.
// A new record is private, as the logs are.
void TWombatForm::WriteCallRecord() {
  QString entryName = windowTitle();
  if (entryName.startsWith(kTitlePrefix)) entryName.remove(0, kTitlePrefix.size());
  const std::string line = CallRecordLine(entryName, FConnectTime);
  QFile file(ProgramFolder() + '/' + kCallRecordFile);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
      file.write(line.data(), static_cast<qint64>(line.size())) !=
          static_cast<qint64>(line.size()) ||
      !file.flush())
    PlatformUi().ShowMessage(file.fileName() + ": " + file.errorString());
}

// A tick during a pause is skipped, as the pause holds back what would show
// the line is alive; one that comes after the end of the connection too.
void TWombatForm::Timer2Timer() {
  if (Paused() || !FConnectTime.isValid()) return;
  const qint64 elapsedMs = FConnectTime.msecsTo(QDateTime::currentDateTime());
  if (FConnectKind == kTelnet && !FLineReceived && FReconnectTimeOut > 0 &&
      elapsedMs >= qint64{FReconnectTimeOut} * 1000) {
    ReconnectSilentLine();
    return;
  }
  StatusPanel->setText("接続時間（" + ElapsedText(elapsedMs / 1000) + "）");
}

// The host sent no complete line in the set time: the line is dropped and
// the same entry connected again.
void TWombatForm::ReconnectSilentLine() {
  TCPClient1->Close();
  EndConnection();
  StatusPanel->setText("再接続します");
  StartPause(Pauses.BeforeReconnect, [this] {
    if (Connect1->isEnabled()) Connect1Click();
  });
}

// Asks again until the answer is empty (no change) or a whole number of 0 or more.
void TWombatForm::ChangeTimeOutClick() {
  QString answer = QString::number(FReconnectTimeOut);
  while (PlatformUi().InputQuery("再接続の設定", "再接続までの時間（秒）", answer) &&
         !answer.isEmpty()) {
    bool isNumber = false;
    const int seconds = answer.toInt(&isNumber);
    if (isNumber && seconds >= 0) {
      FReconnectTimeOut = seconds;
      return;
    }
    answer = QString::number(FReconnectTimeOut);
  }
}

// A missing file, or a sound that cannot be played, plays nothing.
void TWombatForm::PlaySoundFile(const QString& path) {
  if (path.isEmpty() || !QFileInfo(path).isFile()) return;
  MediaPlayer1->setSource(QUrl::fromLocalFile(path));
  MediaPlayer1->play();
}

// Connects to an address the user types into the entry "Temp".
void TWombatForm::K2Click() {
  EnsureTempEntry();
  SelectEntry(kTempEntry);
  APNameListChange();
  if (!EditEntry(kTempEntry, false)) return;
  APNameListChange();
  if (Connect1->isEnabled()) Connect1Click();
}

// A missing "Temp" is created empty, with the dialling codes of the entry
// loaded before.
void TWombatForm::EnsureTempEntry() {
  if (APNameList->findText(kTempEntry) >= 0) return;
  TAPData temp;
  temp.CityCode = FCurrentEntry.CityCode;
  temp.CountryCode = FCurrentEntry.CountryCode;
  if (AccessPoint1->Save(FromQString(kTempEntry), temp)) APNameList->addItem(kTempEntry);
}

void TWombatForm::SelectEntry(const QString& name) {
  APNameList->setCurrentIndex(APNameList->findText(name));
}

void TWombatForm::KB1Click() {
  if (FConnectKind == kTelnet)
    TCPClient1->SendBreak();
  else
    SendBreakToModem();
}
