#include "comm/SiblingLink.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QtEndian>
#include <algorithm>
#include <unistd.h>

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

// "wombat-<uid>-<pid>", and a number after it for every further server of
// this process.
QString UniqueServerName() {
  static int servers = 0;
  QString name = QStringLiteral("wombat-%1-%2").arg(getuid()).arg(getpid());
  if (servers++ > 0) name += QStringLiteral("-%1").arg(servers);
  return name;
}

}  // namespace

std::optional<uint64_t> TSiblingFrame::Result() const {
  if (Payload.size() != kResultSize) return std::nullopt;
  return qFromLittleEndian<uint64_t>(Payload.data());
}

QByteArray EncodeSiblingFrame(const TSiblingFrame& frame) {
  QByteArray bytes;
  bytes.reserve(kHeaderSize + static_cast<qsizetype>(frame.Payload.size()));
  AppendUint32(bytes, frame.Message);
  AppendUint32(bytes, frame.Parameter);
  AppendUint32(bytes, static_cast<uint32_t>(frame.Payload.size()));
  bytes.append(frame.Payload.data(), static_cast<qsizetype>(frame.Payload.size()));
  return bytes;
}

TSiblingFrame SiblingReply(uint32_t request, uint64_t result) {
  return {request | kSiblingReplyFlag, 0, ResultBytes(result)};
}

std::optional<TSiblingFrame> TSiblingFrameReader::Next() {
  if (FBroken || FBuffer.size() < kHeaderSize) return std::nullopt;
  TSiblingFrame frame;
  frame.Message = Uint32At(FBuffer, 0);
  frame.Parameter = Uint32At(FBuffer, 4);
  const uint32_t length = Uint32At(FBuffer, 8);
  if (length > kSiblingMaxPayload || (frame.IsReply() && length != kResultSize)) {
    FBroken = true;
    FBuffer.clear();
    return std::nullopt;
  }
  if (FBuffer.size() - kHeaderSize < static_cast<qsizetype>(length)) return std::nullopt;
  frame.Payload.assign(FBuffer.constData() + kHeaderSize, length);
  FBuffer.remove(0, kHeaderSize + static_cast<qsizetype>(length));
  return frame;
}

TSiblingLink::TSiblingLink(QLocalSocket* socket, QObject* parent)
    : QObject(parent), FSocket(socket) {
  FSocket->setParent(this);
  connect(FSocket, &QLocalSocket::readyRead, this, &TSiblingLink::ReadFrames);
  connect(FSocket, &QLocalSocket::disconnected, this, &TSiblingLink::Closed);
  connect(FSocket, &QLocalSocket::errorOccurred, this, &TSiblingLink::Closed);
}

void TSiblingLink::Request(uint32_t message, uint32_t parameter, const std::string& payload) {
  Send({message, parameter, payload});
}

void TSiblingLink::Requests(uint32_t message, const std::vector<std::string>& payloads) {
  QByteArray bytes;
  for (const std::string& payload : payloads)
    bytes.append(EncodeSiblingFrame({message, 0, payload}));
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
  while (!FClosed && FSocket->bytesAvailable() > 0) {
    FReader.Append(FSocket->read(std::min<qint64>(FSocket->bytesAvailable(), 64 * 1024)));
    while (!FClosed) {
      std::optional<TSiblingFrame> frame = FReader.Next();
      if (!frame) break;
      if (!frame->IsReply()) {
        if (OnRequest) OnRequest(*this, *frame);
      } else if (OnReply) {
        OnReply(*this, frame->Request(), *frame->Result());
      }
    }
    if (FReader.Broken()) Close();
  }
}

void TSiblingLink::Closed() {
  if (std::exchange(FClosed, true)) return;
  if (OnClose) OnClose(*this);
}

TSiblingServer::TSiblingServer(QObject* parent)
    : QObject(parent), FServer(new QLocalServer(this)) {
  FServer->setSocketOptions(QLocalServer::UserAccessOption);
  connect(FServer, &QLocalServer::newConnection, this, &TSiblingServer::Accept);
  FAnswerTimer.setSingleShot(true);
  FAnswerTimer.setTimerType(Qt::PreciseTimer);
  connect(&FAnswerTimer, &QTimer::timeout, this, [this] { Unlink(TUnlinkReason::NoAnswer); });
}

TSiblingServer::~TSiblingServer() {
  for (const QPointer<TSiblingLink>& link : FLinks)
    if (link) link->OnClose = nullptr;
}

// A socket file left under this name by an ended process of the same id is
// removed; no running program can own it.
bool TSiblingServer::Listen() {
  const QString name = UniqueServerName();
  if (FServer->listen(name)) return true;
  if (FServer->serverError() != QAbstractSocket::AddressInUseError) return false;
  QLocalServer::removeServer(name);
  return FServer->listen(name);
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

// Connections beyond the limit are closed at once.
void TSiblingServer::Accept() {
  while (QLocalSocket* socket = FServer->nextPendingConnection()) {
    std::erase_if(FLinks, [](const QPointer<TSiblingLink>& link) { return link.isNull(); });
    if (FLinks.size() >= kMaxConnections) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    auto* link = new TSiblingLink(socket, this);
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
  link.Reply(frame.Message, OnRequest ? OnRequest(frame) : 0);
}

// A later link replaces the sibling before it; a hand-off to that one ends.
void TSiblingServer::LinkUp(TSiblingLink& link, uint32_t pid) {
  if (FSibling && FSibling != &link) {
    TSiblingLink* previous = std::exchange(FSibling, nullptr);
    previous->Close();
  }
  if (FSibling != &link) FLateAnswers = 0;
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

// The link goes once its signal has returned.
void TSiblingServer::Dropped(TSiblingLink& link) {
  link.deleteLater();
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
