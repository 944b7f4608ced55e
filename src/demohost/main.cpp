// wombat-demohost: a small chat host to try Wombat with.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "demohost/DemoHost.h"

namespace {

constexpr quint16 kDefaultPort = 2323;
constexpr int kUsageError = 2;

int Fail(const QString& message) {
  std::fprintf(stderr, "wombat-demohost: %s\n", qPrintable(message));
  return 1;
}

// Listens on the given address, or on both loopback addresses; the second
// loopback address is optional (a machine may lack IPv6).
bool ListenAll(TDemoHost& host, const QString& address, quint16 port) {
  if (!address.isEmpty()) return host.Listen(QHostAddress(address), port);
  if (!host.Listen(QHostAddress::LocalHost, port)) return false;
  host.Listen(QHostAddress::LocalHostIPv6, host.Port());
  return true;
}

bool WritePortFile(const QString& path, quint16 port) {
  QSaveFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(QByteArray::number(port) + "\n") > 0 &&
         file.commit();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("wombat-demohost");
  QCoreApplication::setApplicationVersion(WOMBAT_VERSION);
  QCommandLineParser parser;
  parser.setApplicationDescription("A small chat host for trying Wombat (telnet, code page 932).");
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption listen("listen", "Listen on ADDRESS (default: 127.0.0.1 and ::1).",
                                  "ADDRESS");
  const QCommandLineOption port("port", "Listen on port N; 0 takes a free one (default 2323).", "N",
                                QString::number(kDefaultPort));
  const QCommandLineOption portFile("port-file", "Write the port listened on into FILE.", "FILE");
  const QCommandLineOption maxUsers("max-users", "Let at most N users log in (default 32).", "N", "32");
  const QCommandLineOption loginTimeout(
      "login-timeout", "Disconnect a connection not logged in SECONDS after it came (default 60).",
      "SECONDS", "60");
  const QCommandLineOption idle("idle", "Disconnect users idle for SECONDS (default 1800).",
                                "SECONDS", "1800");
  const QCommandLineOption bot("bot-interval", "The bot speaks every SECONDS; 0 keeps it quiet (default 20).",
                               "SECONDS", "20");
  parser.addOptions({listen, port, portFile, maxUsers, loginTimeout, idle, bot});
  if (!parser.parse(QCoreApplication::arguments())) {
    std::fprintf(stderr, "wombat-demohost: %s\n%s", qPrintable(parser.errorText()),
                 qPrintable(parser.helpText()));
    return kUsageError;
  }
  parser.process(app);  // --help and --version

  bool numbers[5] = {};
  const uint portNumber = parser.value(port).toUInt(&numbers[0]);
  TDemoHostLimits limits;
  limits.MaxUsers = parser.value(maxUsers).toInt(&numbers[1]);
  limits.IdleSeconds = parser.value(idle).toInt(&numbers[2]);
  limits.BotIntervalMs = static_cast<int>(parser.value(bot).toDouble(&numbers[3]) * 1000);
  limits.LoginSeconds = parser.value(loginTimeout).toInt(&numbers[4]);
  limits.MaxLoggingIn = std::max(limits.MaxLoggingIn, 2 * limits.MaxUsers);
  if (!std::all_of(std::begin(numbers), std::end(numbers), [](bool ok) { return ok; }) ||
      portNumber > 65535 || limits.MaxUsers < 1 || limits.MaxUsers > 100000 ||
      limits.IdleSeconds < 1 || limits.IdleSeconds > 86400 || limits.LoginSeconds < 1 ||
      limits.LoginSeconds > 86400 || limits.BotIntervalMs < 0)
    return Fail("a number is out of range; see --help");

  TDemoHost host(limits);
  if (!ListenAll(host, parser.value(listen), static_cast<quint16>(portNumber)))
    return Fail(host.Error());
  if (parser.isSet(portFile) && !WritePortFile(parser.value(portFile), host.Port()))
    return Fail("cannot write " + parser.value(portFile));
  std::printf("wombat-demohost listening on port %u\n", host.Port());
  std::fflush(stdout);
  return QCoreApplication::exec();
}
