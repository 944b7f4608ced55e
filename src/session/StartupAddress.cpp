#include "session/StartupAddress.h"

namespace {

const QString kScheme = QStringLiteral("telnet://");
const QString kDefaultPort = QStringLiteral("23");

// "telnet://host[:port]/" of the arguments: the first one taken as it is
// when it names the scheme, else built from a host and an optional port.
QString TelnetUrl(const QStringList& arguments) {
  const QString& first = arguments.front();
  if (first.toLower().startsWith(kScheme)) return first;
  QString url = kScheme + first;
  if (arguments.size() > 1) url += ':' + arguments[1];
  return url + '/';
}

// The place of the ":" before the port; -1 when there is none.
qsizetype PortSeparator(const QString& address) {
  qsizetype from = 0;
  if (address.startsWith('[')) from = std::max<qsizetype>(address.indexOf(']'), 0);
  return address.indexOf(':', from);
}

}  // namespace

std::optional<TStartupAddress> StartupAddress(const QStringList& arguments) {
  if (arguments.isEmpty()) return std::nullopt;
  QString address = TelnetUrl(arguments).mid(kScheme.size()).trimmed();
  if (address.endsWith('/')) address.chop(1);
  const qsizetype colon = PortSeparator(address);
  if (colon < 0) return TStartupAddress{address, kDefaultPort};
  const QString port = address.mid(colon + 1);
  return TStartupAddress{address.left(colon), port.isEmpty() ? kDefaultPort : port};
}
