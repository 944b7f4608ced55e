// Connections through the serial modem on "COM1" and through a telephony
// modem listed in the settings, both played by a fake modem on a
// pseudo-terminal: the dialling, the login script, the host's lines in the
// views and the log, input and break, and the end of the line with its call
// record.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include "ConnectingFixture.h"
#include "support/FakeModem.h"

namespace {

const std::string kFieldEnd = "\x1F";

// The serial form of a port text: port, dial digit, three init commands and
// the speed, each field ended by 0x1F.
std::string SerialPort(const std::string& port, char dialDigit,
                       const std::vector<std::string>& fields) {
  std::string text = port + dialDigit;
  for (const std::string& field : fields) text += field + kFieldEnd;
  return text;
}

// The output speed in force on a serial device.
speed_t LineSpeed(const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios settings{};
  const bool read = fd >= 0 && ::tcgetattr(fd, &settings) == 0;
  if (fd >= 0) ::close(fd);
  return read ? ::cfgetospeed(&settings) : B0;
}

class ModemConnectionTest : public ConnectingTest {
 protected:
  void SaveModemEntry(const std::string& host, const std::string& port,
                      const std::string& cityCode = "") {
    TAPData entry;
    entry.HostName = host;
    entry.Port = port;
    entry.ID = "guest";
    entry.Password = "secret";
    entry.Script = "[login:]$I'[word:]$P'";
    entry.LogName = "Lo";
    entry.CityCode = cityCode;
    SaveEntry("Modem", entry);
    SetSetting("AccessList/Default", "Modem");
  }
  // The fake host asks for the password after the ID and greets after it.
  void PlayHost() {
    modem.AddHostReply("guest\r", "Password: ");
    modem.AddHostReply("secret\r", "\r\nWelcome to the host\r\nMain menu\r\n");
  }
  // A telephony line named "FakeLine" on the fake modem, dialling from area 3
  // in Japan.
  void ListTelephonyLine() {
    QSettings settings("Zeb", "Wombat");
    settings.beginGroup("Telephony");
    settings.beginWriteArray("Lines", 1);
    settings.setArrayIndex(0);
    settings.setValue("Name", "FakeLine");
    settings.setValue("Device", QString::fromStdString(modem.DevicePath()));
    settings.endArray();
    settings.endGroup();
    settings.setValue("Location/CountryCode", "81");
    settings.setValue("Location/AreaCode", "3");
  }

  // Logged in, the host's lines shown and logged, then the modem vanishes:
  // the connection ends once, with one call record line.
  void ExpectSessionUntilThePeerVanishes() {
    EXPECT_TRUE(modem.WaitForHostReceived("guest\rsecret\r"));
    ASSERT_TRUE(WaitForLine("Main menu"));
    EXPECT_TRUE(ViewShows("TerminalView", "Welcome to the host"));
    EXPECT_TRUE(ViewShows("LogView", "Main menu"));
    EXPECT_TRUE(ViewShows("TerminalView", "Password: secret"));  // the host's echo
    EXPECT_EQ(form->windowTitle(), "Wombat - Modem");
    EXPECT_FALSE(Enabled("CancelButton"));  // the script has ended
    // The input line and the break command reach the modem.
    Enter("hello");
    EXPECT_TRUE(modem.WaitForHostReceived("secret\rhello\r"));
    form->findChild<QAction*>("KB1")->trigger();
    EXPECT_TRUE(Connected());

    modem.Vanish();
    ASSERT_TRUE(WaitForIdle());
    RunEventsFor(300);  // a second end would arrive now
    EXPECT_EQ(form->ConnectKind(), TWombatForm::kNoConnection);
    EXPECT_EQ(form->windowTitle(), "Wombat");
    const std::string record = ReadDataFile("Phone.txt");
    EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 1) << record;
    EXPECT_TRUE(record.starts_with("Modem" + std::string(25, ' ') +
                                   QDate::currentDate().toString("yyyy.MM.dd").toStdString()))
        << record;
    const std::string log = TodaysLog();  // written out when the log closes
    EXPECT_NE(log.find("Welcome to the host\r\n"), std::string::npos) << log;
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join("; ").toStdString();
  }

