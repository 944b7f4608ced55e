#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <string>

#include "session/FuncKeys.h"
#include "support/FileSizeLimit.h"
#include "text/Errors.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class FuncKeyFile : public testing::Test {
 protected:
  std::string Path() const { return Folder.filePath(FuncKeyFileName).toStdString(); }
  QTemporaryDir Folder;
};

TEST_F(FuncKeyFile, ShortFileIsPaddedAndSavedAsThirtySixLines) {
  std::string content;
  for (int i = 1; i <= 10; ++i) content += "key" + std::to_string(i) + "\r\n";
  WriteFile(Path(), content);

  TFuncKeys keys;
  keys.LoadFromFile(Path());
  ASSERT_EQ(keys.Texts.size(), 36u);
  EXPECT_EQ(keys.Texts[0], "key1");
  EXPECT_EQ(keys.Texts[9], "key10");
  EXPECT_EQ(keys.Texts[10], "");
  EXPECT_EQ(keys.Texts[35], "");

  keys.SaveToFile(Path());
  std::string expected = content;
  for (int i = 10; i < 36; ++i) expected += "\r\n";
  EXPECT_EQ(ReadFile(Path()), expected);
}

TEST_F(FuncKeyFile, RoundTripKeepsEntriesBeyondThirtySix) {
  TFuncKeys keys;
  keys.Texts.assign(40, "");
  keys.Texts[14] = "shift three";
  keys.Texts[39] = "\x82\xa0";  // a double-byte character
  keys.SaveToFile(Path());

  TFuncKeys loaded;
  loaded.LoadFromFile(Path());
  EXPECT_EQ(loaded.Texts, keys.Texts);
}

// The file is saved at every exit; a full disk must not cut it short.
TEST_F(FuncKeyFile, AFailedSaveKeepsTheOldFileWithAllItsLines) {
  TFuncKeys keys;
  for (size_t i = 0; i < keys.Texts.size(); ++i) keys.Texts[i] = "old" + std::to_string(i);
  keys.SaveToFile(Path());
  TFuncKeys changed = keys;
  changed.Texts[0] = std::string(200, 'n');
  {
    TFileSizeLimit limit(100);
    EXPECT_THROW(changed.SaveToFile(Path()), EInOutError);
  }
  TFuncKeys loaded;
  loaded.LoadFromFile(Path());
  EXPECT_EQ(loaded.Texts, keys.Texts);
}

TEST_F(FuncKeyFile, EveryKindOfLineEndEndsAKeyAndTheEndMarkEndsTheFile) {
  using Texts = std::vector<std::string>;
  const std::pair<std::string, Texts> cases[] = {
      {"a\r\nb\r\n", {"a", "b"}},   {"a\nb\n", {"a", "b"}},
      {"a\rb", {"a", "b"}},          {"a\r\n\nb\n", {"a", "", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},  {"a\n\x1A" "b\n", {"a"}},
      {"\x1A" "a\r\n", {}},
  };
  for (const auto& [bytes, texts] : cases) {
    WriteFile(Path(), bytes);
    TFuncKeys keys;
    keys.LoadFromFile(Path());
    Texts expected = texts;
    expected.resize(36);
    EXPECT_EQ(keys.Texts, expected) << testing::PrintToString(bytes);
  }
}

TEST_F(FuncKeyFile, ChangedOnlyWhileTheTextsDifferFromTheFile) {
  TFuncKeys keys;
  keys.LoadFromFile(Path());
  EXPECT_TRUE(keys.Changed()) << "no file yet";
  keys.SaveToFile(Path());
  EXPECT_FALSE(keys.Changed());

  WriteFile(Path(), "a\nb\n\x1A");
  TFuncKeys loaded;
  loaded.LoadFromFile(Path());
  EXPECT_FALSE(loaded.Changed());
  loaded.Texts[1] = "c";
  EXPECT_TRUE(loaded.Changed());
  loaded.Texts[1] = "b";
  EXPECT_FALSE(loaded.Changed());
}

TEST_F(FuncKeyFile, MissingFileLeavesThirtySixEmptyTexts) {
  TFuncKeys keys;
  keys.LoadFromFile(Path());
  EXPECT_EQ(keys.Texts, std::vector<std::string>(36));
}

TEST(FuncKeyBank, ShiftAloneAndCtrlAloneSelectTheirBanks) {
  EXPECT_EQ(FuncKeyBank(false, false, false), 0);
  EXPECT_EQ(FuncKeyBank(true, false, false), 1);
  EXPECT_EQ(FuncKeyBank(false, false, true), 2);
  EXPECT_EQ(FuncKeyBank(false, true, false), 0);
  EXPECT_EQ(FuncKeyBank(true, false, true), 0);
  EXPECT_EQ(FuncKeyBank(true, true, false), 0);
}

TEST(FuncKeys, CaptionsAndInsertedTextsFollowTheShiftState) {
  TFuncKeys keys;
  for (std::size_t i = 0; i < keys.Texts.size(); ++i) keys.Texts[i] = "t" + std::to_string(i);

  keys.SetShiftState(false, false, true);
  EXPECT_EQ(keys.Caption(0), "t24");
  EXPECT_EQ(keys.Caption(11), "t35");
  keys.SetShiftState(false, false, false);
  EXPECT_EQ(keys.Caption(0), "t0");

  keys.SetShiftState(true, false, false);
  EXPECT_EQ(keys.KeyText(2), "t14");  // Shift+F3
  keys.SetShiftState(true, false, true);
  EXPECT_EQ(keys.KeyText(2), "t2");  // Ctrl+Shift+F3
}

TEST(FuncKeys, ShorterListGivesEmptyCaptionsAndNoText) {
  TFuncKeys keys;
  keys.Texts.assign(20, "x");
  keys.SetShiftState(true, false, false);
  EXPECT_EQ(keys.Caption(7), "x");
  EXPECT_EQ(keys.Caption(8), "");
  EXPECT_EQ(keys.KeyText(8), std::nullopt);
}

TEST(FuncButtonSpan, ButtonsFillTheBarWithTheFirstOnesWider) {
  const TButtonSpan first = FuncButtonSpan(125, 0);
  EXPECT_EQ(first.Left, 0);
  EXPECT_EQ(first.Width, 11);
  EXPECT_EQ(FuncButtonSpan(125, 4).Width, 11);
  EXPECT_EQ(FuncButtonSpan(125, 5).Left, 55);
  EXPECT_EQ(FuncButtonSpan(125, 5).Width, 10);
  for (int width : {0, 11, 12, 125, 131, 640}) {
    int right = 0;
    for (int position = 0; position < 12; ++position) {
      const TButtonSpan span = FuncButtonSpan(width, position);
      EXPECT_EQ(span.Left, right) << width << " " << position;
      right = span.Left + span.Width;
    }
    EXPECT_EQ(right, width);
  }
}

}  // namespace
