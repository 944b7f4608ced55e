#include <gtest/gtest.h>

#include <filesystem>

#include "session/DefaultSounds.h"
#include "support/FileSizeLimit.h"
#include "support/TempFolder.h"

namespace {

TEST(DefaultSounds, AreWrittenWholeOrNotAtAllAndNeverReplaceTheUsersFiles) {
  TTempFolder folder;
  const QString path = QString::fromStdString(folder.Path());
  {
    TFileSizeLimit limit(1000);
    InstallDefaultSounds(path);
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));

  WriteFileBytes(folder / kDisconnectSoundName, "mine");
  InstallDefaultSounds(path);
  EXPECT_GT(std::filesystem::file_size(folder / kConnectSoundName), 1000u);
  EXPECT_EQ(ReadFileBytes(folder / kConnectSoundName).substr(0, 4), "RIFF");
  EXPECT_EQ(ReadFileBytes(folder / kDisconnectSoundName), "mine");
}

}  // namespace
