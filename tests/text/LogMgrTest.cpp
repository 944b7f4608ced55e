#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "support/FileSizeLimit.h"
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

// Each block's lines reach the file in one write when the block ends, so a
// reader (or a program killed now) finds them; a flood without block ends
// is written once 64 KiB wait.
TEST_F(LogMgrTest, TheLinesOfABlockReachTheFileWhenTheBlockEnds) {
  log.Open("block.log");
  log.WriteLine("one");
  log.WriteLine("two");
  EXPECT_EQ(ReadFileBytes(folder / "block.log"), "");
  log.Flush();
  EXPECT_EQ(ReadFileBytes(folder / "block.log"), "one\r\ntwo\r\n");

  const std::string line(1000, 'x');
  for (size_t written = 0; written <= TLogMgr::MaxPendingBytes; written += line.size() + 2)
    log.WriteLine(line);
  EXPECT_GT(ReadFileBytes(folder / "block.log").size(), TLogMgr::MaxPendingBytes);
  log.Close();
  EXPECT_TRUE(messages.empty());
}

TEST_F(LogMgrTest, AProcessKilledAfterABlockKeepsTheBlocksLines) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    log.Open("killed.log");
    log.WriteLine("first");
    log.WriteLine("second");
    log.Flush();
    log.WriteLine("partial block");
    kill(getpid(), SIGKILL);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_EQ(ReadFileBytes(folder / "killed.log"), "first\r\nsecond\r\n");
}

TEST_F(LogMgrTest, NewLogsArePrivateAndFoldersKeepEveryCharacter) {
  const std::string named = folder / "zoë〜—";
  std::filesystem::create_directory(named);
  log.SetFolder(named);
  EXPECT_EQ(log.Folder(), named + "/");
  log.Open(Sjis("会議.log"));
  log.WriteLine("x");
  log.Close();
  EXPECT_EQ(ReadFileBytes(named + "/会議.log"), "x\r\n");
  EXPECT_EQ(FileMode(named + "/会議.log"), 0600u);

  log.SetFolder(folder / "missing—");
  log.Open("a.log");
  EXPECT_EQ(messages, std::vector<std::string>{"ﾛｸﾞﾌｧｲﾙ(" + folder / "missing—/a.log" +
                                               ")のｵｰﾌﾟﾝに失敗しました。"});
}

TEST_F(LogMgrTest, AFileSizeLimitIsReportedLikeAFullDisk) {
  log.Open("limited.log");
  {
    TFileSizeLimit limit(10);
    log.WriteLine(std::string(100, 'x'));
    log.Flush();
  }
  EXPECT_FALSE(log.IsOpen());
  EXPECT_EQ(messages.size(), 1u);
}

}  // namespace
