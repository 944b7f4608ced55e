#include "comm/WSockets.h"

#include <netdb.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>
#include <charconv>
#include <map>
#include <optional>
#include <stdexcept>
#include <utility>

#include "comm/HostLookup.h"
#include "text/Codec.h"
#include "text/QtCodec.h"

namespace {

const std::map<int, const char*>& WinsockTexts() {
  static const std::map<int, const char*> texts = {
      {10004, "Interrupted system call"},
      {10009, "Bad file number"},
      {10013, "Permission denied"},
      {10014, "Bad address"},
      {10022, "Invalid argument"},
      {10024, "Too many open files"},
      {10035, "Operation would block"},
      {10036, "Operation now in progress"},
      {10037, "Operation already in progress"},
      {10038, "Socket operation on nonsocket"},
      {10039, "Destination address required"},
      {10040, "Message too long"},
      {10041, "Protocol wrong type for socket"},
      {10042, "Protocol not available"},
      {10043, "Protocol not supported"},
      {10044, "Socket not supported"},
      {10045, "Operation not supported on socket"},
      {10046, "Protocol family not supported"},
      {10047, "Address family not supported"},
      {10048, "Address already in use"},
      {10049, "Can't assign requested address"},
      {10050, "Network is down"},
      {10051, "Network is unreachable"},
      {10052, "Network dropped connection on reset"},
      {10053, "Software caused connection abort"},
      {10054, "Connection reset by peer"},
      {10055, "No buffer space available"},
      {10056, "Socket is already connected"},
      {10057, "Socket is not connected"},
      {10058, "Can't send after socket shutdown"},
      {10059, "Too many references:can't splice"},
      {10060, "Connection timed out"},
      {10061, "Connection refused"},
      {10062, "Too many levels of symbolic links"},
      {10063, "File name is too long"},
      {10064, "Host is down"},
      {10065, "No route to host"},
      {10066, "Directory is not empty"},
      {10067, "Too many processes"},
      {10068, "Too many users"},
      {10069, "Disk quota exceeded"},
      {10070, "Stale NFS file handle"},
      {10071, "Too many levels of remote in path"},
      {10091, "Network subsystem is unusable"},
      {10092, "Winsock DLL cannot support this application"},
      {10093, "Winsock not initialized"},
      {11001, "Host not found"},
      {11002, "Non authoritative - host not found"},
      {11003, "Non recoverable error"},
      {11004, "Valid name, no data record of requested type"},
  };
  return texts;
}

constexpr int kWsaNotConnected = 10057;
constexpr int kWsaNetworkDown = 10050;
constexpr int kWsaHostNotFound = 11001;
constexpr int kCloseLingerMs = 5000;
constexpr int kTurnBudgetMs = 10;

// Qt reports several connect failures as NetworkError; its message tells them apart.
int NetworkErrorCode(const QString& errorString) {
  static const std::pair<const char*, int> byText[] = {
      {"Network unreachable", 10051},    {"Host unreachable", 10065},
      {"Connection timed out", 10060},   {"The address is protected", 10013},
      {"Address already in use", 10048},
  };
  for (const auto& [text, code] : byText) {
    if (errorString == QCoreApplication::translate("QNativeSocketEngine", text)) return code;
  }
  return kWsaNetworkDown;
}

// "[::1]" becomes "::1"; anything else stays as it is.
void UnwrapAddressLiteral(QString& host) {
  if (!host.startsWith('[') || !host.endsWith(']')) return;
  const QString inner = host.mid(1, host.size() - 2);
  if (!QHostAddress(inner).isNull()) host = inner;
}

std::optional<quint16> ServicePort(const std::string& name, const char* protocolName) {
  servent entry{};
  servent* found = nullptr;
  char buffer[1024];
  if (getservbyname_r(name.c_str(), protocolName, &entry, buffer, sizeof buffer, &found) != 0 ||
      found == nullptr) {
    return std::nullopt;
  }
  return ntohs(static_cast<uint16_t>(found->s_port));
}

quint16 PortNumber(const std::string& text) {
  long long value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || stop != end || error == std::errc::invalid_argument) {
    throw std::invalid_argument("'" + Cp932ToUtf8(text) + "' is not a valid integer value");
  }
  if (error == std::errc::result_out_of_range || value < 0 || value > 65535) {
    throw std::out_of_range("Port " + Cp932ToUtf8(text) + " is not in the range 0 to 65535");
  }
  return static_cast<quint16>(value);
}

}  // namespace

