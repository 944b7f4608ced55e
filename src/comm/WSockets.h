// Asynchronous TCP client: one connection to a host and port, reported by
// events on the thread that owns the component (the main thread).
#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTcpSocket;
class THostLookup;
struct THostAnswer;

enum class TSocketStatus : std::uint8_t {
  NotStarted,  // the socket layer failed to start; Qt's needs no start-up, so never held
  Idle,
  Connected,
  Connecting,
};

// The socket handle carried by the notifications.
using TSocket = qintptr;

// What a host and port text stand for: an address literal (brackets removed) or a host
// name still to be looked up, and a port number.
struct TSocketAddress {
  QString Host;
  quint16 Port = 0;
};

// The protocol-independent part: status, error reporting, send, receive, shutdown and
// address lookup. Failures are Winsock codes (the codes callers and their texts know).
class TCustomWSocket : public QObject {
 public:
  using TOnError = std::function<void(TCustomWSocket* Sender, int Error, const std::string& Msg)>;

  explicit TCustomWSocket(QObject* parent = nullptr);

  TSocketStatus Status() const { return FStatus; }
  int LastError() const { return FLastError; }
  // The English text of LastError.
  std::string ErrorText() const { return ErrorText(FLastError); }
  static std::string ErrorText(int Code);

  TOnError OnError;

  static constexpr int kReceiveSize = 1024;
  // At most this many received bytes wait in the socket object; beyond them TCP holds the
  // host back until the owner reads.
  static constexpr qint64 kReadBufferSize = 64 * 1024;

 protected:
  void SetStatus(TSocketStatus Status) { FStatus = Status; }
  // Records Code in LastError and reports it through OnError when assigned.
  void SocketError(int Code);
  // The Winsock code for the error that socket reports.
  static int WinsockCode(const QTcpSocket& Socket);

  // Sends every byte of Text now as far as the network takes it; the rest leaves from Qt's
  // write buffer, so nothing is dropped.
  void SocketSend(QTcpSocket* Socket, const std::string& Text);
  // At most kReceiveSize bytes that have arrived; empty when none.
  std::string SocketReceive(QTcpSocket* Socket);
  // Stops the socket's notifications and discards unread bytes. A connected socket closes
  // after the bytes already sent have left; one still connecting is aborted. Socket becomes
  // null; the object itself is freed later, once no signal of it is running.
  void ShutdownSocket(QPointer<QTcpSocket>& Socket);
  // Runs Handler as the slot of a socket signal: sockets shut down meanwhile are not freed
  // until every such slot has returned.
  void InSocketSignal(const std::function<void()>& Handler);
  // Reads Host (an IPv4 or IPv6 address, "[...]" accepted, or a host name, which is looked
  // up later without waiting) and Port (a service name or a decimal number). Throws
  // std::invalid_argument for a Port that is neither a service nor a number, and
  // std::out_of_range for a number outside 0 to 65535.
  TSocketAddress LookupAddress(const std::string& Host, const std::string& Port,
                               const char* ProtocolName);

 private:
  void PostRelease();
  void ReleaseClosedSockets();

  TSocketStatus FStatus = TSocketStatus::Idle;
  int FLastError = 0;
  int FSignalDepth = 0;  // slots of socket signals now on the stack
  std::vector<QPointer<QTcpSocket>> FClosing;  // shut down, waiting to be freed
};

class TTCPClient : public TCustomWSocket {
 public:
  using TOnData = std::function<void(TTCPClient* Sender, TSocket Socket)>;
  using TOnConnect = std::function<void(TTCPClient* Sender, TSocket Socket)>;
  using TOnClose = std::function<void(TTCPClient* Sender, TSocket Socket)>;

  explicit TTCPClient(QObject* parent = nullptr);
  ~TTCPClient() override;

  // Starts a connection to Host and Port when idle; afterwards Status is Connecting while the
  // attempt is under way, and any other state means it failed at once (see LastError). A
  // host name is looked up through THostResolver::Default() without waiting; a name that
  // cannot be found is reported later through OnError (11001 and the like), as a refused
  // connection is, and Status stays Connecting. The addresses are tried in turn.
  void Open();
  // Ends the connection when connected or connecting, also while the host name is being
  // looked up; Status becomes Idle and no event of the connection follows.
  void Close();
  // Queues Text for the host whole, or refuses it (false, nothing queued) when the bytes
  // waiting to be sent would then exceed kMaxUnsent.
  bool SendText(const std::string& Text);
  // Bytes queued for the host that the network has not taken yet.
  qint64 Unsent() const;
  // The bytes now available, at most 1,024; called from OnData. OnData is raised again, one
  // event-loop turn later, while unread bytes remain.
  virtual std::string ReceiveText();
  // While held, neither OnData nor OnClose is raised: what arrives waits in the socket, in
  // order, and a close by the peer waits behind it. Releasing the hold delivers both.
  void Hold(bool Held);
  // The peer has closed and OnClose has yet to be raised.
  bool ClosePending() const { return FPeerClosed && Status() != TSocketStatus::Idle; }

  std::string Host;  // an IPv4 or IPv6 address, or a host name
  std::string Port;  // a service name or a decimal port number

  TOnData OnData;
  TOnConnect OnConnect;
  TOnClose OnClose;

  // OnData is raised again and again in one event-loop turn until the owner has read this
  // much (or a few milliseconds have passed); the rest waits for the next turn.
  static constexpr qint64 kReadPerTurn = 64 * 1024;
  // At most this many bytes wait to be sent to the host.
  static constexpr qint64 kMaxUnsent = 4 << 20;
  // Reading stops while fewer than this many bytes are left below kMaxUnsent, so that a
  // protocol's answers to one received block always fit; TCP then holds the host back
  // until the queue drains.
  static constexpr qint64 kAnswerReserve = 4096;

 protected:
  // Sends a protocol's answer to what was just received. Never refused: reading stops
  // before the queue is too full for it.
  void SendAnswer(const std::string& Text);
  // Called by Open before a new connection is attempted.
  virtual void StartingConnection() {}

 private:
  void Resolved(const THostAnswer& Answer);
  void ConnectToNextAddress();
  void WatchSocket(QTcpSocket* Socket);
  void SocketConnected(QTcpSocket* Socket);
  void SocketReadyRead(QTcpSocket* Socket);
  void SocketDisconnected(QTcpSocket* Socket);
  void SocketFailed(QTcpSocket* Socket);
  void SocketBytesWritten(QTcpSocket* Socket);
  // Too much waits to be sent for another block to be read.
  bool OutputFull() const;
  bool IsCurrent(const QTcpSocket* Socket) const;
  void PostNotice();
  void Notice();
  void RaiseData();
  void RaiseClose();

  std::unique_ptr<THostLookup> FLookup;  // the host name's lookup, while it runs
  QList<QHostAddress> FAddresses;        // addresses still to try
  quint16 FPortNumber = 0;
  QPointer<QTcpSocket> FSocket;
  TSocket FSocketHandle = -1;  // the connected socket's handle, kept for OnClose
  bool FPeerClosed = false;    // the peer has closed; OnClose follows the unread bytes
  bool FHeld = false;
  bool FNoticePosted = false;
  bool FRaising = false;  // an OnData or OnClose handler is running
  bool FReadingStopped = false;  // by a full output queue; resumed as it drains
};
