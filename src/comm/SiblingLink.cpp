#include "comm/SiblingLink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtEndian>
#include <algorithm>
#include <string_view>
#include <utility>

#include "comm/LinkSocket.h"

namespace {

constexpr qsizetype kHeaderSize = 12;
constexpr uint32_t kResultSize = 8;

void AppendUint32(QByteArray& bytes, uint32_t value) {
  char le[4];
  qToLittleEndian(value, le);
  bytes.append(le, sizeof le);
}

uint32_t Uint32At(const QByteArray& bytes, qsizetype offset) {
  return qFromLittleEndian<uint32_t>(bytes.constData() + offset);
}

std::string ResultBytes(uint64_t result) {
  std::string bytes(kResultSize, '\0');
  qToLittleEndian(result, bytes.data());
  return bytes;
}

// Other names tried when the first one is taken.
constexpr int kNameAttempts = 20;

// A further server of this process finds the name taken and gives way.
QString UniqueServerName() {
  return QStringLiteral("wombat-%1-%2").arg(getuid()).arg(getpid());
}

// The text of a sibling's 0x400 or 0x402 request: the bytes before the first
// zero (the payload length frames it; a zero ends the text, as it always has).
std::string TextUpToZero(const std::string& payload) {
  return payload.substr(0, payload.find('\0'));
}

bool CarriesText(uint32_t message) {
  return message == kSiblingText || message == kSiblingConnect;
}

void AppendFrame(QByteArray& bytes, uint32_t message, uint32_t parameter,
                 std::string_view payload) {
  AppendUint32(bytes, message);
  AppendUint32(bytes, parameter);
  AppendUint32(bytes, static_cast<uint32_t>(payload.size()));
  bytes.append(payload.data(), static_cast<qsizetype>(payload.size()));
}

}  // namespace

std::optional<uint64_t> TSiblingFrame::Result() const {
  if (Payload.size() != kResultSize) return std::nullopt;
  return qFromLittleEndian<uint64_t>(Payload.data());
}

QByteArray EncodeSiblingFrame(const TSiblingFrame& frame) {
  QByteArray bytes;
  bytes.reserve(kHeaderSize + static_cast<qsizetype>(frame.Payload.size()));
  AppendFrame(bytes, frame.Message, frame.Parameter, frame.Payload);
  return bytes;
}

TSiblingFrame SiblingReply(uint32_t request, uint64_t result) {
  return {request | kSiblingReplyFlag, 0, ResultBytes(result)};
}

void TSiblingFrameReader::Append(const QByteArray& bytes) {
  FBuffer.remove(0, std::exchange(FStart, 0));
  FBuffer.append(bytes);
}

std::optional<TSiblingFrame> TSiblingFrameReader::Next() {
  const qsizetype available = FBuffer.size() - FStart;
  if (FBroken || available < kHeaderSize) return std::nullopt;
  TSiblingFrame frame;
  frame.Message = Uint32At(FBuffer, FStart);
  frame.Parameter = Uint32At(FBuffer, FStart + 4);
  const uint32_t length = Uint32At(FBuffer, FStart + 8);
  if (length > kSiblingMaxPayload || (frame.IsReply() && length != kResultSize)) {
    FBroken = true;
    FBuffer.clear();
    FStart = 0;
    return std::nullopt;
  }
  if (available - kHeaderSize < static_cast<qsizetype>(length)) return std::nullopt;
  frame.Payload.assign(FBuffer.constData() + FStart + kHeaderSize, length);
  FStart += kHeaderSize + static_cast<qsizetype>(length);
  if (FStart == FBuffer.size()) {
    FBuffer.clear();
    FStart = 0;
  }
  return frame;
}

TSiblingLink::TSiblingLink(QLocalSocket* socket, QObject* parent)
    : QObject(parent), FSocket(socket) {
  FSocket->setParent(this);
  connect(FSocket, &QLocalSocket::readyRead, this, &TSiblingLink::ReadFrames);
  connect(FSocket, &QLocalSocket::disconnected, this, &TSiblingLink::Closed);
  connect(FSocket, &QLocalSocket::errorOccurred, this, &TSiblingLink::Closed);
  for (QTimer* timer : {&FFrameTimer, &FIdleTimer}) {
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &TSiblingLink::Close);
  }
  // A connection that waited for its slot may have sent, or even gone, before
  // these signals were connected.
  QMetaObject::invokeMethod(this, &TSiblingLink::ReadWaiting, Qt::QueuedConnection);
}

void TSiblingLink::ReadWaiting() {
  ReadFrames();
  if (FSocket->state() == QLocalSocket::UnconnectedState) Closed();
}

