#pragma once
// The link between the terminal and its sibling programs over a local socket.
//
// Every frame is a 32-bit message number, a 32-bit parameter and a 32-bit
// payload length, followed by the payload bytes; all integers are unsigned
// little-endian. A request is answered by a reply frame: the request's number
// with the top bit set, parameter 0 and an 8-byte payload holding a 64-bit
// result. Requests may cross in both directions on one connection; a reader
// tells replies from requests by the top bit. Texts travel in the payload as
// CP932 bytes.
//
// TSiblingLink is one connection (used by both ends). TSiblingServer is the
// terminal's end: it listens, accepts connections, serves their requests and
// keeps the one sibling that linked itself, to which it hands received lines.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

// Message numbers.
inline constexpr uint32_t kSiblingText = 0x400;     // a line to, or a text from, the sibling
inline constexpr uint32_t kSiblingEnd = 0x401;      // end of a connection / disconnect request
inline constexpr uint32_t kSiblingConnect = 0x402;  // connect to the named access entry
inline constexpr uint32_t kSiblingQuit = 0x403;     // quit when no connection is up
inline constexpr uint32_t kSiblingLinkUp = 0x404;   // the sibling links itself (its process id)
inline constexpr uint32_t kSiblingVersion = 0x405;  // asks for the version answer
// To a sibling that a newer one replaced, with the newer one's process id.
inline constexpr uint32_t kSiblingReplaced = 0x406;
inline constexpr uint32_t kSiblingReplyFlag = 0x80000000;

inline constexpr uint64_t kSiblingLinkedAnswer = 1;
// A text to the host refused: too much already waits to be sent to it.
inline constexpr uint64_t kSiblingTextRefused = 1;
inline constexpr uint64_t kSiblingVersionAnswer = 6619140;  // 0x650004

// The largest payload a reader accepts; a longer frame ends the connection.
inline constexpr uint32_t kSiblingMaxPayload = 1 << 20;

struct TSiblingFrame {
  uint32_t Message = 0;
  uint32_t Parameter = 0;
  std::string Payload;

  bool IsReply() const { return (Message & kSiblingReplyFlag) != 0; }
  // The request number a reply answers.
  uint32_t Request() const { return Message & ~kSiblingReplyFlag; }
  // A reply's result; nothing when the payload is not 8 bytes.
  std::optional<uint64_t> Result() const;
};

QByteArray EncodeSiblingFrame(const TSiblingFrame& frame);
TSiblingFrame SiblingReply(uint32_t request, uint64_t result);

// Cuts a byte stream into frames. Holds at most one incomplete frame and
// the bytes of the last read.
class TSiblingFrameReader {
 public:
  void Append(const QByteArray& bytes);
  // The next complete frame, or nothing while it is incomplete.
  std::optional<TSiblingFrame> Next();
  // Set when a frame was malformed (too long a payload, a reply that is not
  // 8 bytes); the stream cannot be trusted after that.
  bool Broken() const { return FBroken; }
  // Part of a frame has arrived and waits for the rest.
  bool Pending() const { return FBuffer.size() > FStart; }

 private:
  QByteArray FBuffer;
  // Bytes at the front of FBuffer already cut into frames; dropped at the
  // next Append, so that many small frames cost one move, not one each.
  qsizetype FStart = 0;
  bool FBroken = false;
};

// One end of a connection: sends requests and replies, reads frames and hands
// them on. Owns its socket. Closed by the peer, by a malformed frame or by a
// peer that stops reading, it calls OnClose once.
class TSiblingLink : public QObject {
  Q_OBJECT
 public:
  // Takes the socket over (connected or connecting).
  explicit TSiblingLink(QLocalSocket* socket, QObject* parent = nullptr);

  void Request(uint32_t message, uint32_t parameter = 0, const std::string& payload = {});
  // One request for each payload, in order, written together.
  void Requests(uint32_t message, const std::vector<std::string>& payloads);
  void Reply(uint32_t request, uint64_t result);
  void Close();
  bool IsOpen() const;
  // Closes the link when a frame, once begun, is not complete within Ms milliseconds;
  // 0 (the default) waits for ever.
  void SetFrameDeadline(int Ms) { FFrameDeadlineMs = Ms; }
  // Closes the link when no request arrives for Ms milliseconds, counted from now and
  // from every request; 0 (the default) stops counting.
  void SetIdleDeadline(int Ms);

