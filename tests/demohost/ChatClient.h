#pragma once
// A raw telnet client of the demo host for the tests: records every byte it
// receives, sends lines, and logs in through the host's prompts.

#include <QTcpSocket>
#include <string>

#include "support/EventWait.h"
#include "text/Codec.h"

class TChatClient {
 public:
  static constexpr int kWaitMs = 10000;

  explicit TChatClient(quint16 port, const QHostAddress& address = QHostAddress::LocalHost) {
    QObject::connect(&FSocket, &QTcpSocket::readyRead, [this] { Read(); });
    FSocket.connectToHost(address, port);
  }

  // Stops taking bytes from the socket, with small buffers, so that TCP
  // soon holds the host back.
  void StopReading() {
    FReading = false;
    FSocket.setReadBufferSize(1024);
    FSocket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
  }

  void Send(const std::string& bytes) { FSocket.write(bytes.data(), static_cast<qint64>(bytes.size())); }
  void SendLine(const std::string& line) { Send(line + "\r"); }
  // UTF-8 text as code page 932, with CR.
  void Say(const char* utf8) { SendLine(Sjis(utf8)); }

  const std::string& Received() const { return FReceived; }
  bool Has(const std::string& text) const { return FReceived.find(text) != std::string::npos; }
  // Waits until the received bytes hold the text after position From.
  bool WaitFor(const std::string& text, std::size_t from = 0) {
    return WaitUntil([&] { return FReceived.find(text, from) != std::string::npos; }, kWaitMs);
  }
  bool WaitForClose() {
    return WaitUntil([&] { return FSocket.state() == QAbstractSocket::UnconnectedState; }, kWaitMs);
  }
  bool Connected() const { return FSocket.state() == QAbstractSocket::ConnectedState; }

  // Logs in with this ID and enters the conference; false when a prompt
  // did not come.
  bool Join(const std::string& id) {
    if (!WaitFor("ID:")) return false;
    SendLine(id);
    if (!WaitFor("Password:")) return false;
    SendLine("secret");
    if (!WaitFor("COMMAND>")) return false;
    SendLine("C");
    return WaitFor(Sjis("－リアルタイム会議開始 (終了:/E)－"));
  }

  // The received lines, split at CR LF; telnet commands stay in them.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = FReceived.find("\r\n", start)) != std::string::npos; start = end + 2)
      lines.push_back(FReceived.substr(start, end - start));
    return lines;
  }

 private:
  void Read() {
    if (FReading) FReceived += FSocket.readAll().toStdString();
  }

  QTcpSocket FSocket;
  std::string FReceived;
  bool FReading = true;
};
