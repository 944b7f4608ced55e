// The telephony terminal: modem lines, address translation with the dialing
// location, direct ports and the dialing-properties hook.
#include <QtCore/qtestsupport_core.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "TapiTestSupport.h"
#include "comm/TapiTerm.h"
#include "support/FakeModem.h"
#include "text/Codec.h"
#include "text/QtCodec.h"

namespace {

struct TListedLine {
  QString Name;
  QString Device;
  QString Init = {};
};

void ListLines(const std::vector<TListedLine>& lines) {
  QSettings settings("Zeb", "Wombat");
  settings.beginGroup("Telephony");
  settings.beginWriteArray("Lines", static_cast<int>(lines.size()));
  for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
    settings.setArrayIndex(i);
    settings.setValue("Name", lines[i].Name);
    settings.setValue("Device", lines[i].Device);
    if (!lines[i].Init.isEmpty()) settings.setValue("Init", lines[i].Init);
  }
  settings.endArray();
}

class TapiTermTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(QDir().mkpath(DeviceFolder())); }
  QString DeviceFolder() const { return Settings.Path() + "/by-id"; }
  std::unique_ptr<TTapiTerminal> MakeTerminal() {
    auto terminal = std::make_unique<TTapiTerminal>(nullptr, DeviceFolder());
    terminal->OnEvent = [this](QObject*, const QString& message) { Events += message + ";"; };
    terminal->OnConnect = [this](QObject*) { Events += "connect;"; };
    terminal->OnDisconnect = [this](QObject*) { Events += "disconnect;"; };
    terminal->OnRequestHangup = [this](QObject*) { Events += "hangup;"; };
    return terminal;
  }

  TTempSettings Settings;
  QString Events;
};

TEST(ModemListTest, AddLineReplacesTheItemWithTheSameIdentifier) {
  TModemList list;
  EXPECT_EQ(list.MaxID(), -1);
  list.AddLine(3, "A");
  list.AddLine(1, "B");
  list.AddLine(3, "C");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.MaxID(), 3);
  EXPECT_EQ(list.IndexOfID(3), 0);
  EXPECT_EQ(list.IndexOfName("A"), -1);
  EXPECT_EQ(list.LineByID(3).Name, "C");
  EXPECT_EQ(list.LineByID(2).Name, "");
  EXPECT_EQ(list.LineByID(2).ID, -1);
}

TEST_F(TapiTermTest, ListsUsableLinesInIdentifierOrder) {
  ListLines({{"Modem A", "/dev/null"},
             {"Gone", Settings.Path() + "/no-such-device"},
             {"モデムC", "/dev/zero"}});
  // A device found under by-id that a listed line already uses is no new line.
  QFile::link("/dev/null", DeviceFolder() + "/usb-Same_As_A-if00");
  QFile::link("/dev/full", DeviceFolder() + "/usb-Fake_Modem-if00");
  auto terminal = MakeTerminal();

  std::vector<std::string> names{"stale"};
  terminal->GetModemNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"Modem A", Sjis("モデムC"), "usb-Fake_Modem-if00"}));

  terminal->SetModemName(Sjis("モデムC"));
  EXPECT_EQ(terminal->DeviceID(), 2);
  EXPECT_EQ(terminal->ModemName(), Sjis("モデムC"));
  terminal->SetModemName("usb-Fake_Modem-if00");
  EXPECT_EQ(terminal->DeviceID(), 3);
  for (const char* missing : {"Gone", "Modem B"}) {
    terminal->SetModemName(missing);
    EXPECT_EQ(terminal->DeviceID(), -1) << missing;
    EXPECT_EQ(terminal->ModemName(), "");
  }
  terminal->SetPhoneNumber("12345678");
  terminal->MakeCall();
  QTest::qWait(50);
  EXPECT_EQ(Events, "") << "no line, no call";
}

TEST_F(TapiTermTest, TranslatesTheAddressWithTheDialingLocation) {
  struct TCase {
    const char* Name;
    TDialLocation Location;
    std::string Country, City, Number;
    std::string Canonical, Dialable, Displayable;
  };
  const TDialLocation tokyo{"81", "3", "0", "010", "", false};
  TDialLocation pulseBehindExchange = tokyo;
  pulseBehindExchange.OutsideLine = "9";
  pulseBehindExchange.PulseDialing = true;
  const TCase cases[] = {
      {"same area", tokyo, "81", "3", "12345678", "+81 (3) 12345678", "T12345678", "12345678"},
      {"codes of the location",
       {"44", "20", "0", "00", "", false},
       "",
       "",
       "12345678",
       "+44 (20) 12345678",
       "T12345678",
       "12345678"},
      {"other area", tokyo, "81", "6", "1234-5678", "+81 (6) 1234-5678", "T0612345678",
       "0612345678"},
      {"other country", tokyo, "1", "212", "555 1234", "+1 (212) 555 1234", "T01012125551234",
       "01012125551234"},
      {"outside line, pulse", pulseBehindExchange, "", "", "12345678", "+81 (3) 12345678",
       "P9,12345678", "9,12345678"},
  };
  auto terminal = MakeTerminal();
  for (const TCase& c : cases) {
    WriteDialLocation(c.Location);
    terminal->SetCountryCode(c.Country);
    terminal->SetCityCode(c.City);
    terminal->SetPhoneNumber(c.Number);
    EXPECT_EQ(terminal->CanonicalAddress(), c.Canonical) << c.Name;
    EXPECT_EQ(terminal->DialableAddress(), c.Dialable) << c.Name;
    EXPECT_EQ(terminal->DisplayableAddress(), c.Displayable) << c.Name;
  }
}

