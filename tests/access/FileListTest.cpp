#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "access/FileList.h"
#include "support/TempFolder.h"
#include "text/Codec.h"

namespace {

using Names = std::vector<std::string>;

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

// a.ap, 日本.ap, notes.txt, noext; folders d.ap/ (empty), sub/ with e.ap,
// skip/ with f.ap, .hidden/ with g.ap.
class FileListTest : public testing::Test {
 protected:
  FileListTest() {
    for (const char* dir : {"d.ap", "sub", "skip", ".hidden"})
      std::filesystem::create_directory(folder / dir);
    for (const char* file :
         {"a.ap", "日本.ap", "notes.txt", "noext", "sub/e.ap", "skip/f.ap", ".hidden/g.ap"})
      WriteFileBytes(folder / file, "x");
    files.SetMask("*.ap");
  }

  TTempFolder folder;
  TFileList files;
  Names found{"stale"};
};

TEST_F(FileListTest, ListsTheMatchingFilesOfTheFolderButNoFolders) {
  files.Enumerate(folder.Path(), &found);
  EXPECT_EQ(Sorted(found), Sorted({"a.ap", Sjis("日本.ap")}));

  files.FullPath = true;
  files.Enumerate(folder.Path() + "/", &found);
  EXPECT_EQ(Sorted(found), Sorted({folder / "a.ap", folder / "日本.ap"}));
}

TEST_F(FileListTest, TheDefaultMaskListsEveryFile) {
  TFileList all;
  all.Enumerate(folder.Path(), &found);
  EXPECT_EQ(Sorted(found), Sorted({"a.ap", Sjis("日本.ap"), "notes.txt", "noext"}));
  all.SetMask("");
  EXPECT_EQ(all.Mask(), "*.*");
}

TEST_F(FileListTest, RecursiveSearchAppendsSubfoldersAfterTheFolderAndSkipsExcludedOnes) {
  files.Recursive = true;
  files.FullPath = true;
  files.ExcludeFolders = {folder / "skip"};
  files.Enumerate(folder.Path(), &found);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(Sorted({found[0], found[1]}), Sorted({folder / "a.ap", folder / "日本.ap"}));
  EXPECT_EQ(found[2], folder / "sub/e.ap");
}

TEST_F(FileListTest, WithoutAListEachFileGoesToOnFound) {
  files.Recursive = true;
  Names reported;
  files.OnFound = [&](TFileList& sender, const std::string& file) {
    EXPECT_EQ(&sender, &files);
    reported.push_back(file);
  };
  files.Enumerate(folder.Path(), nullptr);
  EXPECT_EQ(Sorted(reported), Sorted({"a.ap", Sjis("日本.ap"), "e.ap", "f.ap"}));
}

TEST_F(FileListTest, AMissingFolderGivesAnEmptyList) {
  files.Recursive = true;
  files.Enumerate(folder / "missing", &found);
  EXPECT_TRUE(found.empty());
}

// A folder is a path as the file system names it; only the names found go
// through the codec.
TEST(FileList, AFolderNamedOutsideCp932ListsItsFiles) {
  TTempFolder temp;
  const std::string folder = temp / "zoë〜";
  std::filesystem::create_directory(folder);
  WriteFileBytes(folder + "/会議.ap", "x");
  TFileList files;
  files.SetMask("*.ap");
  Names found;
  files.Enumerate(folder, &found);
  EXPECT_EQ(found, Names{Sjis("会議.ap")});
}

}  // namespace
