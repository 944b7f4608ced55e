// Desktop notifications against a notification server of the test's own on
// a private session bus (a dbus-daemon of its own), recording every call.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QVariantMap>

#include "session/ConnectingFixture.h"
#include "session/DesktopNotifier.h"
#include "support/LoopbackPeer.h"
#include "text/Codec.h"

namespace {

struct TShown {
  QString Summary;
  QString Body;
  QString Icon;
};

// The freedesktop notification service: records each notification.
class TNotificationServer : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  std::vector<TShown> shown;

 public slots:
  uint Notify(const QString&, uint, const QString& icon, const QString& summary,
              const QString& body, const QStringList&, const QVariantMap&, int) {
    shown.push_back({summary, body, icon});
    return static_cast<uint>(shown.size());
  }
};

class DesktopNotifierTest : public ConnectingTest {
 protected:
  DesktopNotifierTest() {
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (!bus.waitForStarted() || !bus.waitForReadyRead(5000)) return;
    address = QString::fromUtf8(bus.readLine()).trimmed();
    server = QDBusConnection::connectToBus(address, "notification-server");
    server.registerObject("/org/freedesktop/Notifications", &notifications,
                          QDBusConnection::ExportAllSlots);
    server.registerService("org.freedesktop.Notifications");
  }
  ~DesktopNotifierTest() override {
    form.reset();
    QDBusConnection::disconnectFromBus("notification-server");
    bus.kill();
    bus.waitForFinished();
  }
  // A window connected to the peer whose notifications go to the test's bus.
  void StartConnected(TLoopbackPeer& peer) {
    SaveTelnetEntry("Chat", peer.Port(), "", "ME000001");
    Start();
    form->Notifier().BusAddress = address;
    form->Notifier().Interval = 300;
    SendFromHost(peer, {"hello"});
  }
  // Another window takes the focus, as when the user works elsewhere.
  void MakeInactive() {
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    ASSERT_FALSE(form->isActiveWindow());
  }
  static std::string Page(const std::string& id) {
    return "  " + id + "  " + Sjis("のユーザーからのメッセージです－");
  }
  std::vector<QString> Bodies() {
    std::vector<QString> bodies;
    for (const TShown& shown : notifications.shown) bodies.push_back(shown.Body);
    return bodies;
  }

  QProcess bus;
  QString address;
  QDBusConnection server{QString()};
  TNotificationServer notifications;
  QWidget other;
};

// A page, a line with the user's ID and one with an emphasised word notify
// while the window is inactive; a plain line does not.
TEST_F(DesktopNotifierTest, LinesForTheUserNotifyWhileTheWindowIsInactive) {
  if (address.isEmpty()) GTEST_SKIP() << "no dbus-daemon";
  TLoopbackPeer peer;
  StartConnected(peer);
  View("TerminalView")->AccentWords().Add("wombat");
  MakeInactive();
  const std::string lines[] = {"just chat", Page("ABC12345"), "hi ME000001 there",
                               "a WOMBAT here"};
  for (const std::string& line : lines) {
    peer.Send(line + "\r");
    ASSERT_TRUE(WaitForLine(line));
    RunEventsFor(350);
  }
  ASSERT_TRUE(WaitUntil([&] { return notifications.shown.size() == 3; }));
  EXPECT_EQ(Bodies(), (std::vector<QString>{ToQString(Page("ABC12345")), "hi ME000001 there",
                                            "a WOMBAT here"}));
  EXPECT_EQ(notifications.shown[0].Summary, "Chat");
  EXPECT_EQ(notifications.shown[0].Icon, "wombat");

  // A click on the first one raises the window.
  QDBusMessage clicked = QDBusMessage::createSignal(
      "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
  clicked << 1u << QStringLiteral("default");
  ASSERT_TRUE(server.send(clicked));
  EXPECT_TRUE(WaitUntil([&] { return form->isActiveWindow(); }));
}

// Three pages within the interval: the first at once, then the latest with
// the count of the others. An active window, or the switch off, notifies
// nothing.
TEST_F(DesktopNotifierTest, PagesWithinTheIntervalAreCountedAndAnActiveWindowIsNotDisturbed) {
  if (address.isEmpty()) GTEST_SKIP() << "no dbus-daemon";
  TLoopbackPeer peer;
  StartConnected(peer);
  MakeInactive();
  peer.Send(Page("ABC00001") + "\r" + Page("ABC00002") + "\r" + Page("ABC00003") + "\r");
  ASSERT_TRUE(WaitUntil([&] { return notifications.shown.size() == 2; }));
  EXPECT_EQ(Bodies(), (std::vector<QString>{ToQString(Page("ABC00001")),
                                            ToQString(Page("ABC00003")) + " 他 2 件"}));
  RunEventsFor(400);

  Get<QAction>("Notify1")->trigger();
  peer.Send(Page("ABC00004") + "\r");
  ASSERT_TRUE(WaitForLine(Page("ABC00004")));
  Get<QAction>("Notify1")->trigger();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  peer.Send(Page("ABC00005") + "\r");
  ASSERT_TRUE(WaitForLine(Page("ABC00005")));
  RunEventsFor(100);
  EXPECT_EQ(notifications.shown.size(), 2u);
}

// Without a session bus nothing is shown, nothing fails and nothing waits.
TEST(DesktopNotifier, WithoutABusStaysSilent) {
  const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  qunsetenv("XDG_RUNTIME_DIR");
  TDesktopNotifier notifier;
  QElapsedTimer clock;
  clock.start();
  notifier.Notify("Chat", "page");
  notifier.BusAddress = "unix:path=/nonexistent/bus";
  TDesktopNotifier other;
  other.BusAddress = "unix:path=/nonexistent/bus";
  other.Notify("Chat", "page");
  EXPECT_LT(clock.elapsed(), 1000);
  RunEventsFor(200);
  for (const auto& [name, value] : {std::pair{"DBUS_SESSION_BUS_ADDRESS", saved},
                                    std::pair{"XDG_RUNTIME_DIR", runtime}})
    if (!value.isNull()) qputenv(name, value);
}

}  // namespace

#include "DesktopNotifierTest.moc"
