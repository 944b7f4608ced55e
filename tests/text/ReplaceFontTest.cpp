#include <gtest/gtest.h>

#include "support/TempFolder.h"
#include "text/Codec.h"
#include "text/ReplaceFont.h"

namespace {

constexpr int32_t kCircledOne = 0x87 * 256 + 0x40;  // "①" of code page 932

void ExpectEntry(const TReplaceFont& entry, int32_t code, int32_t replaceCode,
                 const std::string& fontName) {
  EXPECT_EQ(entry.Code, code);
  EXPECT_EQ(entry.ReplaceCode, replaceCode);
  EXPECT_EQ(entry.FontName, fontName);
}

class ReplaceFontTest : public testing::Test {
 protected:
  void Load(const std::string& bytes) {
    WriteFileBytes(folder / "Replace.txt", bytes);
    list.LoadFromFile(folder / "Replace.txt");
  }

  TTempFolder folder;
  TReplaceFontList list;
};

TEST_F(ReplaceFontTest, ReadsFixedColumnsAndSkipsLinesThatDoNotRead) {
  const std::string gothic = Sjis("ＭＳ ゴシック");
  Load("34624   129 " + gothic + "\r\n" +    // "①" drawn as the single byte 0x81
       "   65 33440|Font with spaces  \r\n"  // the separators are not read
       "  100 00066\r"                       // no font column at all
       "   \t\r\n"                           // blank
       "123   00065 left-aligned code\r\n"   // a space after the digits
       "  abc 00065 letters\r\n"
       "00067   1x  letters in the replacement\r\n"
       "   -5    -1 signs\r\n"
       "00068 00069 after the end of text\x1A"
       "00070 00071 never read\r\n");
  ASSERT_EQ(list.Count(), 5);
  ExpectEntry(list.Find(kCircledOne), kCircledOne, 129, gothic);
  ExpectEntry(list.Find(65), 65, 33440, "Font with spaces  ");
  ExpectEntry(list.Find(100), 100, 66, "");
  ExpectEntry(list.Find(-5), -5, -1, "signs");
  ExpectEntry(list.Find(68), 68, 69, "after the end of text");
  for (int32_t skipped : {123, 67, 70}) ExpectEntry(list.Find(skipped), skipped, 0, "");
}

TEST_F(ReplaceFontTest, ALaterLineForTheSameCodeWins) {
  Load("34624 00129 First\r\n34624 33440 Second\r\n");
  EXPECT_EQ(list.Count(), 1);
  ExpectEntry(list.Find(kCircledOne), kCircledOne, 33440, "Second");
}

TEST_F(ReplaceFontTest, WithoutAFileTheListStaysEmpty) {
  list.LoadFromFile(folder / "Replace.txt");
  std::filesystem::create_directory(folder / "folder.txt");
  list.LoadFromFile(folder / "folder.txt");
  EXPECT_EQ(list.Count(), 0);
  ExpectEntry(list.Find(kCircledOne), kCircledOne, 0, "");
}

TEST(ReplaceFontList, AddUpdateAndTheSharedResultOfFind) {
  TReplaceFontList list;
  list.Add({100, 65, "A"});
  list.Add({200, 66, "B"});
  list.Update(300, {300, 67, "C"});  // absent: nothing
  EXPECT_EQ(list.Count(), 2);

  list.Update(100, {100, 68, "D"});
  const TReplaceFont& result = list.Find(100);
  ExpectEntry(result, 100, 68, "D");
  list.Find(200);
  ExpectEntry(result, 200, 66, "B");  // the next Find overwrites the result
  ExpectEntry(list.Find(300), 300, 0, "");
}

}  // namespace
