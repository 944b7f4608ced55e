#pragma once
// The serial port component: opens one serial device exclusively, applies its
// line settings, reads and writes blocks, sends a break, and reports what the
// driver signals (characters received, output drained, line events) on the
// main thread, one notification at a time and in order.

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>

enum TCommParityBits { cpbNone, cpbOdd, cpbEven, cpbMark, cpbSpace };
enum TCommByteSize { cbs4, cbs5, cbs6, cbs7, cbs8 };
enum TCommStopBits { csb1, csb15, csb2 };
enum TCommFlowControl { cfcDtrDsr, cfcRtsCts, cfcXonXoff };
enum TCommEvents {
  evRxchar,
  evRxflag,
  evTxempty,
  evCts,
  evDsr,
  evRlsd,
  evBreak,
  evErr,
  evRing,
  evPerr
};

// A set of members of a small enumeration; member n is bit 2 to the power n.
template <typename E>
class TCommSet {
 public:
  constexpr TCommSet() = default;
  constexpr TCommSet(std::initializer_list<E> members) {
    for (E member : members) FBits |= Bit(member);
  }
  static constexpr TCommSet FromBits(unsigned bits) {
    TCommSet set;
    set.FBits = bits;
    return set;
  }
  constexpr unsigned Bits() const { return FBits; }
  constexpr bool Contains(E member) const { return (FBits & Bit(member)) != 0; }
  constexpr bool Empty() const { return FBits == 0; }
  friend constexpr bool operator==(TCommSet, TCommSet) = default;

 private:
  static constexpr unsigned Bit(E member) { return 1u << static_cast<unsigned>(member); }
  unsigned FBits = 0;
};

using TCommFlowControls = TCommSet<TCommFlowControl>;
// The driver event bits: evRxchar 0x1, evRxflag 0x2, evTxempty 0x4, evCts 0x8,
// evDsr 0x10, evRlsd 0x20, evBreak 0x40, evErr 0x80, evRing 0x100, evPerr 0x200.
using TCommEventMask = TCommSet<TCommEvents>;

class ECommError : public std::runtime_error {
 public:
  explicit ECommError(const QString& message);
  QString Message() const { return QString::fromUtf8(what()); }
};

// The port could not be opened: -1 the device (missing, not a terminal, or
// held by another program), -2 or -3 the watcher's wait objects.
class ECommOpenError : public ECommError {
 public:
  explicit ECommOpenError(int errorCode);
  const int ErrorCode;
};

// A read, write or break failed; the code is the system's error number.
class ECommReadWriteError : public ECommError {
 public:
  explicit ECommReadWriteError(int errorCode);
  const int ErrorCode;
};

class TCommWatch;

class TComm : public QObject {
 public:
  explicit TComm(QObject* parent = nullptr);
  ~TComm() override;

  // The port: a number n names "COMn"; a device path may be named instead
  // (SerialDevicePath gives the device). Both take effect at the next Open.
  // Port() is 0 for a device path.
  int Port() const;
  void SetPort(int port);
  const QString& PortName() const { return FPortName; }
  void SetPortName(const QString& name) { FPortName = name; }

  // Line settings; while open, a change is applied to the device at once.
  // A speed the device does not offer leaves the speed unchanged.
  int BaudRate() const { return FBaudRate; }
  void SetBaudRate(int rate);  // -1: BaudRateUserDefined
  int BaudRateUserDefined() const { return FBaudRateUserDefined; }
  void SetBaudRateUserDefined(int rate) { FBaudRateUserDefined = rate; }  // at the next Open
  TCommParityBits ParityBits() const { return FParityBits; }
  void SetParityBits(TCommParityBits parity);
  TCommByteSize ByteSize() const { return FByteSize; }
  void SetByteSize(TCommByteSize size);  // cbs4 is not offered: 5 bits
  TCommStopBits StopBits() const { return FStopBits; }
  void SetStopBits(TCommStopBits stopBits);  // csb15 gives 2 stop bits
  // RTS/CTS and XON/XOFF (XON 0x11, XOFF 0x13); DTR/DSR flow control is not
  // offered by the platform, DTR is simply held up while open.
  TCommFlowControls FlowControls() const { return FFlowControls; }
  void SetFlowControls(TCommFlowControls controls);

  // Sizes of the driver queues, at the next Open (0 to 65535). OutQueueSize is
  // also the largest block that one Write accepts.
  int InQueueSize() const { return FInQueueSize; }
  void SetInQueueSize(int size);
  int OutQueueSize() const { return FOutQueueSize; }
  void SetOutQueueSize(int size);
  // The XOFF limit is InQueueSize - ReceiveNotifySize, the XON limit
  // SendNotifySize; the platform's driver keeps its own limits, so they are
  // only stored.
  int ReceiveNotifySize() const { return FReceiveNotifySize; }
  void SetReceiveNotifySize(int size) { FReceiveNotifySize = size; }
  int SendNotifySize() const { return FSendNotifySize; }
  void SetSendNotifySize(int size) { FSendNotifySize = size; }

