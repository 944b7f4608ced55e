#include "session/CommandLine.h"

#include <algorithm>
#include <array>

namespace {

struct TQtOption {
  const char* name;
  bool takesValue;
};

// The options that QApplication and the X11 platform take for themselves,
// as Qt documents them; they are left to Qt.
constexpr std::array kQtOptions = {
    TQtOption{"platform", true},   TQtOption{"platformpluginpath", true},
    TQtOption{"platformtheme", true}, TQtOption{"plugin", true},
    TQtOption{"qwindowgeometry", true}, TQtOption{"qwindowicon", true},
    TQtOption{"qwindowtitle", true}, TQtOption{"session", true},
    TQtOption{"style", true},      TQtOption{"stylesheet", true},
    TQtOption{"display", true},    TQtOption{"geometry", true},
    TQtOption{"title", true},      TQtOption{"icon", true},
    TQtOption{"name", true},       TQtOption{"qmljsdebugger", false},
    TQtOption{"reverse", false},   TQtOption{"widgetcount", false},
    TQtOption{"sync", false},      TQtOption{"nograb", false},
    TQtOption{"dograb", false},
};

// How many arguments from `argument` on belong to a Qt option: 0 when it is
// none. Qt takes "-name", "--name" and "-name=value" alike.
int QtOptionLength(const QStringList& arguments, qsizetype i) {
  QString name = arguments[i].mid(arguments[i].startsWith("--") ? 2 : 1);
  const qsizetype equals = name.indexOf('=');
  const bool hasValue = equals >= 0;
  if (hasValue) name.truncate(equals);
  const auto option = std::find_if(kQtOptions.begin(), kQtOptions.end(),
                                   [&](const TQtOption& qt) { return name == qt.name; });
  if (option == kQtOptions.end()) return 0;
  return option->takesValue && !hasValue && i + 1 < arguments.size() ? 2 : 1;
}

std::optional<quint16> PortNumber(const QString& text) {
  bool isNumber = false;
  const uint port = text.toUInt(&isNumber);
  if (!isNumber || port == 0 || port > 65535) return std::nullopt;
  return static_cast<quint16>(port);
}

// Why the address arguments cannot be an address: only a telnet URL alone, or
// a host with an optional port, is one. Empty when they can.
QString AddressError(const QStringList& address) {
  if (address.isEmpty()) return {};
  const QString& first = address.front();
  const qsizetype separator = first.indexOf("://");
  if (separator >= 0 && first.left(separator).compare("telnet", Qt::CaseInsensitive) != 0)
    return "only telnet:// addresses are connected to, not " + first;
  const qsizetype allowed = separator >= 0 ? 1 : 2;
  if (address.size() > allowed) return "too many arguments: " + address.mid(allowed).join(' ');
  return {};
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
    } else if (const int qtLength = argument.startsWith('-') ? QtOptionLength(arguments, i) : 0) {
      i += qtLength - 1;
    } else if (argument.startsWith('-')) {
      line.Error = "unknown option " + argument;
    } else {
      line.Address << argument;
    }
  }
  if (line.DemoPort && !line.Address.isEmpty())
    line.Error = "--demo and an address cannot be given together";
  else if (line.Error.isEmpty())
    line.Error = AddressError(line.Address);
  return line;
}

QString CommandLineUsage() {
  return "Usage: wombat [telnet://HOST[:PORT]/ | HOST [PORT]]\n"
         "       wombat --demo PORT\n"
         "A communications terminal for Japanese bulletin-board and chat hosts.\n\n"
         "  HOST [PORT]    connect to a telnet host at start (port 23 when none);\n"
         "                 HOST may be an IPv6 address (::1)\n"
         "  --demo PORT    connect to wombat-demohost on this port of 127.0.0.1\n"
         "                 through the access list entry \"Demo\"\n"
         "  -h, --help     show this text\n"
         "  -v, --version  show the version\n"
         "Qt's options (-platform NAME, -display DISPLAY, -style STYLE ...) are\n"
         "taken as well.\n";
}
