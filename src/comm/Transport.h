// One connection to a host, whatever carries it: a telnet socket, a serial AT
// modem or a telephony modem. The session drives every carrier through this
// interface and hears from each through the same four events; a new carrier
// is one more class derived from TTransport.
#pragma once

#include <QObject>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <variant>

#include "access/AccessPoint.h"

// How a connection or an attempt ended.
enum class TDownCause : std::uint8_t {
  // The attempt failed the way a failed start does (a refused or unknown telnet
  // host, a time-out): nothing was up and nothing more is told.
  StartFailed,
  // The line, the modem or the host ended the call or the attempt.
  Ended,
};

struct TDown {
  TDownCause Cause = TDownCause::Ended;
  QString Reason;  // for the status line; empty when there is nothing to say
};

class TTransport : public QObject {
 public:
  using QObject::QObject;

  // Starts a connection for the entry's host (or number) and port. False when
  // the start failed at once; the reason has then gone to OnNotice or OnMessage,
  // or OnDown has been raised during the call.
  virtual bool Open(const TAPData& entry) = 0;
  // Ends the connection or the attempt; no event of it follows.
  virtual void Close() = 0;
  // Sends the text unchanged. False when it was refused because too much
  // already waits to be sent.
  virtual bool Send(const std::string& text) = 0;
  virtual void SendBreak() = 0;
  // While held no event is raised: what arrives waits, in order, and is
  // delivered once the hold is released.
  virtual void Hold(bool held) = 0;
  // The next received block (called from OnReceived); empty when none waits.
  virtual std::string TakeBlock() = 0;
  // Something that a request of the owner must not overtake waits to be
  // delivered (a held close; for a device that reports as it goes, anything held).
  virtual bool Pending() const = 0;
  // What arrives now is the device's own talk (a modem being dialled), not
  // the host's.
  virtual bool Dialling() const { return false; }
  // A line that stays silent may be dropped and made again.
  virtual bool Restartable() const { return false; }

  std::function<void()> OnUp;
  // Blocks wait to be taken with TakeBlock.
  std::function<void()> OnReceived;
  std::function<void(const TDown& down)> OnDown;
  // Text for the status line.
  std::function<void(const QString& text)> OnNotice;
  // Text for a message box.
  std::function<void(const QString& text)> OnMessage;

 protected:
  // Runs a call of the device; the text of an error it raises goes to OnMessage.
  void RunShowingErrors(const std::function<void()>& call);
};

// A transport whose device reports everything as it happens: its events wait
// in a queue of their own while held, and follow, in the order they came,
// once the hold is released.
class TQueuedTransport : public TTransport {
 public:
  using TTransport::TTransport;

  void Hold(bool held) override;
  std::string TakeBlock() override;
  bool Pending() const override;

 protected:
  void RaiseUp();
  void RaiseBlock(std::string block);
  void RaiseDown(TDown down);
  void RaiseNotice(const QString& text);
  // Drops what is held (a new call starts).
  void ForgetHeld() { FEvents.clear(); }

 private:
  struct TUp {};
  struct TNotice {
    QString Text;
  };
  using TEvent = std::variant<TUp, std::string, TDown, TNotice>;

  void Add(TEvent event);
  void Deliver();
  void Raise(const TEvent& event);

  std::deque<TEvent> FEvents;
  bool FHeld = false;
  bool FDelivering = false;
  std::size_t FTaken = 0;  // blocks taken so far
};
