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
  };
  for (const TAddressCase& c : cases) {
    const auto address = StartupAddress(c.arguments);
    ASSERT_TRUE(address) << c.arguments.join(' ').toStdString();
    EXPECT_EQ(*address, (TStartupAddress{c.host, c.port})) << c.arguments.join(' ').toStdString();
  }
}

TEST(StartupAddressTest, NoArgumentsGiveNoAddress) {
  EXPECT_FALSE(StartupAddress({}));
}

}  // namespace
