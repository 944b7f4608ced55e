// Whole-file saves through a symbolic link that another user could plant in
// a shared folder: the link is replaced, the file it points to never written.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "access/AccessPoint.h"
#include "session/FuncKeys.h"
#include "session/InternetShortcut.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

struct SavedFileCase {
  const char* name;
  const char* fileName;
  std::function<void(const std::string& folder)> save;
};

void PrintTo(const SavedFileCase& c, std::ostream* out) {
  *out << c.fileName;
}

const SavedFileCase kSavedFiles[] = {
    {"Entry", "Temp.ap",
     [](const std::string& folder) {
       TAccessPoint entries;
       entries.SetFolder(folder);
       TAPData record;
       record.HostName = "example.net";
       ASSERT_TRUE(entries.Save("Temp", record));
     }},
    {"FunctionKeys", "FuncKey.txt",
     [](const std::string& folder) {
       TFuncKeys keys;
       keys.Texts[0] = "changed";
       keys.SaveToFile(folder + "/FuncKey.txt");
     }},
    {"Shortcut", "httpevilexamplecomx.url",
     [](const std::string& folder) {
       ASSERT_TRUE(SaveInternetShortcut(folder, 1, "http://evil.example.com/x",
                                        [](const std::string&) {}));
     }},
};

class SavedFileLinkTest : public testing::TestWithParam<SavedFileCase> {};

TEST_P(SavedFileLinkTest, APlantedLinkKeepsItsTargetByteForByte) {
  TTempFolder root;
  fs::create_directory(root / "shared");
  const std::string precious = root / "precious";
  const std::string bytes = "the user's own\r\n\x1A\x82\xa0";
  WriteFileBytes(precious, bytes);
  const std::string planted = root / ("shared/" + std::string(GetParam().fileName));
  fs::create_symlink(precious, planted);

  GetParam().save(root / "shared");

  EXPECT_EQ(ReadFileBytes(precious), bytes);
  EXPECT_FALSE(fs::is_symlink(planted));
  EXPECT_TRUE(fs::is_regular_file(planted));
}

INSTANTIATE_TEST_SUITE_P(EachKind, SavedFileLinkTest, testing::ValuesIn(kSavedFiles),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
