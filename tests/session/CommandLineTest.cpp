// The program's options beside the start-up address.
#include <gtest/gtest.h>

#include "session/CommandLine.h"

namespace {

TEST(CommandLineTest, ReadsOptionsAndLeavesTheAddress) {
  struct TCase {
    QStringList arguments;
    bool help, version;
    std::optional<quint16> demoPort;
    QStringList address;
    bool error;
  };
  const TCase cases[] = {
      {{}, false, false, std::nullopt, {}, false},
      {{"--help"}, true, false, std::nullopt, {}, false},
      {{"-v"}, false, true, std::nullopt, {}, false},
      {{"--demo", "2323"}, false, false, 2323, {}, false},
      {{"host.example", "23"}, false, false, std::nullopt, {"host.example", "23"}, false},
      {{"telnet://[::1]:2323/"}, false, false, std::nullopt, {"telnet://[::1]:2323/"}, false},
      {{"--demo"}, false, false, std::nullopt, {}, true},
      {{"--demo", "0"}, false, false, std::nullopt, {}, true},
      {{"--demo", "70000"}, false, false, std::nullopt, {}, true},
      {{"--demo", "x"}, false, false, std::nullopt, {}, true},
      {{"--demo", "2323", "host"}, false, false, 2323, {"host"}, true},
      {{"--bogus"}, false, false, std::nullopt, {}, true},
  };
  for (const TCase& c : cases) {
    const TCommandLine line = ParseCommandLine(c.arguments);
    const std::string name = c.arguments.join(' ').toStdString();
    EXPECT_EQ(line.Help, c.help) << name;
    EXPECT_EQ(line.Version, c.version) << name;
    EXPECT_EQ(line.DemoPort, c.demoPort) << name;
    EXPECT_EQ(line.Address, c.address) << name;
    EXPECT_EQ(!line.Error.isEmpty(), c.error) << name;
  }
}

}  // namespace
