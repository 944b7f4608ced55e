// A TCP peer on a loopback address for byte-level transport tests: accepts connections,
// records what the client sends, writes what the test tells it and closes on demand.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <string>

class TLoopbackPeer {
 public:
  // Listens on Address at a free port; Listening() tells whether that worked.
  explicit TLoopbackPeer(const QHostAddress& Address = QHostAddress::LocalHost);
  ~TLoopbackPeer();
  TLoopbackPeer(const TLoopbackPeer&) = delete;
  TLoopbackPeer& operator=(const TLoopbackPeer&) = delete;

  bool Listening() const { return FServer.isListening(); }
  quint16 Port() const { return FServer.serverPort(); }
  int Connections() const { return FConnections; }

  // Waits until Count clients have connected in all; the latest one is the one the other
  // calls act on.
  bool WaitForConnections(int Count, int TimeoutMs = 5000);
  // Writes Bytes to the client at once, as one block.
  void Send(const std::string& Bytes);
  // Everything the current client has sent so far.
  std::string Received() const { return FReceived.toStdString(); }
  bool WaitForReceived(qsizetype Count, int TimeoutMs = 5000);
  // The same without running the event loop: reads straight from the socket, so it tells
  // what the client has sent by now even from inside one of the client's handlers.
  bool ReadReceivedNow(qsizetype Count, int TimeoutMs = 1000);
  // Closes the connection from this side.
  void CloseClient();
  // Waits for the client to close the connection.
  bool WaitForClientClosed(int TimeoutMs = 5000);

 private:
  void Accept();

  QTcpServer FServer;
  QPointer<QTcpSocket> FClient;
  QByteArray FReceived;
  int FConnections = 0;
  bool FClientClosed = false;
};
