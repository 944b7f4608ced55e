#include "session/StartupAddress.h"

#include <QHostAddress>
#include <QUrl>

#include "text/QtCodec.h"

namespace {

const QString kScheme = QStringLiteral("telnet");
const QString kSchemeSeparator = QStringLiteral("://");
constexpr int kDefaultPort = 23;

// A host as a URL takes it: an IPv6 address ("::1") in brackets.
QString UrlHost(const QString& host) {
  const bool ipv6 = QHostAddress(host).protocol() == QAbstractSocket::IPv6Protocol;
  return ipv6 ? '[' + host + ']' : host;
}

// The arguments as one URL: the first one as it is when it names a scheme,
// else built from a host and an optional port. Blanks around the parts are
// dropped.
QString AddressText(const QStringList& arguments) {
  const QString first = arguments.front().trimmed();
  const qsizetype separator = first.indexOf(kSchemeSeparator);
  if (separator >= 0)
    return first.left(separator + kSchemeSeparator.size()) +
           first.mid(separator + kSchemeSeparator.size()).trimmed();
  QString text = kScheme + kSchemeSeparator + UrlHost(first);
  if (arguments.size() > 1) text += ':' + arguments[1].trimmed();
  return text + '/';
}

// A decimal number as the host ("1234") is read by QUrl as an IPv4 address;
// here it is what it looks like, a telephone number.
bool IsTelephoneHost(const QUrl& url, const QString& text) {
  const QString host = url.host();
  if (IsTelephoneNumber(FromQString(host))) return true;
  return QHostAddress(host).protocol() == QAbstractSocket::IPv4Protocol && !text.contains(host);
}

QString NotTelnetAddress(const QString& text) {
  return "「" + text + "」はtelnetの接続先（ホスト名と1～65535のポート番号）ではないため、接続しません。";
}

}  // namespace

std::optional<TStartupAddress> StartupAddress(const QStringList& arguments) {
  if (arguments.isEmpty()) return std::nullopt;
  const QString text = AddressText(arguments);
  const QUrl url(text, QUrl::StrictMode);
  TStartupAddress address;
  if (!url.isValid() || url.scheme() != kScheme || url.host().isEmpty() || url.port() == 0) {
    address.Refusal = NotTelnetAddress(text);
  } else if (IsTelephoneHost(url, text)) {
    address.Refusal = "「" + text + "」の接続先は電話番号のため、ダイヤルしません。";
  } else {
    address.Host = url.host().contains(':') ? '[' + url.host() + ']' : url.host();
    address.Port = QString::number(url.port(kDefaultPort));
  }
  return address;
}

TAPData StartupEntry(const TStartupAddress& address, const TAPData& stored) {
  TAPData entry;
  entry.HostName = FromQString(address.Host);
  entry.Port = FromQString(address.Port);
  entry.LogName = stored.LogName;
  return entry;
}
