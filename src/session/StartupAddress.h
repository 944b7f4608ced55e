#pragma once
// The telnet address given on the command line: "telnet://host:port/", or a
// host name with an optional port as a second argument.

#include <QString>
#include <QStringList>
#include <optional>

struct TStartupAddress {
  QString Host;
  QString Port;
  bool operator==(const TStartupAddress&) const = default;
};

// The address of the program's arguments (without the program's own name);
// nothing when there are none. A missing or empty port is "23". A host in
// brackets ("[::1]") keeps its colons.
std::optional<TStartupAddress> StartupAddress(const QStringList& arguments);