  std::function<void(TSiblingLink&, const TSiblingFrame&)> OnRequest;
  std::function<void(TSiblingLink&, uint32_t request, uint64_t result)> OnReply;
  std::function<void(TSiblingLink&)> OnClose;

  // Unsent bytes above which a peer that does not read is dropped.
  static constexpr qint64 kMaxUnsent = 4 << 20;

 private:
  void Send(const TSiblingFrame& frame);
  void Write(const QByteArray& bytes);
  void ReadFrames();
  void ReadWaiting();
  void WatchFrameDeadline(bool completedFrames);
  void Closed();

  QLocalSocket* FSocket;
  TSiblingFrameReader FReader;
  bool FClosed = false;
  int FFrameDeadlineMs = 0;
  int FIdleDeadlineMs = 0;
  QTimer FFrameTimer;
  QTimer FIdleTimer;
};

// The terminal's end. Any connection of this user's may send requests; the
// one that sent the link request last is the sibling and receives the lines.
// Connections of other users are closed unread. A connection beyond
// kMaxConnections waits until another one ends; one that sends half a frame
// (FrameTimeoutMs) or, unless it is the sibling, no request at all
// (IdleTimeoutMs) is closed.
class TSiblingServer : public QObject {
  Q_OBJECT
 public:
  enum class TUnlinkReason { NoAnswer, Closed };

  explicit TSiblingServer(QObject* parent = nullptr);
  ~TSiblingServer() override;

  // Listens in a folder only this user can enter (see PrivateLinkFolder)
  // under a name unique to this process; a name already taken there gives
  // way to another. Either is said through OnNotice.
  bool Listen();
  // Listens at Path itself; whoever chooses Path answers for its folder.
  bool ListenAt(const QString& Path);
  // The socket's full path, for the siblings; empty when not listening.
  QString ServerName() const;

  bool Linked() const { return FSibling != nullptr; }
  qint64 SiblingPid() const { return FSiblingPid; }

  // Sends the lines to the linked sibling, in order, and calls done once
  // every line is answered or the sibling is unlinked (no answer within
  // AnswerTimeoutMs of the last one, or its connection closed). Without a
  // sibling, done is called at once.
  void HandOff(const std::vector<std::string>& lines, std::function<void()> done);
  bool HandingOff() const { return static_cast<bool>(FHandOffDone); }
  // Ends a hand-off without waiting for the rest of its answers; the sibling
  // stays linked, and those answers, when they come, are not counted again.
  void StopWaiting();
  // Tells the linked sibling that a connection ended.
  void NotifyEnd();

  // Answers a request of a connection (0x400 to 0x403, 0x405, others).
  std::function<uint64_t(const TSiblingFrame&)> OnRequest;
  std::function<void(TUnlinkReason)> OnUnlink;
  // Texts for the user about where the link listens. Unassigned: the
  // diagnostic output.
  std::function<void(const QString& Text)> OnNotice;

  int AnswerTimeoutMs = 2000;
  // Set before the connections they apply to.
  int FrameTimeoutMs = 5000;
  int IdleTimeoutMs = 60000;
  static constexpr int kMaxConnections = 16;

 private:
  void Accept();
  void ShowNotice(const QString& Text);
  void Serve(TSiblingLink& link, const TSiblingFrame& frame);
  void LinkUp(TSiblingLink& link, uint32_t pid);
  void Answered(TSiblingLink& link, uint32_t request);
  void Dropped(TSiblingLink& link);
  void Unlink(TUnlinkReason reason);
  void FinishHandOff();

  QLocalServer* FServer;
  QString FOneOffFolder;  // made for this server alone, removed with it
  std::vector<QPointer<TSiblingLink>> FLinks;
  TSiblingLink* FSibling = nullptr;
  qint64 FSiblingPid = 0;
  size_t FUnanswered = 0;
  size_t FLateAnswers = 0;
  std::function<void()> FHandOffDone;
  QTimer FAnswerTimer;
};
