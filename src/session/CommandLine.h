#pragma once
// The program's own options: --help, --version and --demo PORT, read before
// Qt starts. Qt's own options (-platform, -style ...) are passed over and
// left to QApplication; whatever else stands on the command line is the
// telnet address of the start.

#include <QString>
#include <QStringList>
#include <optional>

struct TCommandLine {
  bool Help = false;
  bool Version = false;
  // --demo PORT: connect to the demo host on this loopback port.
  std::optional<quint16> DemoPort;
  // The rest: a telnet address, or a host and a port.
  QStringList Address;
  // Why the command line cannot be used; empty when it can.
  QString Error;
};

// Reads the arguments without the program's own name, Qt's options among them.
TCommandLine ParseCommandLine(const QStringList& arguments);
// The text of --help.
QString CommandLineUsage();
