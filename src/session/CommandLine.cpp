#include "session/CommandLine.h"

namespace {

std::optional<quint16> PortNumber(const QString& text) {
  bool isNumber = false;
  const uint port = text.toUInt(&isNumber);
  if (!isNumber || port == 0 || port > 65535) return std::nullopt;
  return static_cast<quint16>(port);
}

}  // namespace

TCommandLine ParseCommandLine(const QStringList& arguments) {
  TCommandLine line;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      line.Help = true;
    } else if (argument == "--version" || argument == "-v") {
      line.Version = true;
    } else if (argument == "--demo") {
      line.DemoPort = i + 1 < arguments.size() ? PortNumber(arguments[++i]) : std::nullopt;
      if (!line.DemoPort) line.Error = "--demo needs a port number from 1 to 65535";
    } else if (argument.startsWith('-')) {
      line.Error = "unknown option " + argument;
    } else {
      line.Address << argument;
    }
  }
  if (line.DemoPort && !line.Address.isEmpty())
    line.Error = "--demo and an address cannot be given together";
  return line;
}

QString CommandLineUsage() {
  return "Usage: wombat [telnet://HOST[:PORT]/ | HOST [PORT]]\n"
         "       wombat --demo PORT\n"
         "A communications terminal for Japanese bulletin-board and chat hosts.\n\n"
         "  HOST [PORT]    connect to a telnet host at start (port 23 when none)\n"
         "  --demo PORT    connect to wombat-demohost on this port of 127.0.0.1\n"
         "                 through the access list entry \"Demo\"\n"
         "  -h, --help     show this text\n"
         "  -v, --version  show the version\n";
}