void TSiblingLink::SetIdleDeadline(int Ms) {
  FIdleDeadlineMs = Ms;
  if (Ms > 0 && !FClosed)
    FIdleTimer.start(Ms);
  else
    FIdleTimer.stop();
}

void TSiblingLink::Request(uint32_t message, uint32_t parameter, const std::string& payload) {
  Send({message, parameter, payload});
}

void TSiblingLink::Requests(uint32_t message, const std::vector<std::string>& payloads) {
  qsizetype size = 0;
  for (const std::string& payload : payloads)
    size += kHeaderSize + static_cast<qsizetype>(payload.size());
  QByteArray bytes;
  bytes.reserve(size);
  for (const std::string& payload : payloads) AppendFrame(bytes, message, 0, payload);
  Write(bytes);
}

void TSiblingLink::Reply(uint32_t request, uint64_t result) {
  Send(SiblingReply(request, result));
}

void TSiblingLink::Close() {
  FSocket->abort();
  Closed();
}

bool TSiblingLink::IsOpen() const {
  return !FClosed;
}

void TSiblingLink::Send(const TSiblingFrame& frame) {
  Write(EncodeSiblingFrame(frame));
}

void TSiblingLink::Write(const QByteArray& bytes) {
  if (FClosed) return;
  FSocket->write(bytes);
  if (FSocket->bytesToWrite() > kMaxUnsent) Close();
}

// A handler may close the link; reading stops then.
void TSiblingLink::ReadFrames() {
  bool completed = false;
  while (!FClosed && FSocket->bytesAvailable() > 0) {
    FReader.Append(FSocket->read(std::min<qint64>(FSocket->bytesAvailable(), 64 * 1024)));
    while (!FClosed) {
      std::optional<TSiblingFrame> frame = FReader.Next();
      if (!frame) break;
      completed = true;
      if (!frame->IsReply()) {
        if (FIdleDeadlineMs > 0) FIdleTimer.start(FIdleDeadlineMs);
        if (OnRequest) OnRequest(*this, *frame);
      } else if (OnReply) {
        OnReply(*this, frame->Request(), *frame->Result());
      }
    }
    if (FReader.Broken()) Close();
  }
  if (!FClosed) WatchFrameDeadline(completed);
}

// The deadline runs from a frame's first byte; more bytes of the same frame
// do not extend it, a completed frame starts it again for the next.
void TSiblingLink::WatchFrameDeadline(bool completedFrames) {
  if (FFrameDeadlineMs <= 0 || !FReader.Pending())
    FFrameTimer.stop();
  else if (completedFrames || !FFrameTimer.isActive())
    FFrameTimer.start(FFrameDeadlineMs);
}

void TSiblingLink::Closed() {
  if (std::exchange(FClosed, true)) return;
  FFrameTimer.stop();
  FIdleTimer.stop();
  if (OnClose) OnClose(*this);
}

TSiblingServer::TSiblingServer(QObject* parent) : QObject(parent), FServer(new QLocalServer(this)) {
  connect(FServer, &QLocalServer::newConnection, this, &TSiblingServer::Accept);
  FAnswerTimer.setSingleShot(true);
  FAnswerTimer.setTimerType(Qt::PreciseTimer);
  connect(&FAnswerTimer, &QTimer::timeout, this, [this] { Unlink(TUnlinkReason::NoAnswer); });
}

TSiblingServer::~TSiblingServer() {
  for (const QPointer<TSiblingLink>& link : FLinks)
    if (link) link->OnClose = nullptr;
  FServer->close();
  if (!FOneOffFolder.isEmpty()) QDir().rmdir(FOneOffFolder);
}

// Nothing found under a taken name is removed: it may be another program's.
bool TSiblingServer::Listen() {
  const TLinkFolder folder = PrivateLinkFolder();
  if (!folder.Notice.isEmpty()) ShowNotice(folder.Notice);
  if (folder.Path.isEmpty()) return false;
  if (folder.OneOff) FOneOffFolder = folder.Path;
  const QString first = folder.Path + '/' + UniqueServerName();
  for (int attempt = 1; attempt <= kNameAttempts; ++attempt) {
    const QString name = attempt == 1 ? first : first + QStringLiteral(".%1").arg(attempt);
    if (ListenAt(name)) {
      if (attempt > 1)
        ShowNotice(QStringLiteral("リンクのソケット %1 は使われているため、%2 を使います")
                       .arg(first, name));
      return true;
    }
    if (FServer->serverError() != QAbstractSocket::AddressInUseError) return false;
  }
  return false;
}

// Listened without Qt's access options, which would put the socket in place
// by renaming it over whatever holds the name; the mode is set afterwards.
bool TSiblingServer::ListenAt(const QString& Path) {
  if (!FServer->listen(Path)) return false;
  ::chmod(QFile::encodeName(FServer->fullServerName()).constData(), 0600);
  return true;
}

