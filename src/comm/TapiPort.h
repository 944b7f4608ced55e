// The two threads that carry the data of a connected telephony call (or of a
// port opened directly): a read thread and a write thread on one descriptor.
// Neither thread touches the owner's state; both post events to it, and the
// main thread turns them into OnReceiveData and OnRequestHangup.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

class TReadThread;
class TWriteThread;

class ECommsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Line error flags as the port reports them, and the text that shows one in
// the received data ("Comm Event: CE_FRAME, EvtMask = 8").
enum TLineErrorFlag : unsigned {
  CE_RXOVER = 0x1,
  CE_OVERRUN = 0x2,
  CE_RXPARITY = 0x4,
  CE_FRAME = 0x8,
};
std::string CommEventText(unsigned errorFlags);

class TTapiPort : public QObject {
 public:
  explicit TTapiPort(QObject* parent = nullptr);
  ~TTapiPort() override;

  // Attaches the character device `port` and starts both threads. From then on
  // the descriptor belongs to this object, which closes it in StopComm. Raises
  // ECommsError when the descriptor is no character device or a thread cannot
  // be created, and returns false when the close signal cannot be made; in
  // both cases nothing is attached and the caller still owns the descriptor.
  bool StartComm(int port);
  // Stops both threads, then closes the close signal and the port.
  void StopComm();
  bool PortAttached() const { return FPort >= 0; }

  // Queues a block for the write thread; false when no write thread runs.
  bool Write(const char* buffer, std::uint16_t count);
  // Holds a break on the line for 200 ms; returns at once, and a timer ends
  // the break (as does StopComm).
  void SendBreak();

  // Received text, 0x00 and 0x0A removed; the buffer is zero-terminated.
  std::function<void(const char* Buffer, std::uint16_t BufferLength)> OnReceiveData;
  // A port thread failed; the owner should hang up. Raised once per attach.
  std::function<void(QObject* Sender)> OnRequestHangup;

 protected:
  bool event(QEvent* e) override;

 private:
  void ReceiveBlock(const QByteArray& block);
  void RequestHangup();
  void EndBreak();

  int FPort = -1;
  int FCloseEvent = -1;
  // Numbers each attach, so events posted by the threads of an earlier attach
  // are dropped instead of reaching the owner after it hung up.
  unsigned FSession = 0;
  bool FHangupRaised = false;
  std::unique_ptr<TReadThread> FReadThread;
  std::unique_ptr<TWriteThread> FWriteThread;
  QTimer FBreakTimer;
};
