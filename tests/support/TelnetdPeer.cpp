#include "TelnetdPeer.h"

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTcpServer>

namespace {

constexpr int kAttempts = 5;
constexpr int kStartTimeoutMs = 5000;

quint16 FreeLoopbackPort() {
  QTcpServer probe;
  return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

}  // namespace

QString TTelnetdPeer::ChatHostProgram() {
  return QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("ChatHost.sh"));
}

TTelnetdPeer::TTelnetdPeer(const QString& LoginProgram) {
  const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
  const QString telnetd = QStandardPaths::findExecutable(
      QStringLiteral("telnetd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/libexec")});
  if (socat.isEmpty() || telnetd.isEmpty()) {
    FError = QStringLiteral("socat or telnetd (inetutils-telnetd) is not installed");
    return;
  }
  // telnetd splits its login command at spaces, so the program runs from a copy in a
  // temporary folder, executable whatever the checkout's file modes are.
  const QString login = FFolder.filePath(QStringLiteral("login"));
  if (!FFolder.isValid() || !QFile::copy(LoginProgram, login) ||
      !QFile::setPermissions(login, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther)) {
    FError = QStringLiteral("cannot copy the login program ") + LoginProgram;
    return;
  }
  for (int attempt = 0; attempt < kAttempts && !Started(); ++attempt) {
    const quint16 port = FreeLoopbackPort();
    if (port != 0 && Listen(socat, telnetd, login, port)) FPort = port;
  }
  if (!Started() && FError.isEmpty()) FError = QStringLiteral("socat did not start listening");
}

TTelnetdPeer::~TTelnetdPeer() {
  Stop();
}

bool TTelnetdPeer::Listen(const QString& Socat, const QString& Telnetd, const QString& Login,
                          quint16 Port) {
  // socat leads a process group of its own, so that it and the telnetd sessions it forks
  // stop together.
  FSocat.setChildProcessModifier([] { setsid(); });
  FSocat.setProcessChannelMode(QProcess::SeparateChannels);
  FSocat.setStandardOutputFile(QProcess::nullDevice());
  FSocat.start(Socat, {QStringLiteral("-d"), QStringLiteral("-d"),
                       QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr,fork").arg(Port),
                       QStringLiteral("EXEC:%1 -h -E %2").arg(Telnetd, Login)});
  QElapsedTimer clock;
  clock.start();
  QByteArray log;
  while (!clock.hasExpired(kStartTimeoutMs)) {
    FSocat.waitForReadyRead(100);
    log += FSocat.readAllStandardError();
    if (log.contains("listening on")) return true;
    if (FSocat.state() == QProcess::NotRunning) break;
  }
  FError = QString::fromLocal8Bit(log.trimmed());
  Stop();
  return false;
}

void TTelnetdPeer::Stop() {
  if (FSocat.state() == QProcess::NotRunning) return;
  const auto group = static_cast<pid_t>(FSocat.processId());
  ::kill(-group, SIGTERM);
  if (!FSocat.waitForFinished(2000)) {
    ::kill(-group, SIGKILL);
    FSocat.waitForFinished(2000);
  }
}
