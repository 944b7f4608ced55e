#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "access/APConfig.h"
#include "access/AccessPoint.h"
#include "text/Codec.h"

namespace {

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
  TAPConfigForm form(accessPoint);
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
    TAPConfigForm form(accessPoint);
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

  TAPConfigForm form(accessPoint);
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

  TAPConfigForm form(accessPoint);
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
  TAPConfigForm form(accessPoint);
  form.LoadEntry("Old");
  EXPECT_EQ(Get<QComboBox>(form, "DeviceName")->currentText(), "COM1");
  EXPECT_EQ(Get<QComboBox>(form, "DTESpeed")->currentText(), "115200");
  EXPECT_EQ(Get<QLineEdit>(form, "Init1")->text(), "AT");
}

TEST_F(APConfigTest, ClearKeepsLogNameCodesAndSerialSettings) {
  TAPConfigForm form(accessPoint);
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
  TAPConfigForm form(accessPoint);
  form.NewEntry("Entry");
  form.show();
  SetHost(form, "bbs.example");
  Get<QPushButton>(form, "CancelButton")->click();
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(APConfigTest, AFailedSaveIsReportedAndKeepsTheDialogOpen) {
  accessPoint.SetFolder(folder.filePath("missing").toStdString());
  TAPConfigForm form(accessPoint);
  form.NewEntry("Entry");
  form.show();
  SetHost(form, "bbs.example");
  Get<QPushButton>(form, "OKButton")->click();
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_TRUE(form.isVisible());
  EXPECT_NE(form.result(), QDialog::Accepted);
}

}  // namespace
