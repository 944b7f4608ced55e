#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "support/TempFolder.h"
#include "text/Codec.h"
#include "text/LogMgr.h"

namespace {

class LogMgrTest : public testing::Test {
 protected:
  LogMgrTest() {
    log.SetFolder(folder.Path());
    log.ShowMessage = [this](const std::string& text) { messages.push_back(text); };
  }

  TTempFolder folder;
  TLogMgr log;
  std::vector<std::string> messages;
};

TEST_F(LogMgrTest, SwitchedOffOpensAndWritesNothing) {
  log.SetEnabled(false);
  log.Open("entry980301.log");
  log.WriteLine("line");
  EXPECT_FALSE(log.IsOpen());
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
  EXPECT_TRUE(messages.empty());
}

TEST_F(LogMgrTest, TwoConnectionsOfOneDayAppendToOneFileInCp932WithCrLf) {
  const std::string name = Sjis("会議980301.log");
  log.Open(name);
  log.WriteLine(Sjis("こんにちは"));
  log.WriteLine("");
  log.Close();
  log.Open(name);
  log.WriteLine("second");
  log.Close();

  EXPECT_EQ(ReadFileBytes(folder / "会議980301.log"), Sjis("こんにちは") + "\r\n\r\nsecond\r\n");
  EXPECT_TRUE(messages.empty());
}

TEST_F(LogMgrTest, SwitchingOffClosesAtOnceAndSwitchingOnWaitsForTheNextOpen) {
  log.Open("a.log");
  log.WriteLine("kept");
  log.SetEnabled(false);
  EXPECT_FALSE(log.IsOpen());
  log.WriteLine("dropped");
  log.SetEnabled(true);
  log.WriteLine("dropped too");
  EXPECT_FALSE(log.IsOpen());
  EXPECT_EQ(ReadFileBytes(folder / "a.log"), "kept\r\n");
}

TEST(FilePartOf, KeepsOnlyTheTextAfterTheLastSeparator) {
  const std::string table = Sjis("表");  // its second byte is "\"
  const struct {
    std::string name, filePart;
  } cases[] = {
      {"plain.log", "plain.log"},
      {"sub/dir/x.log", "x.log"},
      {"..\\..\\x.log", "x.log"},
      {"C:x.log", "x.log"},
      {"../../etc/x.log", "x.log"},
      {"dir/", ""},
      {table + ".log", table + ".log"},
      {"a\\" + table + table, table + table},
      {"\x81/x.log", "x.log"},  // "/" is never the second byte of a character
      {std::string(300, 'a'), std::string(255, 'a')},
      {std::string(254, 'a') + table, std::string(254, 'a')},
  };
  for (const auto& c : cases) EXPECT_EQ(FilePartOf(c.name), c.filePart) << c.name;
}

TEST_F(LogMgrTest, ANameWithAFolderPartStaysInTheLogFolder) {
  std::filesystem::create_directory(folder / "logs");
  log.SetFolder(folder / "logs");
  EXPECT_EQ(log.Folder(), folder / "logs/");
  log.Open("../escaped.log");
  log.WriteLine("x");
  log.Close();
  EXPECT_EQ(log.FileName(), "escaped.log");
  EXPECT_EQ(ReadFileBytes(folder / "logs/escaped.log"), "x\r\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "escaped.log"));
}

TEST_F(LogMgrTest, AnEmptyFolderIsTheCurrentDirectory) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  log.SetFolder("");
  log.Open("here.log");
  log.WriteLine("x");
  log.Close();
  std::filesystem::current_path(previous);
  EXPECT_EQ(log.Folder(), "");
  EXPECT_EQ(ReadFileBytes(folder / "here.log"), "x\r\n");
}

TEST_F(LogMgrTest, AFileThatCannotBeOpenedIsReportedAndLeavesNoLog) {
  log.SetFolder(folder / "missing");
  log.Open(Sjis("ログ.log"));
  log.WriteLine("x");
  EXPECT_FALSE(log.IsOpen());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "ﾛｸﾞﾌｧｲﾙ(" + folder / "missing/ログ.log" + ")のｵｰﾌﾟﾝに失敗しました。");
}

// /dev/full accepts the open and fails every write with "no space left".
TEST_F(LogMgrTest, AFailedWriteIsReportedOnceAndClosesTheLog) {
  log.SetFolder("/dev");
  log.Open("full");
  ASSERT_TRUE(log.IsOpen());
  const std::string line(100, 'x');
  for (int i = 0; i < 100000 && log.IsOpen(); ++i) log.WriteLine(line);
  EXPECT_FALSE(log.IsOpen());
  log.WriteLine(line);
  log.Close();
  EXPECT_EQ(messages, std::vector<std::string>{"ﾛｸﾞﾌｧｲﾙ(/dev/full)への書き出しに失敗しました。"});
}

TEST_F(LogMgrTest, BufferedLinesThatFailAtCloseAreReported) {
  log.SetFolder("/dev/");
  log.Open("full");
  log.WriteLine("short");
  EXPECT_TRUE(messages.empty());
  log.Close();
  EXPECT_EQ(messages, std::vector<std::string>{"ﾛｸﾞﾌｧｲﾙ(/dev/full)への書き出しに失敗しました。"});
}

}  // namespace
