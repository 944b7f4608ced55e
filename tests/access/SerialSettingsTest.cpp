// The serial modem settings in an entry's Port text.
#include <gtest/gtest.h>

#include "access/SerialSettings.h"

namespace {

const std::string kEnd = "\x1f";

TEST(SerialSettingsTest, ReadsEveryFieldAndWritesTheSameText) {
  const std::string port = "COM30ATZ" + kEnd + kEnd + "ATM0" + kEnd + "9600" + kEnd;
  const TSerialSettings settings = ReadSerialSettings(port);
  EXPECT_EQ(settings.PortName, "COM3");
  EXPECT_EQ(settings.DialMethod, TDialMethod::Pulse);
  EXPECT_EQ(settings.InitCommands, (std::array<std::string, 3>{"ATZ", "", "ATM0"}));
  EXPECT_EQ(settings.Speed, "9600");
  EXPECT_EQ(SerialSettingsText(settings), port);
}

// Short, damaged or foreign texts give what they hold and no more.
TEST(SerialSettingsTest, MissingOrUnendedFieldsStayEmpty) {
  struct TCase {
    std::string port;
    std::optional<TDialMethod> method;
    std::string firstCommand;
    std::optional<std::string> speed;
  };
  const TCase cases[] = {
      {"", std::nullopt, "", std::nullopt},
      {"COM1", std::nullopt, "", std::nullopt},
      {"COM11", TDialMethod::Tone, "", std::nullopt},
      {"COM12ATZ" + kEnd, std::nullopt, "ATZ", std::nullopt},
      {"COM11ATZ", TDialMethod::Tone, "", std::nullopt},  // not ended
      {"COM11A" + kEnd + "B" + kEnd + "C" + kEnd, TDialMethod::Tone, "A", std::nullopt},
      {"COM11A" + kEnd + "B" + kEnd + "C" + kEnd + "2400", TDialMethod::Tone, "A", std::nullopt},
  };
  for (const TCase& c : cases) {
    const TSerialSettings settings = ReadSerialSettings(c.port);
    EXPECT_EQ(settings.DialMethod, c.method) << c.port;
    EXPECT_EQ(settings.InitCommands[0], c.firstCommand) << c.port;
    EXPECT_EQ(settings.Speed, c.speed) << c.port;
  }
}

TEST(SerialSettingsTest, WritesAFourBytePortNameAndToneWhenNoMethodIsGiven) {
  TSerialSettings settings;
  settings.PortName = "COM12";
  EXPECT_EQ(SerialSettingsText(settings), "COM11" + kEnd + kEnd + kEnd + kEnd);
}

}  // namespace
