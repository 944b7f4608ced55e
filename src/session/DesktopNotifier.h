#pragma once
// Desktop notifications over the session bus (the freedesktop notification
// service). At most one is shown per interval: what arrives meanwhile is
// counted, and when the interval ends the latest of it is shown with the
// count. Without a bus or a notification server nothing is shown and
// nothing waits: the bus is connected to on a thread of its own, and every
// call is asynchronous.

#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A received line the user wants to know of: a page notice, or a line with
// one of the words (normalised as emphasised words are).
bool LineWantsAttention(std::string_view line, const std::vector<std::string>& words);

class TDesktopNotifier : public QObject {
  Q_OBJECT

 public:
  explicit TDesktopNotifier(QObject* parent = nullptr);
  ~TDesktopNotifier() override;

  void SetEnabled(bool enabled) { FEnabled = enabled; }
  bool Enabled() const { return FEnabled; }
  // Shows summary and body now, or counts them until the interval ends.
  void Notify(const QString& summary, const QString& body);

  int Interval = 5000;  // milliseconds between two notifications
  // The bus to use; empty: the session bus of the environment, if any.
  QString BusAddress;
  // A notification of ours was clicked.
  std::function<void()> OnClicked;

 private slots:
  void ActionInvoked(uint id, const QString& action);

 private:
  void Show(const QString& summary, const QString& body);
  void Send(const QString& summary, const QString& body);
  void HoldEnded();
  void ConnectBus();
  void BusConnected();

  bool FEnabled = true;
  QTimer FHold;
  int FMissed = 0;
  QString FLatestSummary;
  QString FLatestBody;
  enum class TBus : std::uint8_t { Untried, Connecting, Connected, Missing };
  TBus FBusState = TBus::Untried;
  // What waits for the connection to the bus.
  QString FWaitingSummary;
  QString FWaitingBody;
  QString FConnectionName;
  QDBusConnection FBus{QString()};
  QSet<uint> FIds;  // notifications of ours, to tell their clicks
};