TEST_F(TapiTermTest, AnUntranslatableAddressKeepsThePreviousTextButIsNotDialled) {
  TPseudoTerminal modem;
  ListLines({{"Modem", QString::fromStdString(modem.SlavePath())}});
  auto terminal = MakeTerminal();
  terminal->SetModemName("Modem");
  terminal->SetPhoneNumber("12345678");
  terminal->SetCountryCode("x1");
  EXPECT_EQ(terminal->CanonicalAddress(), "+x1 (" + ReadDialLocation().AreaCode + ") 12345678");
  EXPECT_EQ(terminal->DisplayableAddress(), "12345678");
  terminal->MakeCall();
  EXPECT_EQ(Events, "接続できませんでした;");
  EXPECT_EQ(modem.ReadAvailable(100), "");
}

TEST_F(TapiTermTest, TranslateDialogLetsTheHookEditTheLocation) {
  WriteDialLocation({"81", "3", "0", "010", "", false});
  auto terminal = MakeTerminal();
  terminal->SetPhoneNumber("12345678");
  std::string shown;
  terminal->OnTranslateDialog = [&shown](const std::string& canonical) {
    shown = canonical;
    TDialLocation location = ReadDialLocation();
    location.OutsideLine = "0";
    WriteDialLocation(location);
  };
  terminal->TranslateDialog();
  EXPECT_EQ(shown, "+81 (3) 12345678");
  EXPECT_EQ(terminal->DisplayableAddress(), "0,12345678");
}

TEST_F(TapiTermTest, ANumberNamingAPortOpensItDirectlyWithoutConnectEvent) {
  TPseudoTerminal port;
  ListLines({{"Modem", "/dev/null"}});
  QSettings("Zeb", "Wombat").setValue("Comm/COM2", QString::fromStdString(port.SlavePath()));
  auto terminal = MakeTerminal();
  std::string received;
  terminal->OnReceiveData = [&received](const char* buffer, std::uint16_t length) {
    received.append(buffer, length);
  };
  terminal->SetModemName("Modem");
  terminal->SetPhoneNumber("COM2");
  terminal->MakeCall();
  ASSERT_TRUE(terminal->PortAttached());
  port.Write("login:");
  ASSERT_TRUE(QTest::qWaitFor([&] { return received == "login:"; }));
  ASSERT_TRUE(terminal->Write("guest\r", 6));
  EXPECT_EQ(port.ReadAvailable(), "guest\r");
  terminal->HangUp();
  EXPECT_FALSE(terminal->PortAttached());
  EXPECT_EQ(Events, "");
}

TEST_F(TapiTermTest, ADirectPortThatCannotCarryDataIsReported) {
  ListLines({{"Modem", "/dev/null"}});
  const QString plainFile = Settings.Path() + "/plain-file";
  ASSERT_TRUE(QFile(plainFile).open(QIODevice::WriteOnly));
  const std::pair<QString, QString> cases[] = {
      {Settings.Path() + "/no-such-port", "直接制御ができませんでした;"},
      {plainFile, "直接制御ができませんでした;"},
  };
  auto terminal = MakeTerminal();
  terminal->SetModemName("Modem");
  terminal->SetPhoneNumber("COM3");
  for (const auto& [device, events] : cases) {
    QSettings("Zeb", "Wombat").setValue("Comm/COM3", device);
    Events.clear();
    terminal->MakeCall();
    EXPECT_EQ(Events, events) << device.toStdString();
    EXPECT_FALSE(terminal->PortAttached());
  }
}

// Port names map as the serial ports' do: "COMn" through the settings; a
// number merely containing "COM" names no port, even when a file of that name
// lies in the current folder.
TEST_F(TapiTermTest, PortNamesMapAsTheSerialPortsDo) {
  TPseudoTerminal port;
  ListLines({{"Modem", "/dev/null"}});
  QSettings("Zeb", "Wombat").setValue("Comm/COM5", QString::fromStdString(port.SlavePath()));
  const QString previousFolder = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(Settings.Path()));
  ASSERT_TRUE(QFile("12COM3").open(QIODevice::WriteOnly));
  auto terminal = MakeTerminal();
  terminal->SetModemName("Modem");
  terminal->SetPhoneNumber("12COM3");
  terminal->MakeCall();
  EXPECT_EQ(Events, "直接制御ができませんでした;");
  EXPECT_FALSE(terminal->PortAttached());

  Events.clear();
  terminal->SetPhoneNumber("COM5");
  terminal->MakeCall();
  EXPECT_TRUE(terminal->PortAttached());
  EXPECT_EQ(Events, "");
  terminal->HangUp();
  QDir::setCurrent(previousFolder);
}

