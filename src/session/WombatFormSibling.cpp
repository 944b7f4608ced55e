// The link with sibling programs: a local socket, readable by this user only,
// whose name the window writes to the settings. A sibling that links itself
// receives every received line and the end of every connection; any sibling
// may send text to the host, ask for a connection to a named entry, for a
// disconnect, or for the program to quit. Also the command that starts the
// sibling program Quokka, and the end of the desktop session (SIGTERM,
// SIGHUP, the session manager), which closes the window without asking.
#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>

#include "comm/SiblingLink.h"
#include "session/SessionEndSignals.h"
#include "session/WombatForm.h"
#include "text/QtCodec.h"

namespace {

const QString kLinkServerSection = QStringLiteral("Directory");
const QString kLinkServerIdent = QStringLiteral("LinkServer");
constexpr int kStartDialogCloseMs = 50;

}  // namespace

void TWombatForm::CreateSiblingLink() {
  FSiblingServer = new TSiblingServer(this);
  FSiblingServer->setObjectName("SiblingServer");
  FSiblingServer->OnRequest = [this](const TSiblingFrame& frame) { return SiblingRequest(frame); };
  // Said after what the wait held back, so that it is not overwritten at once.
  FSiblingServer->OnUnlink = [this](TSiblingServer::TUnlinkReason reason) {
    const QString text = reason == TSiblingServer::TUnlinkReason::NoAnswer
                             ? "Quokkaが応答しないため、リンクを解除しました"
                             : "Quokkaとのリンクが切れました";
    FSession->WhenReady([this, text] { FSession->SetStatus(text); });
  };
  FSession->SetSibling(FSiblingServer);
  if (FSiblingServer->Listen()) {
    FLinkServerName = FSiblingServer->ServerName();
    TGenRegist().WriteStringData(kWombatKey, kLinkServerSection, kLinkServerIdent,
                                 FLinkServerName);
  }
}

void TWombatForm::WireSiblingCommands() {
  Wire(ExecQuokka, [this] { ExecQuokkaClick(); });
}

// The name stays when a newer Wombat has written its own. At exit a store
// that cannot be written leaves only a name no program listens on.
void TWombatForm::CloseSiblingLink() {
  if (FLinkServerName.isEmpty()) return;
  try {
    TGenRegist reg;
    QString current;
    reg.ReadStringData(kWombatKey, kLinkServerSection, kLinkServerIdent, QString(), current);
    if (current == FLinkServerName)
      reg.DeleteValue(kWombatKey, kLinkServerSection, kLinkServerIdent);
  } catch (const ERegistryException&) {
  }
}

// Nothing waits for the sibling, and a failure to start it is not reported.
void TWombatForm::ExecQuokkaClick() {
  QProcess::startDetached(FSiblingPath, {});
}

// Every request is answered at once. What must wait (for a pause, for the
// sibling's answers, or for a dialog) runs afterwards, in order.
uint64_t TWombatForm::SiblingRequest(const TSiblingFrame& frame) {
  switch (frame.Message) {
    case kSiblingText:
      return SendSiblingText(frame.Payload) ? 0 : kSiblingTextRefused;
    case kSiblingEnd:
      QTimer::singleShot(0, this, [this] { FSession->WhenReady([this] { SiblingDisconnectRequest(); }); });
      return 0;
    case kSiblingConnect:
      SiblingConnectRequest(frame.Payload);
      return 0;
    case kSiblingQuit:
      QTimer::singleShot(0, this, [this] { FSession->WhenReady([this] { SiblingQuitRequest(); }); });
      return 0;
    case kSiblingVersion:
      return kSiblingVersionAnswer;
    default:
      return 0;
  }
}

// Text may go out while the window waits for the sibling's answers (the
// sibling may send it before it answers), but not during a pause. What waits
// for the end of a pause has the transport's bound too.
bool TWombatForm::SendSiblingText(const std::string& text) {
  if (!FSession->Paused()) return SendToHost(text);
  if (FDeferredSiblingBytes + text.size() > kMaxDeferredSiblingBytes) return false;
  FDeferredSiblingBytes += text.size();
  FSession->WhenReady([this, text] {
    FDeferredSiblingBytes -= text.size();
    SendToHost(text);
  });
  return true;
}

void TWombatForm::SiblingDisconnectRequest() {
  if (FShown && FSession->Active()) Disconnect1Click();
}

// A request that arrives before the window is first shown waits for that.
void TWombatForm::SiblingConnectRequest(const std::string& entryName) {
  FPendingEntry = ToQString(entryName);
  if (!FShown) {
    FConnectPending = true;
    return;
  }
  QTimer::singleShot(0, this, [this, name = FPendingEntry] {
    FSession->WhenReady([this, name] { ConnectToEntry(name); });
  });
}

void TWombatForm::ServePendingConnect() {
  if (!std::exchange(FConnectPending, false)) return;
  ConnectToEntry(FPendingEntry);
}

// While connected the user is asked first; answering No keeps the connection
// and the selected entry. After a disconnect the new connection waits the
// reconnection pause. A name that is not in the list leaves no entry selected.
void TWombatForm::ConnectToEntry(const QString& name) {
  const bool wasConnected = FSession->Active();
  if (wasConnected) Disconnect1Click();
  if (FSession->Active()) return;
  SelectEntry(name);
  APNameListChange();
  auto connectIfIdle = [this] {
    if (CanConnect()) Connect1Click();
  };
  if (!wasConnected) {
    connectIfIdle();
    return;
  }
  QTimer::singleShot(Pauses.BeforeReconnect, this,
                     [this, connectIfIdle] { FSession->WhenReady(connectIfIdle); });
}

void TWombatForm::SiblingQuitRequest() {
  if (FShown && !FSession->Active()) close();
}

// Watched from the start of the constructor: a signal that comes while the
// window is being built (during a message box, or before) is served once it
// has read its settings; a message box open then is closed.
void TWombatForm::WatchSessionEnd() {
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { EndSession(); });
  if (!InstallSessionEndSignals()) return;
  auto* notifier =
      new QSocketNotifier(SessionEndSignalDescriptor(), QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [this] {
    TakeSessionEndSignals();
    EndSession();
  });
}

// At the end of the constructor.
void TWombatForm::ServeEarlySessionEnd() {
  FBuilt = true;
  if (TakeSessionEndSignals() || FEndRequested)
    QTimer::singleShot(0, this, [this] { EndSession(); });
}

// Settings and function keys are saved, the log closed and the call record
// written, as when the user closes the window, but nothing is asked.
void TWombatForm::EndSession() {
  if (!FBuilt) {
    EndWhileBuilding();
    return;
  }
  FSession->WhenReady([this] {
    FSession->Disconnect();
    close();
  });
}

// The window has not read its settings yet: the end waits for that, and
// the message boxes of the start are closed as they open, so that it comes.
void TWombatForm::EndWhileBuilding() {
  if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
  if (std::exchange(FEndRequested, true)) return;
  auto* closer = new QTimer(this);
  closer->setInterval(kStartDialogCloseMs);
  connect(closer, &QTimer::timeout, this, [this, closer] {
    if (FBuilt) closer->deleteLater();
    else if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
  });
  closer->start();
}
