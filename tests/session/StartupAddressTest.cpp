#include <gtest/gtest.h>

#include "session/StartupAddress.h"

namespace {

struct TAddressCase {
  QStringList arguments;
  QString host;
  QString port;
};

TEST(StartupAddressTest, CommandLinesGiveHostAndPort) {
  const TAddressCase cases[] = {
      {{"telnet://bbs.example:2323"}, "bbs.example", "2323"},
      {{"TELNET://bbs.example/"}, "bbs.example", "23"},
      {{"telnet://bbs.example:"}, "bbs.example", "23"},
      {{"telnet:// bbs.example:4000/ "}, "bbs.example", "4000"},
      {{"bbs.example", "23"}, "bbs.example", "23"},
      {{"bbs.example", "2323"}, "bbs.example", "2323"},
      {{"bbs.example"}, "bbs.example", "23"},
      {{"telnet://[::1]:2323/"}, "[::1]", "2323"},
      {{"telnet://[::1]"}, "[::1]", "23"},
      {{"::1", "2323"}, "[::1]", "2323"},
      // User information is never the host; what follows the port is ignored.
      {{"telnet://user:pw@bbs.example:2323/"}, "bbs.example", "2323"},
      {{"telnet://user@bbs.example/"}, "bbs.example", "23"},
      {{"telnet://bbs.example:2323/x?y"}, "bbs.example", "2323"},
      {{"telnet://bbs.example/path#part"}, "bbs.example", "23"},
      {{"telnet://192.0.2.7:65535/"}, "192.0.2.7", "65535"},
  };
  for (const TAddressCase& c : cases) {
    const auto address = StartupAddress(c.arguments);
    ASSERT_TRUE(address) << c.arguments.join(' ').toStdString();
    EXPECT_EQ(*address, (TStartupAddress{c.host, c.port, {}}))
        << c.arguments.join(' ').toStdString() << ": " << address->Refusal.toStdString();
  }
}

// Only a telnet host and a port number are ever connected to: a telephone
// number would dial a modem.
TEST(StartupAddressTest, WhatIsNoTelnetHostAndPortIsRefused) {
  const QStringList cases[] = {
      {"telnet://0990123456:COM1/"}, {"telnet://0990123456/"}, {"0990123456", "COM1"},
      {"telnet://03-1234-5678/"},    {"telnet://1234/"},       {"telnet://bbs.example:0/"},
      {"telnet://bbs.example:70000/"}, {"bbs.example", "x23"}, {"telnet://bbs.example:23:24/"},
      {"telnet:///"},                {"http://bbs.example/"},  {"telnet://bad host/"},
  };
  for (const QStringList& arguments : cases) {
    const auto address = StartupAddress(arguments);
    ASSERT_TRUE(address) << arguments.join(' ').toStdString();
    EXPECT_FALSE(address->Refusal.isEmpty()) << arguments.join(' ').toStdString();
    EXPECT_TRUE(address->Host.isEmpty()) << arguments.join(' ').toStdString();
  }
}

TEST(StartupAddressTest, NoArgumentsGiveNoAddress) {
  EXPECT_FALSE(StartupAddress({}));
}

TEST(StartupAddressTest, TheEntryKeepsNothingStoredButTheLogName) {
  TAPData stored;
  stored.ID = "myid";
  stored.Password = "hunter2";
  stored.Script = "[ID:]$I'[Password:]$P'";
  stored.HostName = "other.example";
  stored.Port = "23";
  stored.LogName = "Te";
  const TAPData entry = StartupEntry({"bbs.example", "2323", {}}, stored);
  EXPECT_EQ(entry.HostName, "bbs.example");
  EXPECT_EQ(entry.Port, "2323");
  EXPECT_EQ(entry.LogName, "Te");
  EXPECT_TRUE(entry.ID.empty());
  EXPECT_TRUE(entry.Password.empty());
  EXPECT_TRUE(entry.Script.empty());
}

}  // namespace