  // The driver events to watch besides received characters.
  TCommEventMask EventMask() const { return FEventMask; }
  void SetEventMask(TCommEventMask mask);

  // Also while an Open waits for a close of the same device to finish.
  bool IsOpen() const { return FHandle >= 0 || FOpenWaiting; }
  // Open, and the modem shows DSR on.
  bool DsrState() const;
  // Open, the line has not hung up, and the modem shows carrier detect (a
  // line without modem status lines, such as a pseudo-terminal, counts as
  // carrying while it is up).
  bool RlsdState() const;
  // The device or the far end vanished while open (reported once through
  // OnCommEvent); the port stays open until Close.
  bool LineLost() const { return FLineLost; }
  // Bytes waiting in the input and the output queue (0 when closed).
  int InQueueCount() const;
  int OutQueueCount() const;

  // Opens and configures the port and raises DTR; nothing if already open.
  // Raises ECommOpenError. When an earlier Close of the same device is still
  // letting its last output go (at most a second), the port counts as open at
  // once and is opened when that close is done; writes wait meanwhile, and a
  // device that then cannot be opened is reported as a lost line.
  void Open();
  // Stops the watcher and returns at once. Output still queued goes out in
  // the background for at most a second (then it is discarded); then DTR is
  // dropped, the input discarded and the device closed. Nothing if closed.
  void Close();
  // Queues all `count` bytes and returns at once; what the device does not
  // take now follows as it makes room. A line that takes nothing for a second
  // is given up: the queued output is discarded and the error
  // ("入出力エラー ErrorCode = 110") goes to OnMessage. Raises ECommError (not
  // open, block longer than OutQueueSize) or ECommReadWriteError (the device
  // failed, or more than kPendingOutputLimit bytes wait).
  void Write(const char* buffer, int count);
  void WriteString(const std::string& text);
  // Reads up to `count` bytes of what has arrived, without waiting; gives the
  // number read. Bytes of the buffer not delivered keep their content.
  int Read(char* buffer, int count);
  // Output that waits for the device beyond its own queue.
  static constexpr int kPendingOutputLimit = 64 * 1024;
  // Holds a break on the line for 500 ms; returns at once, and a timer of
  // the calling thread's event loop (or Close) ends the break.
  void SendBreak();

  // Line or modem events (evRxflag, evCts, evDsr, evRlsd, evBreak, evErr,
  // evRing). A vanished device or peer arrives once as evRlsd with the carrier
  // gone, whatever the mask holds; the watcher then ends.
  std::function<void(QObject* Sender, TCommEventMask EventMask)> OnCommEvent;
  // Bytes are waiting in the input queue.
  std::function<void(QObject* Sender, uint16_t Size)> OnCommReceive;
  // The output queue became empty (watched with evTxempty in the mask).
  std::function<void(QObject* Sender, uint16_t Size)> OnCommTransmit;
  // Texts for the user: the message of an error raised while a notification
  // was handled (and notices of derived components). Unassigned: a warning on
  // the diagnostic output.
  std::function<void(const QString& Text)> OnMessage;

 protected:
  // The three notifications, on the main thread; derived components override
  // them. `bits` are the driver event bits.
  virtual void CommEvent(unsigned bits);
  virtual void CommReceive();
  virtual void CommTransmit();
  void ShowMessage(const QString& text);

 private:
  friend class TCommWatch;
  enum class TNotification { Receive, Transmit, Event, LineLost };
  void Deliver(TNotification notification, unsigned bits);
  void ApplyAllSettings();
  void ApplyBaudRate();
  void ApplyByteSize();
  void ApplyParityBits();
  void ApplyStopBits();
  void ApplyFlowControls();
  int ModemLines() const;  // -1 when the device has none
  void OpenDevice(const QString& path);
  void OpenWhenClosed();
  void FlushOutput();
  void FlushOutputLater();
  void GiveUpOutput();
  void EndBreak();

  QString FPortName = QStringLiteral("COM1");
  int FBaudRate = 9600;
  int FBaudRateUserDefined = 9600;
  TCommParityBits FParityBits = cpbNone;
  TCommByteSize FByteSize = cbs8;
  TCommStopBits FStopBits = csb1;
  TCommFlowControls FFlowControls{cfcRtsCts};
  int FInQueueSize = 4096;
  int FOutQueueSize = 4096;
  int FReceiveNotifySize = 3072;
  int FSendNotifySize = 1024;
  TCommEventMask FEventMask;

  int FHandle = -1;
  bool FLineLost = false;
  std::unique_ptr<TCommWatch> FWatch;
  QTimer FBreakTimer;
  std::string FOutput;  // written but not yet taken by the device
  std::unique_ptr<QSocketNotifier> FRoomNotifier;
  QTimer FStallTimer;
  bool FOpenWaiting = false;  // an Open waits for a close of the device
  QString FWaitingPath;
  QTimer FOpenTimer;
};
