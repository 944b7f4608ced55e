// wombat-link: a command-line sibling of a running Wombat.
//
//   wombat-link follow [--json] [--raw]   links itself and prints every received line
//   wombat-link send [--line] TEXT
//   wombat-link connect ENTRY
//   wombat-link disconnect
//   wombat-link quit
//   wombat-link version
//
// The running Wombat is found through its settings (Directory/LinkServer), or
// named with --server. Only a socket of this user's, served by a process of this
// user's, is talked to. Exit status 0 on success, 1 when no Wombat runs or a
// request fails (or a newer sibling took the lines over), 2 for a wrong
// command line.
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

#include "comm/LinkSocket.h"
#include "comm/SiblingLink.h"
#include "text/Codec.h"
#include "text/QtCodec.h"
#include "view/Motion.h"

namespace {

constexpr int kConnectTimeoutMs = 5000;
constexpr int kAnswerTimeoutMs = 10000;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

int Fail(const QString& message) {
  std::fprintf(stderr, "wombat-link: %s\n", qPrintable(message));
  return kFailed;
}

// What was wrong first, then how it is used.
int UsageError(const QString& message, const QCommandLineParser& parser) {
  std::fprintf(stderr, "wombat-link: %s\n%s", qPrintable(message), qPrintable(parser.helpText()));
  return kUsage;
}

// A received line as the view shows it at first: an animated section as its
// first frame, and no animation bytes left over.
std::string ShownLine(std::string line) {
  while (!ParseMotion(line).Empty()) {
  }
  std::erase_if(line, [](char c) { return c == MotionSectionMark || IsMotionCommand(c); });
  return line;
}

// Wombat's data folder, where its access list entries are.
QString DataFolder() {
  const QString home = qEnvironmentVariable("WOMBAT_HOME");
  if (!home.isEmpty()) return home;
  return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
      .filePath("Zeb/Wombat");
}

// Why Wombat cannot connect to the entry `name`; empty when it can.
QString MissingEntry(const QString& name) {
  const std::string bytes = FromQString(name);
  const QString file = DataFolder() + '/' + ToQString(bytes) + ".ap";
  if (ToQString(bytes) == name && !name.contains('/') && QFileInfo(file).isFile()) return {};
  return "there is no access list entry \"" + name + "\" in " + DataFolder();
}

// A complete line at once, so that a pipeline sees it at once.
void PrintLine(const QByteArray& utf8) {
  std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

QByteArray JsonLine(const std::string& utf8) {
  const QJsonObject object{
      {"time", QDateTime::currentDateTime().toString(Qt::ISODateWithMs)},
      {"line", QString::fromStdString(utf8)},
  };
  return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// The text as CP932 bytes; nothing when a character has no CP932 code. A
// trailing "\r" (backslash, r) stands for a carriage return.
std::optional<std::string> HostText(QString text, bool line) {
  if (text.endsWith(QStringLiteral("\\r"))) {
    text.chop(2);
    line = true;
  }
  std::string bytes = FromQString(text);
  if (ToQString(bytes) != text) return std::nullopt;
  if (line) bytes += '\r';
  return bytes;
}

QString RefusedOwner(const QString& server, uid_t owner) {
  return "refusing " + server + ": it belongs to " + UserDescription(owner) + ", not to this user";
}

QString ServerName(const QCommandLineParser& parser) {
  if (parser.isSet("server")) return parser.value("server");
  return QSettings("Zeb", "Wombat").value("Directory/LinkServer").toString();
}

// One connection to Wombat that either sends one request and waits for its
// answer, or follows the received lines until Wombat ends.
class TLinkSession {
 public:
  TLinkSession(QLocalSocket* socket, bool json, bool raw) : FLink(socket), FJson(json), FRaw(raw) {
    FLink.OnClose = [this](TSiblingLink&) { Closed(); };
    FTimer.setSingleShot(true);
    QObject::connect(&FTimer, &QTimer::timeout, [this] { Finish(Fail("Wombat did not answer")); });
  }

  // Prints the answer when printAnswer is set.
  void Request(uint32_t message, const std::string& payload, bool printAnswer) {
    FLink.OnReply = [this, printAnswer](TSiblingLink&, uint32_t request, uint64_t result) {
      if (request == kSiblingText && result == kSiblingTextRefused)
        return Finish(Fail("Wombat refused the text: too much waits to be sent to the host"));
      if (printAnswer && !FFinished) PrintLine(QByteArray::number(static_cast<qulonglong>(result)));
      Finish(0);
    };
    FLink.Request(message, 0, payload);
    FTimer.start(kAnswerTimeoutMs);
  }

  void Follow() {
    FLink.OnReply = [this](TSiblingLink&, uint32_t request, uint64_t result) {
      if (request != kSiblingLinkUp) return;
      FTimer.stop();
      if (result == kSiblingLinkedAnswer)
        FFollowing = true;
      else
        Finish(Fail("Wombat refused the link"));
    };
    FLink.OnRequest = [this](TSiblingLink& link, const TSiblingFrame& frame) {
      if (frame.Message == kSiblingText) PrintReceived(frame.Payload);
      link.Reply(frame.Message, frame.Message == kSiblingText ? 1 : 0);
      if (frame.Message == kSiblingReplaced) Finish(Fail("another sibling has linked"));
    };
    FLink.Request(kSiblingLinkUp, static_cast<uint32_t>(getpid()));
    FTimer.start(kAnswerTimeoutMs);
  }

 private:
  void PrintReceived(const std::string& cp932) {
    const std::string utf8 = Cp932ToUtf8(FRaw ? cp932 : ShownLine(cp932));
    PrintLine(FJson ? JsonLine(utf8) : QByteArray::fromStdString(utf8));
  }

  // Following ends with Wombat; a request that is not answered fails.
  void Closed() {
    if (FFinished) return;
    Finish(FFollowing ? 0 : Fail("Wombat closed the link"));
  }

  // The first outcome counts: an answer may be followed at once by Wombat's end.
  void Finish(int status) {
    if (std::exchange(FFinished, true)) return;
    QCoreApplication::exit(status);
  }

  TSiblingLink FLink;
  bool FJson;
  bool FRaw;
  bool FFollowing = false;
  bool FFinished = false;
  QTimer FTimer;
};

struct TCommand {
  uint32_t message;
  const char* argument;  // the name of its one argument; none when null
};

std::optional<TCommand> CommandNamed(const QString& name) {
  if (name == "follow") return TCommand{kSiblingLinkUp, nullptr};
  if (name == "send") return TCommand{kSiblingText, "TEXT"};
  if (name == "connect") return TCommand{kSiblingConnect, "ENTRY"};
  if (name == "disconnect") return TCommand{kSiblingEnd, nullptr};
  if (name == "quit") return TCommand{kSiblingQuit, nullptr};
  if (name == "version") return TCommand{kSiblingVersion, nullptr};
  return std::nullopt;
}

// What is wrong with the positional arguments; empty when nothing is.
QString ArgumentError(const QStringList& arguments, const std::optional<TCommand>& command) {
  if (arguments.isEmpty()) return "no command given";
  if (!command) return "unknown command \"" + arguments.first() + "\"";
  const qsizetype wanted = command->argument ? 2 : 1;
  if (arguments.size() < wanted) return arguments.first() + " needs " + command->argument;
  if (arguments.size() > wanted)
    return "too many arguments for " + arguments.first() + ": " + arguments.mid(wanted).join(' ');
  return {};
}

void DescribeCommandLine(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      "Follows and drives a running Wombat.\n\n"
      "Commands:\n"
      "  follow              print every received line until Wombat ends (or\n"
      "                      another sibling links itself: exit status 1)\n"
      "  send TEXT           send TEXT to the host (a trailing \\r or --line adds CR)\n"
      "  connect ENTRY       connect to the access list entry ENTRY of the data\n"
      "                      folder ($WOMBAT_HOME, else ~/.local/share/Zeb/Wombat)\n"
      "  disconnect          ask Wombat to disconnect (Wombat asks the user)\n"
      "  quit                quit Wombat when it is not connected\n"
      "  version             print Wombat's version answer");
  parser.addHelpOption();
  parser.addOptions({
      {"server", "The link server's name (default: from Wombat's settings).", "name"},
      {"json", "follow: one JSON object a line, with the time."},
      {"raw", "follow: every byte of a line, the animation bytes too."},
      {"line", "send: end the text with a carriage return."},
  });
  parser.addPositionalArgument("command", "follow, send, connect, disconnect, quit or version.");
  parser.addPositionalArgument("argument", "TEXT for send, ENTRY for connect.", "[argument]");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("wombat-link");
  QCommandLineParser parser;
  DescribeCommandLine(parser);
  if (!parser.parse(QCoreApplication::arguments())) return UsageError(parser.errorText(), parser);
  parser.process(app);  // --help
  const QStringList arguments = parser.positionalArguments();
  const std::optional<TCommand> command =
      arguments.isEmpty() ? std::nullopt : CommandNamed(arguments.first());
  if (const QString error = ArgumentError(arguments, command); !error.isEmpty())
    return UsageError(error, parser);

  std::string payload;
  if (command->message == kSiblingText) {
    const std::optional<std::string> text = HostText(arguments[1], parser.isSet("line"));
    if (!text) return Fail("the text has characters that Shift-JIS cannot hold");
    payload = *text;
  } else if (command->message == kSiblingConnect) {
    if (const QString missing = MissingEntry(arguments[1]); !missing.isEmpty())
      return Fail(missing);
    payload = FromQString(arguments[1]);
  }

  const QString server = ServerName(parser);
  if (server.isEmpty()) return Fail("no Wombat is running");
  if (const std::optional<uid_t> owner = ForeignOwner(server))
    return Fail(RefusedOwner(server, *owner));
  auto socket = std::make_unique<QLocalSocket>();
  socket->connectToServer(server);
  if (!socket->waitForConnected(kConnectTimeoutMs))
    return Fail("no Wombat is running (" + server + ": " + socket->errorString() + ")");
  // The name may have been taken over between the look and the connection.
  const std::optional<uid_t> peer = PeerUserId(socket->socketDescriptor());
  if (!peer) return Fail("refusing " + server + ": cannot tell whose program serves it");
  if (*peer != geteuid()) return Fail(RefusedOwner(server, *peer));

  TLinkSession session(socket.release(), parser.isSet("json"), parser.isSet("raw"));
  if (command->message == kSiblingLinkUp)
    session.Follow();
  else
    session.Request(command->message, payload, command->message == kSiblingVersion);
  return QCoreApplication::exec();
}
