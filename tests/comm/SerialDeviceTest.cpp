// The rules that the serial transports share: port names, speeds, opening a
// device, and modem result lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <optional>
#include <string>

#include "TapiTestSupport.h"
#include "comm/SerialDevice.h"
#include "support/FakeModem.h"

namespace {

TEST(SerialDevice, ComNamesMapThroughTheSettingsAndPathsPassThrough) {
  TTempSettings settings;
  QSettings("Zeb", "Wombat").setValue("Comm/COM3", "/dev/ttyUSB0");
  EXPECT_EQ(SerialDevicePath("COM3"), "/dev/ttyUSB0");
  EXPECT_EQ(SerialDevicePath("COM2"), "/dev/ttyS1");
  EXPECT_EQ(SerialDevicePath("COM5"), "/dev/ttyS4");
  EXPECT_EQ(SerialDevicePath("/dev/pts/7"), "/dev/pts/7");
  for (const char* name : {"LPT1", "COM", "COM0", "12COM3", "COM3 ", "dev/ttyS0"})
    EXPECT_EQ(SerialDevicePath(name), "") << name;
}

TEST(SerialDevice, OnlyTerminalsThatNoOneHoldsOpen) {
  TPseudoTerminal line;
  const QString path = QString::fromStdString(line.SlavePath());
  const int fd = OpenSerialDevice(path, TCarrierLoss::Watched, 19200);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(OpenSerialDevice(path, TCarrierLoss::HangsUp), -1) << "held by the first";
  const termios settings = line.SlaveSettings();
  EXPECT_EQ(cfgetospeed(&settings), speed_t{B19200});
  EXPECT_EQ(settings.c_lflag & (ECHO | ICANON), 0u);
  ::close(fd);

  QTemporaryDir folder;
  const QString plainFile = folder.filePath("plain");
  ASSERT_TRUE(QFile(plainFile).open(QIODevice::WriteOnly));
  for (const QString& device : {plainFile, folder.filePath("missing"), QString()})
    EXPECT_EQ(OpenSerialDevice(device, TCarrierLoss::Watched), -1) << device.toStdString();
}

TEST(SerialDevice, ModemResults) {
  const std::pair<const char*, TModemResult> cases[] = {
      {"CONNECT", TModemResult::Connect},      {"CONNECT 9600/ARQ", TModemResult::Connect},
      {" BUSY ", TModemResult::Busy},          {"NO CARRIER", TModemResult::NoCarrier},
      {"NO DIAL TONE", TModemResult::NoDialtone}, {"NO ANSWER", TModemResult::NoAnswer},
      {"ERROR", TModemResult::Error},          {"OK", TModemResult::Ok},
      {"RING", TModemResult::Other},           {"ATDT123", TModemResult::Other},
      {"", TModemResult::Other},
  };
  for (const auto& [line, result] : cases) EXPECT_EQ(ModemResult(line), result) << line;
  EXPECT_TRUE(CallFailed(TModemResult::NoCarrier));
  EXPECT_FALSE(CallFailed(TModemResult::Connect));
  EXPECT_FALSE(CallFailed(TModemResult::Other));
}

TEST(SerialDevice, ModemLinesEndAtCROrAtTheBound) {
  std::string buffer = "OK\r\rCONN";
  EXPECT_EQ(TakeModemLine(buffer), "OK");
  EXPECT_EQ(TakeModemLine(buffer), "");
  EXPECT_EQ(TakeModemLine(buffer), std::nullopt);
  EXPECT_EQ(buffer, "CONN");

  buffer = std::string(kModemLineLimit + 3, 'x') + "\r";
  EXPECT_EQ(TakeModemLine(buffer), std::string(kModemLineLimit, 'x'));
  EXPECT_EQ(TakeModemLine(buffer), "xxx");
  EXPECT_EQ(buffer, "");
}

}  // namespace
