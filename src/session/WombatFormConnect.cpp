// The connection commands of the main window and what it shows of the
// session: the buttons, the caption, the status line, the received lines in
// both views and the sounds. Also the break signal, the time-out command and
// the address typed by the user or given on the command line.
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSoundEffect>
#include <QUrl>

#include "access/DialProperties.h"
#include "comm/TapiTerm.h"
#include "session/SettingsBounds.h"
#include "session/WombatForm.h"
#include "text/QtCodec.h"
#include "view/PlatformUi.h"
#include "view/QuokkaView.h"

namespace {

const QString kTitle = QStringLiteral("Wombat");
const QString kTitlePrefix = QStringLiteral("Wombat - ");
const QString kTempEntry = QStringLiteral("Temp");

// Shows what the entry lacks for a connection; true when it lacks nothing.
// Both checks are made before either message is shown.
bool EntryCanConnect(const TAPData& entry) {
  const bool noHost = entry.HostName.empty();
  const bool noID = ScriptNeedsID(entry.Script) && entry.ID.empty();
  if (noHost) PlatformUi().ShowMessage("ホスト名／電話番号が設定されていません。");
  if (noID) PlatformUi().ShowMessage("IDの入力が必要です。");
  return !noHost && !noID;
}

// The view's line limit, applied after every batch: a batch that leaves no
// partial line does not trim on its own. Adding no lines afterwards lets the
// view scroll to its end again, as it does after trimming for a partial line.
void TrimToLineLimit(TQuokkaView& view) {
  const int before = view.LineCount();
  view.ApplyLineLimit();
  if (view.LineCount() < before) view.AddLines({});
}

}  // namespace

void TWombatForm::CreateConnectionParts() {
  FSession->setObjectName("Session");
  FSession->OnStateChanged = [this] { ShowSession(); };
  FSession->OnStatus = [this](const QString&) { ShowSession(); };
  FSession->OnLines = [this](const std::vector<std::string>& lines, const std::string& partial) {
    ShowInViews(lines, partial);
    NotifyLines(lines);
  };
  FSession->OnMessage = [](const QString& text) { PlatformUi().ShowMessage(text); };
  FSession->OnSound = [this](TSessionSound sound) {
    PlaySoundFile(sound == TSessionSound::Connect ? FConnectSound : FDisconnectSound);
  };
  TAPI = new TTapiTerminal(this);
  TAPI->OnTranslateDialog = [this](const std::string& canonical) {
    TDialPropertiesForm(canonical, this).exec();
  };
  MediaPlayer1 = new QSoundEffect(this);
  CreateNotifier();
}

void TWombatForm::WireConnectionCommands() {
  Wire(Connect1, [this] { Connect1Click(); });
  Wire(Connect2, [this] { Connect1Click(); });
  Wire(Disconnect1, [this] { Disconnect1Click(); });
  Wire(Disconnect2, [this] { Disconnect1Click(); });
  Wire(CancelButton, [this] { CancelButtonClick(); });
  Wire(K2, [this] { K2Click(); });
  Wire(KB1, [this] { FSession->SendBreak(); });
  Wire(ChangeTimeOut, [this] { ChangeTimeOutClick(); });
}

// Everything the window shows of the session. The application's display
// name is set before the caption: the platform may append the display name
// to a caption that does not end with it. Until the first connection it
// stays unset.
void TWombatForm::ShowSession() {
  const bool active = FSession->Active();
  const bool waiting = FSession->State() == TSessionState::Waiting;
  SetCommandEnabled(Connect1, CanConnect());
  SetCommandEnabled(Connect2, CanConnect());
  SetCommandEnabled(Disconnect1, active || waiting);
  SetCommandEnabled(Disconnect2, active || waiting);
  SetCommandEnabled(CancelButton, FSession->ScriptRunning() || waiting);
  StatusPanel->setText(FSession->Status());
  const bool started = FSession->Started();
  const QString displayName = started ? FSession->EntryName() : kTitle;
  if (QApplication::applicationDisplayName() != displayName)
    QApplication::setApplicationDisplayName(displayName);
  const QString title = started ? kTitlePrefix + FSession->EntryName() : kTitle;
  setWindowTitle(title);
}

