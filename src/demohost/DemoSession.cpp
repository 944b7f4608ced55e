#include "demohost/DemoSession.h"

#include <QTcpSocket>
#include <algorithm>
#include <cctype>

#include "demohost/DemoHost.h"
#include "demohost/ServiceText.h"
#include "text/Codec.h"

namespace {

constexpr qint64 kReadBufferBytes = 16 * 1024;
// Keeps what waits for a slow client in the socket's queue, where it is counted.
constexpr int kSendBufferBytes = 64 * 1024;
constexpr std::size_t kMaxLoginIdBytes = 16;
constexpr int kCloseGraceMs = 10000;
constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kBackspace = '\b';
constexpr char kDelete = '\x7f';

bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// Keeps what a user may put into a line: printable bytes, whole two-byte
// characters and the animation bytes 0x01-0x07; other control bytes and
// broken characters go.
std::string CleanText(const std::string& line) {
  std::string clean;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    if (IsLeadByte(byte)) {
      if (i + 1 < line.size() && IsTrailByte(static_cast<unsigned char>(line[i + 1]))) {
        clean += line.substr(i, 2);
        ++i;
      }
    } else if ((byte >= 0x01 && byte <= 0x07) || (byte >= 0x20 && byte != 0x7F)) {
      clean += line[i];
    }
  }
  return clean;
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool IsLoginId(const std::string& id) {
  return !id.empty() && id.size() <= kMaxLoginIdBytes &&
         std::all_of(id.begin(), id.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

// Splits "word rest" at the first space.
std::pair<std::string, std::string> FirstWord(const std::string& text) {
  const std::string trimmed = Trimmed(text);
  const auto space = trimmed.find(' ');
  if (space == std::string::npos) return {trimmed, {}};
  return {trimmed.substr(0, space), Trimmed(trimmed.substr(space + 1))};
}

}  // namespace

TDemoSession::TDemoSession(TDemoHost& host, QTcpSocket* socket, int job)
    : QObject(&host), FHost(host), FSocket(socket), FJob(job), FTokens(host.Limits().LineBurst) {
  FSocket->setParent(this);
  FSocket->setReadBufferSize(kReadBufferBytes);
  FSocket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kSendBufferBytes);
  FTokenClock.start();
  FOnline.start();
  FIdleTimer.setSingleShot(true);
  FIdleTimer.setInterval(host.Limits().IdleSeconds * 1000);
  connect(&FIdleTimer, &QTimer::timeout, this, [this] { Drop("－一定時間入力がなかったので切断します－"); });
  FIdleTimer.start();
  FLoginTimer.setSingleShot(true);
  FLoginTimer.setInterval(host.Limits().LoginSeconds * 1000);
  connect(&FLoginTimer, &QTimer::timeout, this, [this] { Drop("－ログインの時間が過ぎました－"); });
  FLoginTimer.start();
  connect(FSocket, &QTcpSocket::readyRead, this, [this] { ReadSocket(); });
  Write(THostTelnet::Offer());
  SendLine(ServiceText::Notice("Wombat デモホスト (CB Band) へようこそ"));
  SendLine(ServiceText::Notice("英数字のIDと、空でないパスワードでお入りください。"));
  SendText("ID:");
}

void TDemoSession::SendLine(const std::string& line) {
  Write(THostTelnet::Quote(line) + "\r\n");
}

void TDemoSession::SendText(const std::string& text) {
  Write(THostTelnet::Quote(text));
}

// A client that does not read what it is sent is dropped before its queue
// grows past the bound.
void TDemoSession::Write(const std::string& bytes) {
  if (FState == TState::Closing) return;
  FSocket->write(bytes.data(), static_cast<qint64>(bytes.size()));
  if (FSocket->bytesToWrite() > FHost.Limits().MaxOutputQueue) {
    FState = TState::Closing;
    FSocket->abort();
  }
}

void TDemoSession::ReadSocket() {
  const QByteArray received = FSocket->readAll();
  if (FState == TState::Closing) return;
  FIdleTimer.start();
  std::string reply;
  std::string data;
  FTelnet.Parse(std::string_view(received.constData(), received.size()), reply, data);
  if (!reply.empty()) Write(reply);
  for (char byte : data) {
    if (FState == TState::Closing) return;
    TakeByte(byte);
  }
}

// CR ends a line, and so does a LF that does not follow a CR; a NUL after
// CR is dropped. Backspace and DEL erase the last character.
void TDemoSession::TakeByte(char byte) {
  const bool afterCr = FAfterCr;
  FAfterCr = byte == kCr;
  if (byte == kCr || (byte == kLf && !afterCr)) {
    EndLine();
  } else if (byte == kLf || byte == '\0') {
    return;
  } else if (byte == kBackspace || byte == kDelete) {
    EraseLastCharacter();
  } else if (FOverlong) {
    if (++FDiscarded > FHost.Limits().MaxDiscardedBytes) Drop("－１行が長すぎます－");
  } else if (FLine.size() >= FHost.Limits().MaxLineBytes) {
    FOverlong = true;
    FDiscarded = 1;
  } else {
    FLine += byte;
    Echo(std::string_view(&byte, 1));
  }
}

// Typed text comes back while the client lets the host echo, but not the
// password, and not in the conference, where every line comes back as a
// conference line.
void TDemoSession::Echo(std::string_view bytes) {
  if (FTelnet.Echoing() && (FState == TState::UserId || FState == TState::Menu))
    SendText(std::string(bytes));
}

void TDemoSession::EraseLastCharacter() {
  if (FLine.empty() || FOverlong) return;
  std::size_t last = 0;
  for (std::size_t i = 0; i < FLine.size(); i += IsLeadByte(static_cast<unsigned char>(FLine[i])) ? 2 : 1)
    last = i;
  FLine.erase(last);
  Echo("\b \b");
}

void TDemoSession::EndLine() {
  const std::string line = CleanText(FLine);
  const bool overlong = FOverlong;
  FLine.clear();
  FOverlong = false;
  if (FTelnet.Echoing() && FState != TState::Conference) SendText("\r\n");
  if (!TakeToken()) return;
  if (overlong) {
    SendLine(ServiceText::InputError());
    SendLine(ServiceText::Notice("－１行が長すぎます－"));
    return;
  }
  HandleLine(line);
}

// Lines over the rate are dropped; a client that keeps sending them is
// disconnected.
bool TDemoSession::TakeToken() {
  const TDemoHostLimits& limits = FHost.Limits();
  FTokens = std::min<double>(limits.LineBurst,
                             FTokens + FTokenClock.restart() * limits.LinesPerSecond / 1000.0);
  if (FTokens >= 1) {
    FTokens -= 1;
    return true;
  }
  if (FDroppedLines++ == 0) SendLine(ServiceText::Notice("－送信が速すぎます。少し待ってください－"));
  if (FDroppedLines > limits.MaxDroppedLines) Drop("－送信が多すぎるので切断します－");
  return false;
}

void TDemoSession::HandleLine(const std::string& line) {
  switch (FState) {
    case TState::UserId:
      return HandleUserId(line);
    case TState::Password:
      return HandlePassword(line);
    case TState::Menu:
      return HandleMenu(line);
    case TState::Conference:
      return HandleConference(line);
    case TState::Closing:
      return;
  }
}

void TDemoSession::HandleUserId(const std::string& line) {
  const std::string id = Trimmed(line);
  if (IsLoginId(id) && !ServiceText::IsUserIdForm(id)) {
    FLoginId = id;
    FState = TState::Password;
    SendText("Password:");
    return;
  }
  if (ServiceText::IsUserIdForm(id))
    SendLine(ServiceText::Notice("WMBと数字だけのIDは使えません。"));
  else if (!id.empty())
    SendLine(ServiceText::Notice("IDは16文字までの英数字です。"));
  SendText("ID:");
}

void TDemoSession::HandlePassword(const std::string& line) {
  if (line.empty()) {
    SendLine(ServiceText::Notice("パスワードが空です。"));
    if (++FFailedLogins >= FHost.Limits().MaxFailedLogins) return Drop("－ログインできませんでした－");
    FState = TState::UserId;
    SendText("ID:");
    return;
  }
  if (const char* refused = FHost.RefusedLogin(FSocket->peerAddress())) return Drop(refused);
  FLoginTimer.stop();
  FUserId = FHost.NewUserId();
  FHandle = FHost.UniqueHandle(FLoginId);
  FState = TState::Menu;
  SendLine(ServiceText::WelcomeBanner());
  SendLine(FUserId + " " + FHandle + ServiceText::Notice(" さん、ようこそ"));
  ShowMenu();
}

void TDemoSession::ShowMenu() {
  for (const std::string& line : ServiceText::Menu()) SendLine(line);
  SendText(ServiceText::MenuPrompt());
}

void TDemoSession::HandleMenu(const std::string& line) {
  const std::string choice = ServiceText::Upper(Trimmed(line));
  if (choice == "C") return EnterConference();
  if (choice == "Q") return Quit();
  if (choice == "W") {
    for (const std::string& row : FHost.ParticipantList()) SendLine(row);
  } else if (!choice.empty()) {
    SendLine(ServiceText::InputError());
  }
  SendText(ServiceText::MenuPrompt());
}

void TDemoSession::EnterConference() {
  FState = TState::Conference;
  SendLine(ServiceText::ConferenceStart());
  FHost.Entered(*this);
}

void TDemoSession::LeaveConference() {
  FState = TState::Menu;
  FHost.Left(*this);
  SendLine(ServiceText::ConferenceEnd());
  ShowMenu();
}

void TDemoSession::HandleConference(const std::string& line) {
  if (line.empty()) return;
  if (line[0] != '/') {
    if (MayDeliver(line)) FHost.Say(*this, line);
    return;
  }
  const auto [command, arguments] = FirstWord(line);
  const std::string name = ServiceText::Upper(command);
  if (name == "/E") return LeaveConference();
  if (name == "/W") {
    for (const std::string& row : FHost.ParticipantList()) SendLine(row);
  } else if (name == "/P") {
    Page(arguments);
  } else {
    SendLine(ServiceText::InputError());
  }
}

void TDemoSession::Page(const std::string& arguments) {
  const auto [to, text] = FirstWord(arguments);
  if (to.empty() || text.empty()) return SendLine(ServiceText::NeedParameter());
  if (!MayDeliver(text)) return;
  if (!FHost.Page(*this, to, text)) SendLine(ServiceText::Notice("－そのIDの参加者はいません－"));
}

bool TDemoSession::MayDeliver(const std::string& text) {
  if (!ServiceText::MimicsServiceLine(text)) return true;
  SendLine(ServiceText::Notice("－ホストの行と紛らわしい文は送れません－"));
  return false;
}

void TDemoSession::Quit() {
  SendLine(ServiceText::UsageTime(FOnline.elapsed() / 1000));
  SendLine(ServiceText::Notice("またのご利用をお待ちしています。"));
  Close();
}

// Sends what is queued, then closes; a client that does not take it is cut
// off after a grace time.
void TDemoSession::Close() {
  FState = TState::Closing;
  FIdleTimer.stop();
  FLoginTimer.stop();
  FSocket->disconnectFromHost();
  QTimer::singleShot(kCloseGraceMs, FSocket, [socket = FSocket] { socket->abort(); });
}

void TDemoSession::Drop(const char* reason) {
  if (FState == TState::Closing) return;
  SendLine(ServiceText::Notice(reason));
  Close();
}