// --- TCustomWSocket -------------------------------------------------------------------------

TCustomWSocket::TCustomWSocket(QObject* parent) : QObject(parent) {}

std::string TCustomWSocket::ErrorText(int Code) {
  const auto& texts = WinsockTexts();
  const auto found = texts.find(Code);
  return found == texts.end() ? "Not a Winsock error" : found->second;
}

void TCustomWSocket::SocketError(int Code) {
  FLastError = Code;
  if (OnError) OnError(this, Code, ErrorText(Code));
}

int TCustomWSocket::WinsockCode(const QTcpSocket& Socket) {
  switch (Socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
      return 10061;
    case QAbstractSocket::RemoteHostClosedError:
      return 10054;
    case QAbstractSocket::HostNotFoundError:
      return kWsaHostNotFound;
    case QAbstractSocket::SocketAccessError:
      return 10013;
    case QAbstractSocket::SocketResourceError:
      return 10055;
    case QAbstractSocket::SocketTimeoutError:
      return 10060;
    case QAbstractSocket::DatagramTooLargeError:
      return 10040;
    case QAbstractSocket::AddressInUseError:
      return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
      return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
      return 10047;
    case QAbstractSocket::UnfinishedSocketOperationError:
      return 10036;
    case QAbstractSocket::OperationError:
      return 10022;
    case QAbstractSocket::TemporaryError:
      return 10035;
    case QAbstractSocket::NetworkError:
      return NetworkErrorCode(Socket.errorString());
    default:
      return kWsaNetworkDown;
  }
}

void TCustomWSocket::SocketSend(QTcpSocket* Socket, const std::string& Text) {
  if (Text.empty()) return;
  if (Socket == nullptr || !Socket->isOpen()) {
    SocketError(kWsaNotConnected);
    return;
  }
  if (Socket->write(Text.data(), static_cast<qint64>(Text.size())) < 0) {
    SocketError(WinsockCode(*Socket));
    return;
  }
  Socket->flush();
}

