#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPalette>
#include <QSettings>

#include "session/GenRegist.h"
#include "support/FileSizeLimit.h"
#include "support/TempHome.h"

namespace {

const QString kSection = QStringLiteral("Settings");

class GenRegistTest : public testing::Test {
 protected:
  TTempHome home;
  TGenRegist reg;

  void Store(const QString& ident, const QString& text) {
    reg.WriteStringData(kWombatKey, kSection, ident, text);
  }
  // The raw text as it lies in the store.
  static QString Raw(const QString& app, const QString& path) {
    return QSettings("Zeb", app).value(path).toString();
  }
};

TEST_F(GenRegistTest, IntegerTextsAndTheirValues) {
  struct Case {
    const char* stored;
    int expected;
  };
  const Case cases[] = {
      {"20", 20}, {"-7", -7}, {"0x14", 20}, {"0X1f", 31},  {"0xFF000005", clWindow}, {"abc", 99},
      {"0x", 99}, {"", 99},   {"0xZZ", 99}, {"12abc", 99}, {"99999999999", 99},
  };
  for (const Case& c : cases) {
    Store("Value", c.stored);
    EXPECT_EQ(reg.ReadIntegerData(kWombatKey, kSection, "Value", 99), c.expected) << c.stored;
  }
  EXPECT_EQ(reg.ReadIntegerData(kWombatKey, kSection, "Missing", 42), 42);
}

TEST_F(GenRegistTest, BooleanTextsAndTheirValues) {
  struct Case {
    const char* stored;
    bool whenDefaultFalse;
    bool whenDefaultTrue;
  };
  const Case cases[] = {
      {"1", true, true},  {"0", false, false},   {"2", true, true},
      {"-1", true, true}, {"0x0", false, false}, {"abc", false, true},
  };
  for (const Case& c : cases) {
    Store("Flag", c.stored);
    EXPECT_EQ(reg.ReadBoolData(kWombatKey, kSection, "Flag", false), c.whenDefaultFalse)
        << c.stored;
    EXPECT_EQ(reg.ReadBoolData(kWombatKey, kSection, "Flag", true), c.whenDefaultTrue) << c.stored;
  }
  EXPECT_TRUE(reg.ReadBoolData(kWombatKey, kSection, "Missing", true));
}

TEST_F(GenRegistTest, ValuesAreStoredAsTextInNestedGroupsOfTheirApplication) {
  reg.WriteIntegerData(kWombatKey, "MainWondow\\Terminal", "VSpace", -3);
  reg.WriteBoolData(kWombatKey, "Settings", "LogEnabled", true);
  reg.WriteBoolData(kWombatKey, "Settings", "FunctionKey", false);
  reg.WriteStringData(kQuokkaKey, "Directory", "OnExecuting", "/opt/ｸｵｯｶ");

  EXPECT_EQ(Raw("Wombat", "MainWondow/Terminal/VSpace"), "-3");
  EXPECT_EQ(Raw("Wombat", "Settings/LogEnabled"), "1");
  EXPECT_EQ(Raw("Wombat", "Settings/FunctionKey"), "0");
  EXPECT_EQ(Raw("Quokka", "Directory/OnExecuting"), "/opt/ｸｵｯｶ");
  EXPECT_FALSE(QSettings("Zeb", "Wombat").contains("Directory/OnExecuting"));

  QString value;
  reg.ReadStringData(kQuokkaKey, "Directory", "OnExecuting", "default", value);
  EXPECT_EQ(value, "/opt/ｸｵｯｶ");
  reg.ReadStringData(kWombatKey, "Directory", "OnExecuting", "default", value);
  EXPECT_EQ(value, "default");
}

TFontData DesignFont() {
  TFontData font;
  font.Font.setFamily("ＭＳ ゴシック");
  font.Font.setPixelSize(12);
  font.Font.setBold(true);
  font.Color = clBlue;
  return font;
}

TEST_F(GenRegistTest, FontRoundTripsThroughItsSevenValues) {
  TFontData written;
  written.Font.setFamily("ＭＳ Ｐゴシック");
  written.Font.setPointSize(14);
  written.Font.setFixedPitch(true);
  written.Font.setItalic(true);
  written.Color = clPurple;
  reg.WriteTFontData(kWombatKey, "MainWindow", "InputBox", written);

  const QString group = "MainWindow/Font/InputBox/";
  EXPECT_EQ(Raw("Wombat", group + "Color"), QString::number(clPurple));
  EXPECT_EQ(Raw("Wombat", group + "Name"), "ＭＳ Ｐゴシック");
  EXPECT_EQ(Raw("Wombat", group + "Pitch"), "2");
  EXPECT_EQ(Raw("Wombat", group + "Size"), "14");
  EXPECT_LT(Raw("Wombat", group + "Height").toInt(), 0);
  EXPECT_EQ(Raw("Wombat", group + "Bold"), "0");
  EXPECT_EQ(Raw("Wombat", group + "Italic"), "1");

  TFontData read;
  reg.ReadTFontData(kWombatKey, "MainWindow", "InputBox", DesignFont(), read);
  EXPECT_EQ(read.Color, clPurple);
  EXPECT_EQ(read.Font.family(), "ＭＳ Ｐゴシック");
  EXPECT_EQ(read.Font.pointSize(), 14);
  EXPECT_TRUE(read.Font.fixedPitch());
  EXPECT_TRUE(read.Font.italic());
  EXPECT_FALSE(read.Font.bold());
}

TEST_F(GenRegistTest, FontStyleIsExactlyTheStoredFlagsAndTheSizeDecides) {
  const QString section = "MainWindow\\Font\\Terminal";
  reg.WriteStringData(kWombatKey, section, "Bold", "0");
  reg.WriteStringData(kWombatKey, section, "Italic", "1");
  reg.WriteStringData(kWombatKey, section, "Height", "-40");
  reg.WriteStringData(kWombatKey, section, "Size", "10");

  TFontData read;
  reg.ReadTFontData(kWombatKey, "MainWindow", "Terminal", DesignFont(), read);
  EXPECT_TRUE(read.Font.italic());
  EXPECT_FALSE(read.Font.bold());  // the default font is bold
  EXPECT_EQ(read.Font.pointSize(), 10);
  // Values not stored come from the default font.
  EXPECT_EQ(read.Font.family(), "ＭＳ ゴシック");
  EXPECT_EQ(read.Color, clBlue);
}

TEST_F(GenRegistTest, MissingFontTakesTheDefaultsWithoutStyle) {
  TFontData read;
  reg.ReadTFontData(kWombatKey, "MainWindow", "Terminal", DesignFont(), read);
  EXPECT_EQ(read.Font.family(), "ＭＳ ゴシック");
  EXPECT_EQ(read.Font.pointSize(), 9);  // 12 pixels at 96 dots per inch
  EXPECT_FALSE(read.Font.bold());
  EXPECT_FALSE(read.Font.italic());
}

TEST_F(GenRegistTest, FaceNameIsCutToThirtyOneBytesOnACharacterBoundary) {
  // "Ａ" is two bytes: sixteen of them are 32 bytes.
  reg.WriteStringData(kWombatKey, "MainWindow\\Font\\Terminal", "Name", QString(16, QChar(0xFF21)));
  TFontData read;
  reg.ReadTFontData(kWombatKey, "MainWindow", "Terminal", DesignFont(), read);
  EXPECT_EQ(read.Font.family(), QString(15, QChar(0xFF21)));
}

TEST_F(GenRegistTest, ColoursKeepTheirStoredValues) {
  for (TColor color : {clBlack, clGreen, clPurple, clRed, clBlue, clWindow})
    EXPECT_EQ(TColorFromColor(ColorFromTColor(color)), color) << color;
  EXPECT_EQ(ColorFromTColor(clRed), QColor(255, 0, 0));
  EXPECT_EQ(ColorFromTColor(clPurple), QColor(128, 0, 128));
  EXPECT_EQ(ColorFromTColor(clWindow), QGuiApplication::palette().color(QPalette::Base));
}

TEST_F(GenRegistTest, AStoreThatCannotBeWrittenOrReadRaisesTheRegistryError) {
  // A folder where the settings file should be cannot be written or read.
  QDir().mkpath(home.SettingsFolder() + "/Zeb/Wombat.conf");
  EXPECT_THROW(reg.WriteIntegerData(kWombatKey, kSection, "Value", 1), ERegistryException);
  EXPECT_THROW(reg.ReadIntegerData(kWombatKey, kSection, "Value", 1), ERegistryException);
}


// A full disk cuts the file short: the write fails and the value before it
// stays.
TEST_F(GenRegistTest, AWriteThatTheDiskCutsShortRaisesAndKeepsTheOldValue) {
  Store("Name", "old");
  const QString longText(8000, 'x');
  {
    TFileSizeLimit limit(2048);
    EXPECT_THROW(Store("Long", longText), ERegistryException);
  }
  EXPECT_EQ(Raw("Wombat", "Settings/Name"), "old");
  EXPECT_EQ(Raw("Wombat", "Settings/Long"), "");
}

// Saving at exit writes the file once: the values reach it together, or on
// a full disk none of them does.
TEST_F(GenRegistTest, BatchedWritesReachTheFileTogetherOrNotAtAll) {
  Store("Name", "old");
  const QString fileName = QSettings("Zeb", "Wombat").fileName();
  auto fileText = [&] {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  };
  reg.BeginWrites(kWombatKey);
  reg.WriteStringData(kWombatKey, kSection, "Name", "new");
  reg.WriteStringData(kWombatKey, kSection, "Long", QString(8000, 'x'));
  EXPECT_TRUE(fileText().contains("Name=old"));
  {
    TFileSizeLimit limit(2048);
    EXPECT_THROW(reg.CommitWrites(), ERegistryException);
  }
  EXPECT_TRUE(fileText().contains("Name=old"));
  EXPECT_FALSE(fileText().contains("Long="));

  reg.BeginWrites(kWombatKey);
  reg.WriteStringData(kWombatKey, kSection, "Name", "new");
  reg.WriteIntegerData(kWombatKey, kSection, "Count", 3);
  reg.CommitWrites();
  EXPECT_TRUE(fileText().contains("Name=new"));
  EXPECT_TRUE(fileText().contains("Count=3"));
}

}  // namespace
