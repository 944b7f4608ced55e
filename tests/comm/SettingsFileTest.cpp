// Writing the settings file on a disk that fills up: a write cut short must
// leave the file as it was and say so.
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>

#include "comm/SettingsFile.h"
#include "support/FileSizeLimit.h"
#include "support/TempHome.h"

namespace {

constexpr std::size_t kLimit = 2048;

QByteArray Bytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Far more text than the limit lets through.
void AddLongValues(QSettings& settings) {
  for (int i = 0; i < 40; ++i) settings.setValue(QString("Long/Value%1").arg(i), QString(200, 'x'));
}

class SettingsFileTest : public testing::Test {
 protected:
  TTempHome home;
  QString path = QSettings("Zeb", "Wombat").fileName();
};

}  // namespace

TEST_F(SettingsFileTest, AWholeWriteReadsBackAndLeavesNothingBeside) {
  QSettings settings("Zeb", "Wombat");
  settings.setValue("Settings/Name", "会議室");
  AddLongValues(settings);
  ASSERT_TRUE(SyncSettings(settings));
  EXPECT_EQ(QSettings(path, QSettings::IniFormat).value("Settings/Name").toString(), "会議室");
  EXPECT_FALSE(QFile::exists(path + ".old"));
}

TEST_F(SettingsFileTest, AWriteCutShortLeavesTheOldFileAndFails) {
  {
    QSettings settings("Zeb", "Wombat");
    settings.setValue("Settings/Name", "old");
    ASSERT_TRUE(SyncSettings(settings));
  }
  const QByteArray before = Bytes(path);
  {
    QSettings settings("Zeb", "Wombat");
    settings.setValue("Settings/Name", "new");
    AddLongValues(settings);
    TFileSizeLimit limit(kLimit);
    EXPECT_FALSE(SyncSettings(settings));
  }
  EXPECT_EQ(Bytes(path), before);
  EXPECT_FALSE(QFile::exists(path + ".old"));
}

TEST_F(SettingsFileTest, AFirstWriteCutShortLeavesNoFile) {
  QSettings settings("Zeb", "Wombat");
  AddLongValues(settings);
  TFileSizeLimit limit(kLimit);
  EXPECT_FALSE(SyncSettings(settings));
  EXPECT_FALSE(QFile::exists(path));
}
