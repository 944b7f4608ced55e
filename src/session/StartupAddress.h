#pragma once
// The telnet address given on the command line or by a telnet link:
// "telnet://host:port/", or a host name with an optional port as a second
// argument. Such an address comes from outside (a web page, another
// program), so it only ever names a telnet host and never spends what the
// user has stored.

#include <QString>
#include <QStringList>
#include <optional>

#include "access/AccessPoint.h"

struct TStartupAddress {
  QString Host;
  QString Port;
  // Why the address is not connected to, for the user; empty when it names
  // a telnet host and port.
  QString Refusal;
  bool operator==(const TStartupAddress&) const = default;
};

// The address of the program's arguments (without the program's own name);
// nothing when there are none. A missing or empty port is "23"; an IPv6
// host, given as "[::1]" in a URL or as "::1" before a port, is kept in
// brackets ("[::1]"). User information, a path, a query and
// a fragment are ignored. A telephone number as the host, a port that is
// not a number from 1 to 65535, another scheme or a malformed address give
// a refusal.
std::optional<TStartupAddress> StartupAddress(const QStringList& arguments);

// The entry that such an address connects through: the address's host and
// port with an empty ID, password and script, so that nothing stored is
// sent to a host the user did not choose. Only the log name of the stored
// entry is kept.
TAPData StartupEntry(const TStartupAddress& address, const TAPData& stored);
