#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/FileSizeLimit.h"
#include "support/TempFolder.h"
#include "text/AtomicFile.h"
#include "text/Errors.h"

namespace {

namespace fs = std::filesystem;

size_t EntriesIn(const std::string& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(AtomicFile, ReplacesTheFileAndLeavesNothingElseBehind) {
  TTempFolder folder;
  WriteFileBytes(folder / "a.txt", "old content");
  WriteFileAtomically(folder / "a.txt", "new");
  EXPECT_EQ(ReadFileBytes(folder / "a.txt"), "new");
  WriteFileAtomically(folder / "b.txt", "");
  EXPECT_TRUE(fs::exists(folder / "b.txt"));
  EXPECT_EQ(EntriesIn(folder.Path()), 2u);
}

TEST(AtomicFile, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  TTempFolder folder;
  const std::string old(50, 'o');
  WriteFileBytes(folder / "a.txt", old);
  {
    TFileSizeLimit limit(100);
    try {
      WriteFileAtomically(folder / "a.txt", std::string(1000, 'n'));
      ADD_FAILURE() << "no error raised";
    } catch (const EInOutError& error) {
      EXPECT_EQ(error.ErrorCode, EFBIG);
    }
  }
  EXPECT_EQ(ReadFileBytes(folder / "a.txt"), old);
  EXPECT_EQ(EntriesIn(folder.Path()), 1u);
  EXPECT_THROW(WriteFileAtomically(folder / "missing/a.txt", "x"), EInOutError);
}

TEST(AtomicFile, PrivateFilesAre0600AndSharedFilesKeepTheirMode) {
  TTempFolder folder;
  WriteFileAtomically(folder / "new.ap", "x", TFileAccess::Private);
  EXPECT_EQ(FileMode(folder / "new.ap"), 0600u);

  WriteFileBytes(folder / "wide.ap", "x");
  chmod((folder / "wide.ap").c_str(), 0644);
  WriteFileAtomically(folder / "wide.ap", "y", TFileAccess::Private);
  EXPECT_EQ(FileMode(folder / "wide.ap"), 0600u);

  WriteFileBytes(folder / "shared.txt", "x");
  chmod((folder / "shared.txt").c_str(), 0640);
  WriteFileAtomically(folder / "shared.txt", "y");
  EXPECT_EQ(FileMode(folder / "shared.txt"), 0640u);
}

// A link planted at the saved name, pointing outside the folder, is replaced
// as a link; the file it points to keeps its bytes and its mode.
TEST(AtomicFile, ASymbolicLinkIsReplacedAndItsTargetKept) {
  TTempFolder folder;
  fs::create_directory(folder / "elsewhere");
  WriteFileBytes(folder / "elsewhere/precious", "old\r\n");
  fs::permissions(folder / "elsewhere/precious", fs::perms(0644));
  for (const TFileAccess access : {TFileAccess::Shared, TFileAccess::Private}) {
    fs::remove(folder / "keys.txt");
    fs::create_symlink(folder / "elsewhere/precious", folder / "keys.txt");
    WriteFileAtomically(folder / "keys.txt", "new", access);
    EXPECT_FALSE(fs::is_symlink(folder / "keys.txt"));
    EXPECT_EQ(ReadFileBytes(folder / "keys.txt"), "new");
    EXPECT_EQ(ReadFileBytes(folder / "elsewhere/precious"), "old\r\n");
    EXPECT_EQ(FileMode(folder / "elsewhere/precious"), 0644u);
  }
  EXPECT_EQ(FileMode(folder / "keys.txt"), 0600u);
}

TEST(AtomicFile, AppendingCreatesAPrivateFileAndRefusesASymbolicLink) {
  TTempFolder folder;
  AppendToFile(folder / "Phone.txt", "one\r\n");
  AppendToFile(folder / "Phone.txt", "two\r\n");
  EXPECT_EQ(ReadFileBytes(folder / "Phone.txt"), "one\r\ntwo\r\n");
  EXPECT_EQ(FileMode(folder / "Phone.txt"), 0600u);

  WriteFileBytes(folder / "precious", "old");
  fs::create_symlink(folder / "precious", folder / "link.txt");
  EXPECT_THROW(AppendToFile(folder / "link.txt", "new"), EInOutError);
  EXPECT_EQ(ReadFileBytes(folder / "precious"), "old");
}

}  // namespace