std::string TCustomWSocket::SocketReceive(QTcpSocket* Socket) {
  if (Socket == nullptr) return {};
  const QByteArray bytes = Socket->read(kReceiveSize);
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void TCustomWSocket::ShutdownSocket(QPointer<QTcpSocket>& Socket) {
  QTcpSocket* closing = Socket;
  Socket = nullptr;
  if (closing == nullptr) return;
  closing->disconnect(this);
  FClosing.emplace_back(closing);
  connect(closing, &QAbstractSocket::disconnected, this, [this] { PostRelease(); },
          Qt::QueuedConnection);
  if (closing->state() == QAbstractSocket::ConnectedState) {
    closing->readAll();  // unread bytes are discarded
    closing->disconnectFromHost();
    // A peer that never takes the last bytes does not keep the socket forever.
    QTimer::singleShot(kCloseLingerMs, closing, [closing] { closing->abort(); });
  } else {
    closing->abort();  // an attempt still under way ends here, whatever it would have become
  }
  PostRelease();
}

void TCustomWSocket::InSocketSignal(const std::function<void()>& Handler) {
  struct TDepth {
    int& Depth;
    explicit TDepth(int& depth) : Depth(++depth) {}
    ~TDepth() { --Depth; }
  };
  {
    const TDepth depth(FSignalDepth);
    Handler();
  }
  if (FSignalDepth == 0 && !FClosing.empty()) PostRelease();
}

// Freed from the event loop, never inside the signal that led to the shutdown.
void TCustomWSocket::PostRelease() {
  QMetaObject::invokeMethod(this, [this] { ReleaseClosedSockets(); }, Qt::QueuedConnection);
}

void TCustomWSocket::ReleaseClosedSockets() {
  if (FSignalDepth > 0) return;  // the outermost slot posts again when it returns
  std::vector<QPointer<QTcpSocket>> waiting;
  for (const QPointer<QTcpSocket>& socket : FClosing) {
    if (socket && socket->state() != QAbstractSocket::UnconnectedState)
      waiting.push_back(socket);
    else
      delete socket.data();
  }
  FClosing = std::move(waiting);
}

TSocketAddress TCustomWSocket::LookupAddress(const std::string& Host, const std::string& Port,
                                             const char* ProtocolName) {
  TSocketAddress address;
  const std::optional<quint16> service = ServicePort(Port, ProtocolName);
  address.Port = service ? *service : PortNumber(Port);
  address.Host = ToQString(Host);
  UnwrapAddressLiteral(address.Host);
  return address;
}

// --- TTCPClient -----------------------------------------------------------------------------

TTCPClient::TTCPClient(QObject* parent) : TCustomWSocket(parent) {}

TTCPClient::~TTCPClient() {
  Close();
}

void TTCPClient::Open() {
  if (Status() != TSocketStatus::Idle) return;
  const TSocketAddress address = LookupAddress(Host, Port, "tcp");
  StartingConnection();
  FSocketHandle = -1;
  FPeerClosed = false;
  FReadingStopped = false;
  FPortNumber = address.Port;
  SetStatus(TSocketStatus::Connecting);
  if (const QHostAddress literal(address.Host); !literal.isNull()) {
    FAddresses = {literal};
    ConnectToNextAddress();
    return;
  }
  FLookup = THostResolver::Default()->Lookup(
      address.Host, this, [this](const THostAnswer& answer) { Resolved(answer); });
}

// A name that cannot be found fails the attempt as a refused connection does.
void TTCPClient::Resolved(const THostAnswer& Answer) {
  FLookup.reset();
  if (Answer.Error != 0) {
    SocketError(Answer.Error);
    return;
  }
  FAddresses = Answer.Addresses;
  ConnectToNextAddress();
}

void TTCPClient::ConnectToNextAddress() {
  auto* socket = new QTcpSocket(this);
  socket->setReadBufferSize(kReadBufferSize);
  WatchSocket(socket);
  FSocket = socket;
  socket->connectToHost(FAddresses.takeFirst(), FPortNumber);
}

void TTCPClient::Close() {
  if (Status() != TSocketStatus::Connected && Status() != TSocketStatus::Connecting) return;
  FLookup.reset();
  FAddresses.clear();
  ShutdownSocket(FSocket);
  FPeerClosed = false;
  SetStatus(TSocketStatus::Idle);
}

bool TTCPClient::SendText(const std::string& Text) {
  if (Unsent() + static_cast<qint64>(Text.size()) > kMaxUnsent) return false;
  SocketSend(FSocket, Text);
  return true;
}

void TTCPClient::SendAnswer(const std::string& Text) {
  SocketSend(FSocket, Text);
}

qint64 TTCPClient::Unsent() const {
  return FSocket ? FSocket->bytesToWrite() : 0;
}

// Once the peer has closed, nothing more leaves; what it sent last is still read.
bool TTCPClient::OutputFull() const {
  return !FPeerClosed && Unsent() > kMaxUnsent - kAnswerReserve;
}

std::string TTCPClient::ReceiveText() {
  return SocketReceive(FSocket);
}

void TTCPClient::Hold(bool Held) {
  FHeld = Held;
  if (!Held) PostNotice();
}

void TTCPClient::WatchSocket(QTcpSocket* Socket) {
  connect(Socket, &QTcpSocket::connected, this,
          [this, Socket] { InSocketSignal([&] { SocketConnected(Socket); }); });
  connect(Socket, &QTcpSocket::readyRead, this,
          [this, Socket] { InSocketSignal([&] { SocketReadyRead(Socket); }); });
  connect(Socket, &QTcpSocket::disconnected, this,
          [this, Socket] { InSocketSignal([&] { SocketDisconnected(Socket); }); });
  connect(Socket, &QTcpSocket::errorOccurred, this,
          [this, Socket] { InSocketSignal([&] { SocketFailed(Socket); }); });
  connect(Socket, &QTcpSocket::bytesWritten, this,
          [this, Socket] { InSocketSignal([&] { SocketBytesWritten(Socket); }); });
}

bool TTCPClient::IsCurrent(const QTcpSocket* Socket) const {
  return Socket != nullptr && Socket == FSocket && Status() != TSocketStatus::Idle;
}

void TTCPClient::SocketConnected(QTcpSocket* Socket) {
  if (!IsCurrent(Socket)) return;
  FSocketHandle = Socket->socketDescriptor();
  // Urgent data (a telnet data mark) stays in line with the rest of the stream.
  const int inLine = 1;
  setsockopt(static_cast<int>(FSocketHandle), SOL_SOCKET, SO_OOBINLINE, &inLine, sizeof inLine);
  if (OnConnect) OnConnect(this, FSocketHandle);
  if (IsCurrent(Socket) && Status() == TSocketStatus::Connecting) {
    SetStatus(TSocketStatus::Connected);
  }
}

void TTCPClient::SocketReadyRead(QTcpSocket* Socket) {
  if (IsCurrent(Socket)) PostNotice();
}

// The bytes that arrived before the close are offered first, so that nothing the host sent
// last is lost.
void TTCPClient::SocketDisconnected(QTcpSocket* Socket) {
  if (!IsCurrent(Socket)) return;
  FPeerClosed = true;
  PostNotice();
}

void TTCPClient::SocketBytesWritten(QTcpSocket* Socket) {
  if (FReadingStopped && IsCurrent(Socket) && !OutputFull()) {
    FReadingStopped = false;
    PostNotice();
  }
}

void TTCPClient::SocketFailed(QTcpSocket* Socket) {
  // A closing peer is reported by the disconnection, not as a failure.
  if (!IsCurrent(Socket) || Socket->error() == QAbstractSocket::RemoteHostClosedError) return;
  // An address that cannot be reached gives way to the next one of the name.
  if (FSocketHandle < 0 && !FAddresses.isEmpty()) {
    ShutdownSocket(FSocket);
    ConnectToNextAddress();
    return;
  }
  SocketError(WinsockCode(*Socket));
}

// Every OnData and OnClose is raised from the event loop, never inside another, and a turn
// of the loop offers a bounded amount, so that the owner may paint and take keys in between.
void TTCPClient::PostNotice() {
  if (FNoticePosted) return;
  FNoticePosted = true;
  QMetaObject::invokeMethod(this, [this] { Notice(); }, Qt::QueuedConnection);
}

void TTCPClient::Notice() {
  FNoticePosted = false;
  QElapsedTimer turn;
  turn.start();
  for (qint64 offered = 0; offered < kReadPerTurn && !turn.hasExpired(kTurnBudgetMs);) {
    if (FHeld || FRaising || !IsCurrent(FSocket)) return;
    if (OutputFull()) {
      FReadingStopped = true;
      return;
    }
    QTcpSocket* socket = FSocket;
    const qint64 unread = socket->bytesAvailable();
    if (unread == 0) {
      if (FPeerClosed) RaiseClose();
      return;  // readyRead announces what comes next
    }
    RaiseData();
    if (!IsCurrent(socket)) return;
    const qint64 left = socket->bytesAvailable();
    if (left >= unread) {
      if (FPeerClosed) RaiseClose();  // the owner has stopped reading; the rest is discarded
      return;
    }
    offered += unread - left;
  }
  PostNotice();
}

void TTCPClient::RaiseData() {
  const bool wasRaising = std::exchange(FRaising, true);
  if (OnData) OnData(this, FSocketHandle);
  FRaising = wasRaising;
}

// A connection that the handler opened meanwhile is left alone.
void TTCPClient::RaiseClose() {
  const QPointer<QTcpSocket> closed = FSocket;
  const bool wasRaising = std::exchange(FRaising, true);
  if (OnClose) OnClose(this, FSocketHandle);
  FRaising = wasRaising;
  if (FSocket == closed) Close();
}
