// The telnet client against GNU inetutils telnetd on loopback.
#include <gtest/gtest.h>

#include <QString>

#include "comm/TelnetClient.h"
#include "support/EventWait.h"
#include "support/TelnetdPeer.h"

namespace {

constexpr int kHostTimeoutMs = 10000;

struct TSession {
  explicit TSession(const TTelnetdPeer& Host) {
    Client.OnData = [this](TTCPClient* Sender, TSocket) { Text += Sender->ReceiveText(); };
    Client.Host = "127.0.0.1";
    Client.Port = std::to_string(Host.Port());
    Client.Open();
  }
  bool WaitFor(const std::string& Expected) {
    return WaitUntil([&] { return Text.find(Expected) != std::string::npos; }, kHostTimeoutMs);
  }
  TTelnetClient Client;
  std::string Text;
};

}  // namespace

TEST(TelnetdSession, NegotiatesLogsInAndChats) {
  TTelnetdPeer host;
  if (!host.Started()) GTEST_SKIP() << "telnetd cannot be started: " << host.Error().toStdString();
  TSession session(host);

  // The prompt appears only once telnetd has its answers, the terminal type among them.
  ASSERT_TRUE(session.WaitFor("ID:")) << session.Text;
  EXPECT_NE(QString::fromStdString(session.Text).indexOf("terminal dumb", 0, Qt::CaseInsensitive),
            -1)
      << session.Text;
  EXPECT_EQ(session.Text.find('\xFF'), std::string::npos) << "a command reached the text";

  session.Client.SendText("guest\r");
  ASSERT_TRUE(session.WaitFor("Password:")) << session.Text;
  session.Client.SendText("secret\r");
  ASSERT_TRUE(session.WaitFor("Welcome, guest")) << session.Text;
  EXPECT_EQ(session.Text.find("secret"), std::string::npos) << "the password was echoed";

  session.Client.SendText("hello all\r");
  ASSERT_TRUE(session.WaitFor("(TALK,guest) hello all\r\n")) << session.Text;
  session.Client.Close();
}