void TSiblingServer::ShowNotice(const QString& Text) {
  if (OnNotice)
    OnNotice(Text);
  else
    qWarning("%s", qUtf8Printable(Text));
}

QString TSiblingServer::ServerName() const {
  return FServer->fullServerName();
}

void TSiblingServer::HandOff(const std::vector<std::string>& lines, std::function<void()> done) {
  if (!FSibling || lines.empty()) {
    done();
    return;
  }
  FHandOffDone = std::move(done);
  FUnanswered = lines.size();
  // A sibling that stops reading is dropped when the lines are sent.
  FSibling->Requests(kSiblingText, lines);
  if (FSibling) FAnswerTimer.start(AnswerTimeoutMs);
}

void TSiblingServer::StopWaiting() {
  if (!FHandOffDone) return;
  FLateAnswers += FUnanswered;
  FinishHandOff();
}

void TSiblingServer::NotifyEnd() {
  if (FSibling) FSibling->Request(kSiblingEnd);
}

// Connections beyond the limit wait, unread, until others end; the server
// itself holds only a bounded number of them, the system the rest.
void TSiblingServer::Accept() {
  std::erase_if(
      FLinks, [](const QPointer<TSiblingLink>& link) { return link.isNull() || !link->IsOpen(); });
  while (FLinks.size() < kMaxConnections) {
    QLocalSocket* socket = FServer->nextPendingConnection();
    if (socket == nullptr) return;
    if (PeerUserId(socket->socketDescriptor()) != geteuid()) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    auto* link = new TSiblingLink(socket, this);
    link->SetFrameDeadline(FrameTimeoutMs);
    link->SetIdleDeadline(IdleTimeoutMs);
    link->OnRequest = [this](TSiblingLink& from, const TSiblingFrame& frame) { Serve(from, frame); };
    link->OnReply = [this](TSiblingLink& from, uint32_t request, uint64_t) {
      Answered(from, request);
    };
    link->OnClose = [this](TSiblingLink& closed) { Dropped(closed); };
    FLinks.emplace_back(link);
  }
}

void TSiblingServer::Serve(TSiblingLink& link, const TSiblingFrame& frame) {
  if (frame.Message == kSiblingLinkUp) {
    LinkUp(link, frame.Parameter);
    link.Reply(frame.Message, kSiblingLinkedAnswer);
    return;
  }
  TSiblingFrame request = frame;
  if (CarriesText(frame.Message)) request.Payload = TextUpToZero(frame.Payload);
  link.Reply(frame.Message, OnRequest ? OnRequest(request) : 0);
}

// A later link replaces the sibling before it as the receiver of the lines,
// which is told so; a hand-off to that one ends. Its connection stays and may
// go on asking.
void TSiblingServer::LinkUp(TSiblingLink& link, uint32_t pid) {
  if (FSibling && FSibling != &link) {
    FSibling->Request(kSiblingReplaced, pid);
    FSibling->SetIdleDeadline(IdleTimeoutMs);
    FSibling = nullptr;
    FinishHandOff();
  }
  if (FSibling != &link) FLateAnswers = 0;
  link.SetIdleDeadline(0);
  FSibling = &link;
  FSiblingPid = pid;
}

void TSiblingServer::Answered(TSiblingLink& link, uint32_t request) {
  if (&link != FSibling || request != kSiblingText) return;
  if (FLateAnswers > 0) {
    --FLateAnswers;
    return;
  }
  if (FUnanswered == 0) return;
  if (--FUnanswered == 0)
    FinishHandOff();
  else
    FAnswerTimer.start(AnswerTimeoutMs);
}

// The link goes once its signal has returned; a connection waiting for its
// slot takes it.
void TSiblingServer::Dropped(TSiblingLink& link) {
  link.deleteLater();
  QMetaObject::invokeMethod(this, &TSiblingServer::Accept, Qt::QueuedConnection);
  if (&link == FSibling) Unlink(TUnlinkReason::Closed);
  if (FHandOffDone && !FSibling) FinishHandOff();
}

void TSiblingServer::Unlink(TUnlinkReason reason) {
  if (!FSibling) return;
  TSiblingLink* sibling = std::exchange(FSibling, nullptr);
  FSiblingPid = 0;
  FLateAnswers = 0;
  sibling->Close();
  FinishHandOff();
  if (OnUnlink) OnUnlink(reason);
}

void TSiblingServer::FinishHandOff() {
  FAnswerTimer.stop();
  FUnanswered = 0;
  if (std::function<void()> done = std::exchange(FHandOffDone, nullptr)) done();
}