  TFakeModem modem;
};

TEST_F(ModemConnectionTest, SerialModemDialsWithTheEntrysSettingsAndRunsTheSession) {
  PlayHost();
  SetSetting("Comm/COM1", QString::fromStdString(modem.DevicePath()));
  SaveModemEntry("03-1234-5678", SerialPort("COM1", '1', {"ATZ", "", "ATX4", " 19200"}));
  Start();
  EXPECT_EQ(Get<QLineEdit>("PortEdit")->text(), "COM1");
  Click("Connect1");
  EXPECT_EQ(form->ConnectKind(), TWombatForm::kSerialModem);
  EXPECT_EQ(Status(), "03-1234-5678へ接続しています");
  EXPECT_EQ(LineSpeed(modem.DevicePath()), speed_t{B19200});
  ASSERT_TRUE(modem.WaitForCommands(4));
  EXPECT_EQ(modem.Commands(), (std::vector<std::string>{"AT", "ATZ", "ATX4", "ATDT03-1234-5678"}));
  // The modem's replies are shown and logged, but never answer the script.
  EXPECT_TRUE(WaitForLine("CONNECT 115200"));
  ExpectSessionUntilThePeerVanishes();
}

// A telnet link never dials: the modem on COM1 hears nothing, and the user
// is told why.
TEST_F(ModemConnectionTest, ATelnetLinkWithATelephoneNumberIsRefusedAndNeverDials) {
  SetSetting("Comm/COM1", QString::fromStdString(modem.DevicePath()));
  SaveModemEntry("03-1234-5678", SerialPort("COM1", '1', {"ATZ", "", "", " 19200"}));
  for (const QStringList& arguments :
       {QStringList{"telnet://0990123456:COM1/"}, QStringList{"telnet://0990123456/"},
        QStringList{"0990123456", "COM1"}}) {
    ui.messages.clear();
    Start(arguments);
    RunEventsFor(300);
    EXPECT_EQ(form->ConnectKind(), TWombatForm::kNoConnection);
    EXPECT_TRUE(modem.Commands().empty()) << arguments.join(' ').toStdString();
    ASSERT_EQ(ui.messages.size(), 1) << arguments.join(' ').toStdString();
    EXPECT_TRUE(ui.messages.front().contains("0990123456")) << ui.messages.front().toStdString();
    EXPECT_EQ(Status(), ui.messages.front());
    form.reset();
  }
}

TEST_F(ModemConnectionTest, SerialDialMethodAndSpeedFallBackAsStored) {
  struct Case {
    std::string port;
    speed_t speed;
    std::vector<std::string> commands;
  };
  const Case cases[] = {
      {SerialPort("COM1", '0', {"", "", "", "  9600"}), B9600, {"AT", "ATZ", "ATDP123"}},
      {SerialPort("COM1", '1', {"", "", "", "300"}), B115200, {"AT", "ATZ", "ATDT123"}},
      {SerialPort("COM1", '1', {"", "", "", "fast"}), B115200, {"AT", "ATZ", "ATDT123"}},
      {"COM1", B115200, {"AT", "ATZ", "ATDT123"}},
  };
  for (const Case& c : cases) {
    TFakeModem caseModem;
    SetSetting("Comm/COM1", QString::fromStdString(caseModem.DevicePath()));
    SaveModemEntry("123", c.port);
    form.reset();
    Start();
    Click("Connect1");
    EXPECT_EQ(LineSpeed(caseModem.DevicePath()), c.speed) << c.port;
    ASSERT_TRUE(caseModem.WaitForCommands(c.commands.size())) << c.port;
    EXPECT_EQ(caseModem.Commands(), c.commands) << c.port;
    ASSERT_TRUE(WaitUntil([&] { return Status() == "接続しました"; }, kWaitMs)) << c.port;
    Click("Disconnect1");
    EXPECT_TRUE(WaitForIdle()) << c.port;
  }
}

