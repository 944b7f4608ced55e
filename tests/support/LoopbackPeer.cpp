#include "LoopbackPeer.h"

#include "EventWait.h"

TLoopbackPeer::TLoopbackPeer(const QHostAddress& Address) {
  QObject::connect(&FServer, &QTcpServer::newConnection, &FServer, [this] { Accept(); });
  FServer.listen(Address, 0);
}

TLoopbackPeer::~TLoopbackPeer() {
  // The server deletes its connections, which report their end while half destroyed.
  for (QTcpSocket* client : FServer.findChildren<QTcpSocket*>()) client->disconnect();
}

void TLoopbackPeer::Accept() {
  while (QTcpSocket* client = FServer.nextPendingConnection()) {
    ++FConnections;
    FClient = client;
    FReceived.clear();
    FClientClosed = false;
    QObject::connect(client, &QTcpSocket::readyRead, client, [this, client] {
      if (client == FClient) FReceived += client->readAll();
    });
    QObject::connect(client, &QTcpSocket::disconnected, client, [this, client] {
      if (client == FClient) FClientClosed = true;
    });
  }
}

bool TLoopbackPeer::WaitForConnections(int Count, int TimeoutMs) {
  return WaitUntil([&] { return FConnections >= Count; }, TimeoutMs);
}

void TLoopbackPeer::Send(const std::string& Bytes) {
  if (FClient == nullptr) return;
  FClient->write(Bytes.data(), static_cast<qint64>(Bytes.size()));
  FClient->flush();
}

bool TLoopbackPeer::WaitForReceived(qsizetype Count, int TimeoutMs) {
  return WaitUntil([&] { return FReceived.size() >= Count; }, TimeoutMs);
}

bool TLoopbackPeer::ReadReceivedNow(qsizetype Count, int TimeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (FReceived.size() < Count && FClient != nullptr && !clock.hasExpired(TimeoutMs))
    FClient->waitForReadyRead(10);
  return FReceived.size() >= Count;
}

void TLoopbackPeer::CloseClient() {
  if (FClient != nullptr) FClient->disconnectFromHost();
}

bool TLoopbackPeer::WaitForClientClosed(int TimeoutMs) {
  return WaitUntil([&] { return FClientClosed; }, TimeoutMs);
}
