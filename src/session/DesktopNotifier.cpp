#include "session/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QThread>
#include <QVariantMap>

#include "text/Analysis.h"
#include "view/Emphasis.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");

// The session bus named by the environment, or the user's bus socket. No
// bus is ever started for a notification.
QString SessionBusAddress() {
  const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
  if (!address.isEmpty()) return address;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  const QString socket = runtime + QStringLiteral("/bus");
  if (!runtime.isEmpty() && QFileInfo(socket).exists()) return "unix:path=" + socket;
  return {};
}

}  // namespace

bool LineWantsAttention(std::string_view line, const std::vector<std::string>& words) {
  TAnalysis analysis;
  if (analysis.Analyze(line) == lkPage) return true;
  return !FindAccentSpans(line, words).empty();
}

TDesktopNotifier::TDesktopNotifier(QObject* parent) : QObject(parent) {
  FHold.setSingleShot(true);
  connect(&FHold, &QTimer::timeout, this, [this] { HoldEnded(); });
}

TDesktopNotifier::~TDesktopNotifier() {
  if (!FConnectionName.isEmpty()) QDBusConnection::disconnectFromBus(FConnectionName);
}

void TDesktopNotifier::Notify(const QString& summary, const QString& body) {
  if (!FEnabled) return;
  if (FHold.isActive()) {
    ++FMissed;
    FLatestSummary = summary;
    FLatestBody = body;
    return;
  }
  Show(summary, body);
}

void TDesktopNotifier::HoldEnded() {
  if (FMissed == 0) return;
  const QString body = FLatestBody + QStringLiteral(" 他 %1 件").arg(FMissed);
  FMissed = 0;
  if (FEnabled) Show(FLatestSummary, body);
}

void TDesktopNotifier::Show(const QString& summary, const QString& body) {
  FHold.start(Interval);
  switch (FBusState) {
    case TBus::Connected:
      Send(summary, body);
      break;
    case TBus::Untried:
      ConnectBus();
      [[fallthrough]];
    case TBus::Connecting:
      FWaitingSummary = summary;
      FWaitingBody = body;
      break;
    case TBus::Missing:
      break;
  }
}

// The id the server answers is kept to tell a click on this notification.
void TDesktopNotifier::Send(const QString& summary, const QString& body) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
  call << QStringLiteral("Wombat") << 0u << QStringLiteral("wombat") << summary << body
       << QStringList{kDefaultAction, QStringLiteral("表示")} << QVariantMap{} << -1;
  auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    const QDBusPendingReply<uint> reply = *w;
    if (reply.isValid()) FIds.insert(reply.value());
    w->deleteLater();
  });
}

// Tried once, away from the main thread (connecting waits for the bus's
// answer); a bus that is not there stays silent. Each notifier has a
// connection of its own name.
void TDesktopNotifier::ConnectBus() {
  const QString address = BusAddress.isEmpty() ? SessionBusAddress() : BusAddress;
  if (address.isEmpty()) {
    FBusState = TBus::Missing;
    return;
  }
  FBusState = TBus::Connecting;
  FConnectionName =
      QStringLiteral("wombat-notifications-%1").arg(reinterpret_cast<quintptr>(this));
  QThread* thread = QThread::create([address, name = FConnectionName] {
    QDBusConnection::connectToBus(address, name);
  });
  connect(thread, &QThread::finished, thread, &QObject::deleteLater);
  connect(thread, &QThread::finished, this, [this] { BusConnected(); });
  thread->start();
}

void TDesktopNotifier::BusConnected() {
  FBus = QDBusConnection(FConnectionName);
  if (!FBus.isConnected()) {
    FBusState = TBus::Missing;
    return;
  }
  FBusState = TBus::Connected;
  FBus.connect(kService, kPath, kInterface, "ActionInvoked", this,
               SLOT(ActionInvoked(uint, QString)));
  if (FEnabled && !FWaitingBody.isEmpty()) Send(FWaitingSummary, FWaitingBody);
  FWaitingBody.clear();
}

void TDesktopNotifier::ActionInvoked(uint id, const QString& action) {
  if (action == kDefaultAction && FIds.contains(id) && OnClicked) OnClicked();
}