// A modem that has gone since the list was made gives one reason, and no call.
TEST_F(TapiTermTest, AModemThatHasGoneIsReportedOnce) {
  auto modem = std::make_unique<TFakeModem>();
  ListLines({{"Modem", QString::fromStdString(modem->DevicePath())}});
  auto terminal = MakeTerminal();
  terminal->SetModemName("Modem");
  terminal->SetPhoneNumber("12345678");
  ASSERT_NE(terminal->DeviceID(), -1);
  modem.reset();
  terminal->MakeCall();
  QTest::qWait(100);
  EXPECT_EQ(Events, "TAPIの初期化に失敗しました;");
}

class TapiCallTest : public TapiTermTest {
 protected:
  void SetUp() override {
    TapiTermTest::SetUp();
    WriteDialLocation({"81", "3", "0", "010", "", false});
    ListLines({{"Modem", QString::fromStdString(Modem.DevicePath()), "ATZ"}});
    Terminal = MakeTerminal();
    Terminal->OnReceiveData = [this](const char* buffer, std::uint16_t length) {
      Received.append(buffer, length);
    };
    Terminal->SetModemName("Modem");
    Terminal->SetCityCode("6");
    Terminal->SetPhoneNumber("1234-5678");
  }

  TFakeModem Modem;
  std::unique_ptr<TTapiTerminal> Terminal;
  std::string Received;
};

TEST_F(TapiCallTest, ACallConnectsAndCarriesALogin) {
  Modem.SetHostEcho(false);
  Modem.AddHostReply("guest\r", "Welcome\r\n");
  Terminal->MakeCall();
  ASSERT_TRUE(QTest::qWaitFor([this] { return Received == "login: "; }));
  EXPECT_EQ(Events, "connect;");
  EXPECT_EQ(Modem.Commands(), (std::vector<std::string>{"ATZ", "ATDT0612345678"}));

  ASSERT_TRUE(Terminal->Write("guest\r", 6));
  ASSERT_TRUE(QTest::qWaitFor([this] { return Received == "login: Welcome\r"; }));
  Terminal->HangUp();
  EXPECT_FALSE(Terminal->PortAttached());
  QTest::qWait(100);
  EXPECT_EQ(Events, "connect;");
}

TEST_F(TapiCallTest, AFailedDialGivesDisconnectAndHangsUp) {
  const std::pair<const char*, QString> cases[] = {
      {"BUSY", "disconnect;回線がビジーです;"},
      {"NO CARRIER", "disconnect;"},
      {"NO DIALTONE", "disconnect;"},
      {"NO ANSWER", "disconnect;"},
      {"ERROR", "disconnect;"},
  };
  for (const auto& [result, events] : cases) {
    Events.clear();
    Modem.SetDialResult(result);
    Terminal->MakeCall();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Events.isEmpty(); })) << result;
    QTest::qWait(50);
    EXPECT_EQ(Events, events) << result;
    EXPECT_FALSE(Terminal->PortAttached()) << result;
  }
  // The failed calls are gone: the next one connects.
  Events.clear();
  Modem.SetDialResult("CONNECT 9600");
  Terminal->MakeCall();
  EXPECT_TRUE(QTest::qWaitFor([this] { return Events == "connect;"; }));
}

TEST_F(TapiCallTest, AVanishedModemGivesOneHangupRequest) {
  Terminal->MakeCall();
  ASSERT_TRUE(QTest::qWaitFor([this] { return Received == "login: "; }));
  Modem.Vanish();
  ASSERT_TRUE(QTest::qWaitFor([this] { return Events.contains("hangup;"); }));
  Terminal->Write("x", 1);
  QTest::qWait(300);
  EXPECT_EQ(Events, "connect;hangup;");
  Terminal->HangUp();
}

TEST_F(TapiCallTest, AModemVanishingWhileDiallingDisconnectsTheCall) {
  Terminal->MakeCall();
  Modem.Vanish();
  EXPECT_TRUE(QTest::qWaitFor([this] { return Events == "disconnect;"; }));
}

TEST_F(TapiCallTest, HangingUpWhileDiallingRaisesNoLaterEvents) {
  Terminal->MakeCall();
  ASSERT_TRUE(Modem.WaitForCommands(2));
  Terminal->HangUp();
  QTest::qWait(300);
  EXPECT_EQ(Events, "");
  EXPECT_FALSE(Terminal->PortAttached());
}

}  // namespace
