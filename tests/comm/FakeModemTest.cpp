// The fake modem itself, talked to through its slave device with plain I/O.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include "support/FakeModem.h"

namespace {

// The near end of the line, opened like a serial port.
class TNearEnd {
 public:
  explicit TNearEnd(const std::string& path) : FFd(::open(path.c_str(), O_RDWR | O_NOCTTY)) {
    termios settings{};
    tcgetattr(FFd, &settings);
    cfmakeraw(&settings);
    tcsetattr(FFd, TCSANOW, &settings);
  }
  ~TNearEnd() { ::close(FFd); }
  bool IsOpen() const { return FFd >= 0; }
  void Send(std::string_view bytes) {
    ASSERT_EQ(::write(FFd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  // Reads until `expected` has arrived or two seconds have passed.
  std::string ReadUntil(std::string_view expected) {
    std::string got;
    pollfd entry{FFd, POLLIN, 0};
    while (got.find(expected) == std::string::npos && poll(&entry, 1, 2000) > 0) {
      char buffer[256];
      const ssize_t n = ::read(FFd, buffer, sizeof buffer);
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }

 private:
  int FFd;
};

TEST(FakeModem, EchoesAnswersDialsAndPlaysTheHost) {
  TFakeModem modem;
  modem.AddHostReply("guest\r", "Password: ");
  TNearEnd line(modem.DevicePath());
  ASSERT_TRUE(line.IsOpen());

  line.Send("AT\r");
  EXPECT_EQ(line.ReadUntil("OK\r\n"), "AT\r\r\nOK\r\n");
  line.Send("ATE0\r");
  EXPECT_EQ(line.ReadUntil("OK\r\n"), "ATE0\r\r\nOK\r\n");
  line.Send("ATDT0123\r");
  EXPECT_EQ(line.ReadUntil("login: "), "\r\nCONNECT 115200\r\nlogin: ");
  EXPECT_TRUE(modem.Connected());
  line.Send("guest\r");
  EXPECT_EQ(line.ReadUntil("Password: "), "guest\rPassword: ");
  EXPECT_EQ(modem.HostReceived(), "guest\r");
  EXPECT_EQ(modem.Commands(), (std::vector<std::string>{"AT", "ATE0", "ATDT0123"}));

  line.Send("+++");
  EXPECT_EQ(line.ReadUntil("OK\r\n"), "+++\r\nOK\r\n");
  EXPECT_FALSE(modem.Connected());
}

TEST(FakeModem, BusyStaysInCommandModeAndAVanishedModemHangsUpTheLine) {
  TFakeModem modem;
  modem.SetDialResult("BUSY");
  TNearEnd line(modem.DevicePath());
  line.Send("ATDP5\r");
  EXPECT_EQ(line.ReadUntil("BUSY\r\n"), "ATDP5\r\r\nBUSY\r\n");
  EXPECT_FALSE(modem.Connected());

  modem.Vanish();
  EXPECT_EQ(line.ReadUntil("anything"), "");
}

}  // namespace