// A dial that the modem refuses ends the attempt with the disconnect sound
// and the modem's result in the status line, however the echo of the dial
// command arrives.
TEST_F(ModemConnectionTest, ARefusedDialReturnsToIdleWithTheModemsResult) {
  struct Case {
    TFakeModem::TDialEcho echo;
    const char* result;
  };
  const Case cases[] = {{TFakeModem::TDialEcho::Split, "NO CARRIER"},
                        {TFakeModem::TDialEcho::WithResult, "ERROR"}};
  for (const Case& c : cases) {
    TFakeModem caseModem;
    caseModem.SetDialEcho(c.echo);
    caseModem.SetDialResult(c.result);
    SetSetting("Comm/COM1", QString::fromStdString(caseModem.DevicePath()));
    SaveModemEntry("123", "COM1");
    form.reset();
    Start();
    RecordSounds();
    Click("Connect1");
    ASSERT_TRUE(WaitForIdle()) << c.result;
    RunEventsFor(300);  // a wrong connect would arrive now
    EXPECT_EQ(Status(), c.result);
    EXPECT_FALSE(Connected()) << c.result;
    EXPECT_EQ(form->ConnectKind(), TWombatForm::kNoConnection) << c.result;
    EXPECT_EQ(form->windowTitle(), "Wombat") << c.result;
    EXPECT_EQ(sounds, QStringList{"Discon.wav"}) << sounds.join(", ").toStdString();
    EXPECT_TRUE(ViewShows("TerminalView", c.result)) << c.result;
  }
  EXPECT_EQ(ReadDataFile("Phone.txt"), "");
}

// The user's hang-up ends the connection once: one disconnect sound.
TEST_F(ModemConnectionTest, DisconnectingASerialModemEndsTheConnectionOnce) {
  SetSetting("Comm/COM1", QString::fromStdString(modem.DevicePath()));
  SaveModemEntry("123", "COM1");
  Start();
  RecordSounds();
  Click("Connect1");
  ASSERT_TRUE(WaitUntil([&] { return Status() == "接続しました"; }, kWaitMs));
  Click("Disconnect1");
  EXPECT_FALSE(Connected());
  RunEventsFor(300);
  EXPECT_EQ(sounds, QStringList({"Connect.wav", "Discon.wav"}));
  EXPECT_TRUE(modem.WaitForHostReceived("ATZ\r"));
  const std::string record = ReadDataFile("Phone.txt");
  EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 1) << record;
}

// A modem that never answers leaves the attempt waiting; the user's
// disconnect ends it, without a call record, and the port is free again.
TEST_F(ModemConnectionTest, AnAttemptOnASilentModemEndsWithTheUsersDisconnect) {
  TPseudoTerminal silent;
  SetSetting("Comm/COM1", QString::fromStdString(silent.SlavePath()));
  SaveModemEntry("123", "COM1");
  Start();
  Click("Connect1");
  EXPECT_EQ(silent.ReadAvailable(3000), "AT\r");
  RunEventsFor(300);
  EXPECT_TRUE(Enabled("Disconnect1"));
  Click("Disconnect1");
  EXPECT_TRUE(Enabled("Connect1"));
  EXPECT_EQ(ReadDataFile("Phone.txt"), "");
  Click("Connect1");
  EXPECT_EQ(silent.ReadAvailable(3000), "AT\r");
}

