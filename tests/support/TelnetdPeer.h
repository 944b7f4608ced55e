// A real telnet host for tests: GNU inetutils telnetd behind socat on a free loopback port,
// running a login program of the test's choosing in place of login.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class TTelnetdPeer {
 public:
  // Starts the host with LoginProgram (a script or program file); Started() tells whether
  // it is up, and Error() why not.
  explicit TTelnetdPeer(const QString& LoginProgram = ChatHostProgram());
  // Stops the listener and every session it started.
  ~TTelnetdPeer();
  TTelnetdPeer(const TTelnetdPeer&) = delete;
  TTelnetdPeer& operator=(const TTelnetdPeer&) = delete;

  bool Started() const { return FPort != 0; }
  const QString& Error() const { return FError; }
  // The loopback port (on 127.0.0.1) the host listens on.
  quint16 Port() const { return FPort; }

  // The shipped chat host: prompts "ID:" and "Password:", then answers every line it
  // receives with the conference line "(TALK,ID) line".
  static QString ChatHostProgram();

 private:
  bool Listen(const QString& Socat, const QString& Telnetd, const QString& Login, quint16 Port);
  void Stop();

  QTemporaryDir FFolder;
  QProcess FSocat;
  quint16 FPort = 0;
  QString FError;
};
