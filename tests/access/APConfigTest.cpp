#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QSettings>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "access/APConfig.h"
#include "access/AccessPoint.h"
#include "comm/TapiTerm.h"
#include "support/TempHome.h"
#include "text/Codec.h"

namespace {

TDialLocation DialingFromArea(const std::string& area) {
  TDialLocation location;
  location.AreaCode = area;
  return location;
}

class APConfigTest : public testing::Test {
 protected:
  APConfigTest() {
    accessPoint.SetFolder(folder.path().toStdString());
    accessPoint.ShowMessage = [this](const std::string& text) { messages.push_back(text); };
  }

  template <typename T>
  T* Get(TAPConfigForm& form, const char* name) {
    T* child = form.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  bool Shown(TAPConfigForm& form, const char* name) {
    return !Get<QWidget>(form, name)->isHidden();
  }
  void SetHost(TAPConfigForm& form, const QString& host) {
    Get<QComboBox>(form, "HostName")->setEditText(host);
  }

  // The telephony terminal lists no modem unless a test lists one.
  TTempHome home;
  TTapiTerminal terminal{nullptr, home.DataFile("by-id")};
  QTemporaryDir folder;
  TAccessPoint accessPoint;
  std::vector<std::string> messages;
};

TEST_F(APConfigTest, HostAndDeviceRules) {
  struct Case {
    const char* host;
    bool portShown;
    bool okEnabled;
    int width;
  };
  const Case cases[] = {
      {"bbs.example", true, true, 258}, {"03-1234-5678", false, true, 443},
      {"123.45", true, true, 258},  // a dot makes it a host name
      {"# *,-9", false, true, 443},     {"", false, false, 443},
  };
  TAPConfigForm form(accessPoint, terminal);
  form.NewEntry("Entry");
  form.show();
  for (const Case& c : cases) {
    SetHost(form, c.host);
    EXPECT_EQ(Shown(form, "PortName"), c.portShown) << c.host;
    EXPECT_EQ(Shown(form, "DeviceName"), !c.portShown) << c.host;
    EXPECT_EQ(Shown(form, "ComPanel"), !c.portShown) << c.host;  // COM1 is chosen
    EXPECT_FALSE(Shown(form, "TAPIPanel")) << c.host;
    EXPECT_EQ(Get<QPushButton>(form, "OKButton")->isEnabled(), c.okEnabled) << c.host;
    EXPECT_EQ(form.width(), c.width) << c.host;
    EXPECT_EQ(form.height(), 295) << c.host;
  }
  SetHost(form, "bbs.example");
  Get<QComboBox>(form, "PortName")->setEditText("");
  EXPECT_FALSE(Get<QPushButton>(form, "OKButton")->isEnabled());
}

TEST_F(APConfigTest, SerialEntryIsSavedAsItsPortTextAndReloads) {
  {
    TAPConfigForm form(accessPoint, terminal);
    form.NewEntry("モデム");
    form.show();
    SetHost(form, "03-1234-5678");
    Get<QComboBox>(form, "DeviceName")->setCurrentText("COM2");
    Get<QComboBox>(form, "DialMethod")->setCurrentText("プッシュ");
    Get<QLineEdit>(form, "Init1")->setText("ATZ");
    Get<QLineEdit>(form, "Init3")->setText("AT&F");
    Get<QComboBox>(form, "DTESpeed")->setCurrentText(" 19200");
    Get<QLineEdit>(form, "IDEdit")->setText("ABC01234");
    Get<QLineEdit>(form, "LogName")->setText("Ni");
    Get<QPushButton>(form, "OKButton")->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
  }
  TAPData saved;
  ASSERT_TRUE(accessPoint.Load(Sjis("モデム"), saved));
  EXPECT_EQ(saved.HostName, "03-1234-5678");
  EXPECT_EQ(saved.Port,
            "COM21ATZ\x1f\x1f"
            "AT&F\x1f 19200\x1f");
  EXPECT_EQ(saved.ID, "ABC01234");

  TAPConfigForm form(accessPoint, terminal);
  form.LoadEntry("モデム");
  form.show();
  EXPECT_EQ(Get<QComboBox>(form, "DeviceName")->currentText(), "COM2");
  EXPECT_EQ(Get<QComboBox>(form, "DialMethod")->currentText(), "プッシュ");
  EXPECT_EQ(Get<QComboBox>(form, "DTESpeed")->currentText(), " 19200");
  EXPECT_EQ(Get<QLineEdit>(form, "Init1")->text(), "ATZ");
  EXPECT_EQ(Get<QLineEdit>(form, "Init2")->text(), "");
  EXPECT_EQ(Get<QLineEdit>(form, "Init3")->text(), "AT&F");
  EXPECT_TRUE(Shown(form, "ComPanel"));
  EXPECT_EQ(form.width(), 443);
}

TEST_F(APConfigTest, TelnetEntryLoadsItsPortAndNarrowsTheDialog) {
  TAPData entry;
  entry.HostName = "bbs.example";
  entry.Port = "2323";
  entry.Password = "secret";
  entry.Script = Sjis("[:]$I'; ⇒Tern");
  ASSERT_TRUE(accessPoint.Save("Tern", entry));

  TAPConfigForm form(accessPoint, terminal);
  form.LoadEntry("Tern");
  form.show();
  EXPECT_EQ(form.EntryName(), "Tern");
  EXPECT_EQ(Get<QComboBox>(form, "PortName")->currentText(), "2323");
  EXPECT_EQ(Get<QLineEdit>(form, "PassEdit")->text(), "secret");
  EXPECT_EQ(Get<QComboBox>(form, "ScriptEdit")->currentText(), "[:]$I'; ⇒Tern");
  EXPECT_EQ(form.width(), 258);
}

TEST_F(APConfigTest, SerialSettingThatNamesNoItemFallsBackToTheFirstPortAndFastestSpeed) {
  TAPData entry;
  entry.HostName = "0123";
  entry.Port = "COM71AT\x1f\x1f\x1f 300\x1f";
  ASSERT_TRUE(accessPoint.Save("Old", entry));
  TAPConfigForm form(accessPoint, terminal);
  form.LoadEntry("Old");
  EXPECT_EQ(Get<QComboBox>(form, "DeviceName")->currentText(), "COM1");
  EXPECT_EQ(Get<QComboBox>(form, "DTESpeed")->currentText(), "115200");
  EXPECT_EQ(Get<QLineEdit>(form, "Init1")->text(), "AT");
}

TEST_F(APConfigTest, ClearKeepsLogNameCodesAndSerialSettings) {
  TAPConfigForm form(accessPoint, terminal);
  form.NewEntry("Entry");
  form.show();
  SetHost(form, "0120");
  Get<QComboBox>(form, "DeviceName")->setCurrentText("COM3");
  Get<QLineEdit>(form, "Init1")->setText("ATZ");
  Get<QLineEdit>(form, "IDEdit")->setText("id");
  Get<QLineEdit>(form, "LogName")->setText("Ni");
  Get<QLineEdit>(form, "CityCode")->setText("03");
  Get<QLineEdit>(form, "CountryCode")->setText("81");
  Get<QPushButton>(form, "ClearButton")->click();
  EXPECT_EQ(Get<QComboBox>(form, "HostName")->currentText(), "");
  EXPECT_EQ(Get<QLineEdit>(form, "IDEdit")->text(), "");
  EXPECT_EQ(Get<QComboBox>(form, "DeviceName")->currentText(), "COM1");
  EXPECT_EQ(Get<QLineEdit>(form, "LogName")->text(), "Ni");
  EXPECT_EQ(Get<QLineEdit>(form, "CityCode")->text(), "03");
  EXPECT_EQ(Get<QLineEdit>(form, "CountryCode")->text(), "81");
  EXPECT_EQ(Get<QLineEdit>(form, "Init1")->text(), "ATZ");
}

TEST_F(APConfigTest, CancelWritesNothing) {
  TAPConfigForm form(accessPoint, terminal);
  form.NewEntry("Entry");
  form.show();
  SetHost(form, "bbs.example");
  Get<QPushButton>(form, "CancelButton")->click();
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(APConfigTest, AFailedSaveIsReportedAndKeepsTheDialogOpen) {
  accessPoint.SetFolder(folder.filePath("missing").toStdString());
  TAPConfigForm form(accessPoint, terminal);
  form.NewEntry("Entry");
  form.show();
  SetHost(form, "bbs.example");
  Get<QPushButton>(form, "OKButton")->click();
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_TRUE(form.isVisible());
  EXPECT_NE(form.result(), QDialog::Accepted);
}

TEST_F(APConfigTest, TelephonyModemsComeFirstAndPreviewTheDialledNumber) {
  QSettings settings("Zeb", "Wombat");
  settings.beginWriteArray("Telephony/Lines", 1);
  settings.setArrayIndex(0);
  settings.setValue("Name", "FakeLine");
  settings.setValue("Device", "/dev/null");
  settings.endArray();
  WriteDialLocation(DialingFromArea("3"));
  TTapiTerminal modems(nullptr, home.DataFile("by-id"));
  std::string previewed;
  modems.OnTranslateDialog = [&](const std::string& canonical) {
    previewed = canonical;
    WriteDialLocation(DialingFromArea("6"));
  };

  TAPConfigForm form(accessPoint, modems);
  form.NewEntry("Line");
  form.show();
  auto* device = Get<QComboBox>(form, "DeviceName");
  ASSERT_EQ(device->count(), 5);
  EXPECT_EQ(device->itemText(0), "FakeLine");
  EXPECT_EQ(device->itemText(1), "COM1");
  SetHost(form, "1234-5678");
  Get<QLineEdit>(form, "CityCode")->setText("6");
  EXPECT_TRUE(Shown(form, "TAPIPanel"));
  EXPECT_FALSE(Shown(form, "ComPanel"));
  EXPECT_EQ(Get<QLabel>(form, "ActualCode")->text(), "0612345678");

  auto* dialProperty = Get<QPushButton>(form, "DialProperty");
  EXPECT_TRUE(dialProperty->isEnabled());
  dialProperty->click();
  EXPECT_EQ(previewed, "+81 (6) 1234-5678");
  EXPECT_EQ(Get<QLabel>(form, "ActualCode")->text(), "12345678");  // now dialled from area 6

  Get<QPushButton>(form, "OKButton")->click();
  TAPData saved;
  ASSERT_TRUE(accessPoint.Load("Line", saved));
  EXPECT_EQ(saved.Port, "FakeLine");
  EXPECT_EQ(saved.CityCode, "6");
  device->setCurrentIndex(1);
  form.LoadEntry("Line");
  EXPECT_EQ(device->currentText(), "FakeLine");
}

}  // namespace