// A telephony call that cannot start ends the attempt with its reason.
TEST_F(ModemConnectionTest, ATelephonyCallThatCannotStartReturnsToIdleWithItsReason) {
  ListTelephonyLine();
  struct Case {
    const char* countryCode;
    bool modemGone;
    QString reason;
  };
  const Case cases[] = {{"x", false, "接続できませんでした"},
                        {"81", true, "TAPIの初期化に失敗しました"}};
  for (const Case& c : cases) {
    SaveModemEntry("1234-5678", "FakeLine", "3");
    TAccessPoint accessPoint;
    accessPoint.SetFolder(FromQString(home.DataFolder()));
    TAPData entry;
    ASSERT_TRUE(accessPoint.Load("Modem", entry));
    entry.CountryCode = c.countryCode;
    ASSERT_TRUE(accessPoint.Save("Modem", entry));
    form.reset();
    Start();
    RecordSounds();
    if (c.modemGone) modem.Vanish();
    Click("Connect1");
    EXPECT_EQ(Status(), c.reason);
    EXPECT_FALSE(Connected());
    EXPECT_EQ(form->ConnectKind(), TWombatForm::kNoConnection);
    EXPECT_EQ(form->windowTitle(), "Wombat");
    EXPECT_TRUE(sounds.isEmpty());
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join("; ").toStdString();
  }
}

TEST_F(ModemConnectionTest, AWrongPortOrModemNameIsShownAndNothingStarts) {
  struct Case {
    const char* port;
    const char* message;
  };
  const Case cases[] = {
      {"COM5", "正しいCOMポートを選択してください。"},
      {"COMX1", "正しいCOMポートを選択してください。"},
      {"NoSuchModem", "正しいモデムを選択してください。"},
  };
  ListTelephonyLine();
  for (const Case& c : cases) {
    ui.messages.clear();
    SaveModemEntry("123", c.port);
    form.reset();
    Start();
    Click("Connect1");
    EXPECT_EQ(ui.messages, QStringList{c.message}) << c.port;
    EXPECT_TRUE(Enabled("Connect1")) << c.port;
    EXPECT_FALSE(Enabled("Disconnect1")) << c.port;
    EXPECT_EQ(form->ConnectKind(), TWombatForm::kNoConnection) << c.port;
  }
  EXPECT_TRUE(modem.Commands().empty());
}

TEST_F(ModemConnectionTest, ASerialPortThatCannotBeOpenedShowsWhyAndReturnsToIdle) {
  SetSetting("Comm/COM1", home.DataFile("no-such-device"));
  SaveModemEntry("123", "COM1");
  Start();
  Click("Connect1");
  EXPECT_TRUE(Enabled("Connect1"));
  EXPECT_FALSE(Enabled("Disconnect1"));
  EXPECT_EQ(form->ConnectKind(), TWombatForm::kNoConnection);
  EXPECT_FALSE(Status().isEmpty());
  EXPECT_FALSE(Status().endsWith("へ接続しています")) << Status().toStdString();
  EXPECT_EQ(ReadDataFile("Phone.txt"), "");
}

TEST_F(ModemConnectionTest, TelephonyModemCallsTheTranslatedNumberAndRunsTheSession) {
  PlayHost();
  ListTelephonyLine();
  SaveModemEntry("1234-5678", "FakeLine", "3");
  Start();
  Click("Connect1");
  EXPECT_EQ(form->ConnectKind(), TWombatForm::kTelephonyModem);
  EXPECT_EQ(Status(), "12345678へ接続しています");
  ASSERT_TRUE(modem.WaitForCommands(1));
  EXPECT_EQ(modem.Commands(), (std::vector<std::string>{"ATDT12345678"}));
  ExpectSessionUntilThePeerVanishes();
}

TEST_F(ModemConnectionTest, ABusyTelephonyLineEndsTheAttemptWithoutACallRecord) {
  modem.SetDialResult("BUSY");
  ListTelephonyLine();
  SaveModemEntry("1234-5678", "FakeLine", "3");
  Start();
  Click("Connect1");
  EXPECT_TRUE(Connected());
  ASSERT_TRUE(WaitForIdle());
  RunEventsFor(100);
  EXPECT_EQ(Status(), "回線がビジーです");
  EXPECT_FALSE(Enabled("CancelButton"));
  EXPECT_EQ(form->ConnectKind(), TWombatForm::kNoConnection);
  EXPECT_EQ(ReadDataFile("Phone.txt"), "");
}

}  // namespace