void TWombatForm::ShowInViews(const std::vector<std::string>& lines,
                              const std::string& partialLine) {
  FUpdatingViews = true;
  if (!lines.empty()) {
    TerminalView->AddLines(lines);
    LogView->AddLines(lines);
  }
  if (!partialLine.empty()) {
    TerminalView->ShowPartialLine(partialLine);
    LogView->ShowPartialLine(partialLine);
  } else {
    TrimToLineLimit(*TerminalView);
    TrimToLineLimit(*LogView);
  }
  FUpdatingViews = false;
}

bool TWombatForm::CanConnect() const {
  return !FSession->Active() && !SelectedEntry().isEmpty();
}

// With an address on the command line the entry "Temp" is selected.
void TWombatForm::SelectStartupEntry() {
  if (FStartupAddress && FStartupAddress->Refusal.isEmpty() &&
      APNameList->findText(kTempEntry) >= 0)
    SelectEntry(kTempEntry);
}

void TWombatForm::ConnectToStartupAddress() {
  if (!FStartupAddress) return;
  show();
  ConnectToAddress(*FStartupAddress);
}

// An address from outside connects through the entry "Temp", with nothing of
// what is stored in it but its log name; the stored entry stays as it is. An
// address that is no telnet host is refused.
void TWombatForm::ConnectToAddress(const TStartupAddress& address) {
  if (!address.Refusal.isEmpty()) {
    FSession->SetStatus(address.Refusal);
    PlatformUi().ShowMessage(address.Refusal);
    return;
  }
  EnsureTempEntry();
  SelectEntry(kTempEntry);
  APNameListChange();
  FCurrentEntry = StartupEntry(address, FCurrentEntry);
  HostEdit->setText(address.Host);
  PortEdit->setText(address.Port);
  if (!CanConnect()) return;
  Connect1Click();
  if (FSession->Started()) FSession->SetStatus(FSession->Status() + "（ID･ﾊﾟｽﾜｰﾄﾞ･ｽｸﾘﾌﾟﾄなし）");
}

void TWombatForm::Connect1Click() {
  const QString entryName = SelectedEntry();
  if (entryName.isEmpty() || FSession->Active()) return;
  if (!EntryCanConnect(FCurrentEntry)) {
    Edit2Click();
    return;
  }
  FSession->Connect(entryName, FCurrentEntry);
  InputEdit->setFocus();
}

// A wait to reconnect is cancelled without asking: nothing is connected.
void TWombatForm::Disconnect1Click() {
  if (FSession->State() == TSessionState::Waiting ||
      PlatformUi().Confirm("回線を切断してよろしいですか？"))
    FSession->Disconnect();
  InputEdit->setFocus();
}

void TWombatForm::CancelButtonClick() {
  FSession->CancelReconnect();
  FSession->CancelScript();
  InputEdit->setFocus();
}

// Asks again until the answer is empty (no change) or a whole number of 0 or
// more, which is kept within the time-out's range.
void TWombatForm::ChangeTimeOutClick() {
  QString answer = QString::number(FSession->ReconnectTimeOut);
  while (PlatformUi().InputQuery("再接続の設定", "再接続までの時間（秒）", answer) &&
         !answer.isEmpty()) {
    bool isNumber = false;
    const int seconds = answer.toInt(&isNumber);
    if (isNumber && seconds >= 0) {
      FSession->ReconnectTimeOut = BoundTimeOut(seconds);
      return;
    }
    answer = QString::number(FSession->ReconnectTimeOut);
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
  if (CanConnect()) Connect1Click();
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
