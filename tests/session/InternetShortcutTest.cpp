#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "session/InternetShortcut.h"
#include "support/FileSizeLimit.h"
#include "support/TempFolder.h"
#include "text/Codec.h"

namespace {

const std::string kHeader = "[InternetShortcut]\r\n";

struct ShortcutCase {
  uint8_t kind;
  const char* link;      // UTF-8, saved as CP932
  const char* fileName;  // UTF-8 name on disk
  const char* urlLine;   // UTF-8, stored as CP932
};

void PrintTo(const ShortcutCase& c, std::ostream* out) {
  *out << c.link;
}

class InternetShortcutFileTest : public testing::TestWithParam<ShortcutCase> {};

TEST_P(InternetShortcutFileTest, NamedAfterTheLinkAndHoldingIt) {
  const ShortcutCase& c = GetParam();
  TTempFolder folder;
  std::vector<std::string> messages;
  ASSERT_TRUE(SaveInternetShortcut(folder.Path(), c.kind, Sjis(c.link),
                                   [&](const std::string& text) { messages.push_back(text); }));
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(ReadFileBytes(folder / c.fileName), kHeader + Sjis(c.urlLine) + "\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Links, InternetShortcutFileTest,
    testing::Values(ShortcutCase{1, "http://www.example.co.jp/~user/a/b.html",
                                 "httpwwwexamplecojpuserabhtml.url",
                                 "URL=http://www.example.co.jp/~user/a/b.html"},
                    ShortcutCase{2, "taro.yamada@example.ne.jp", "taroyamada@examplenejp.url",
                                 "URL=mailto:taro.yamada@example.ne.jp"},
                    ShortcutCase{1, "ftp://h/a*b?c<d>e\\f", "ftphabcdef.url",
                                 "URL=ftp://h/a*b?c<d>e\\f"},
                    // Half-width katakana are single bytes; "表" ends in the byte of "\".
                    ShortcutCase{1, "http://x/ｱｲ表示", "httpxｱｲ表示.url", "URL=http://x/ｱｲ表示"}));

TEST(InternetShortcutTest, SavingReplacesTheFileOfThatName) {
  TTempFolder folder;
  const std::string path = folder / "httpexamplecom.url";
  WriteFileBytes(path, std::string(200, 'x'));
  for (int time = 0; time < 2; ++time) {
    ASSERT_TRUE(SaveInternetShortcut(folder.Path(), 1, "http://example.com", nullptr));
    EXPECT_EQ(ReadFileBytes(path), kHeader + "URL=http://example.com\r\n");
  }
}

TEST(InternetShortcutTest, AnEmptyFolderIsTheCurrentFolder) {
  TTempFolder folder;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  const bool saved = SaveInternetShortcut("", 1, "http://a", nullptr);
  std::filesystem::current_path(previous);
  EXPECT_TRUE(saved);
  EXPECT_EQ(ReadFileBytes(folder / "httpa.url"), kHeader + "URL=http://a\r\n");
}

TEST(InternetShortcutTest, AFailureShowsTheMessageOnce) {
  TTempFolder folder;
  WriteFileBytes(folder / "plain", "not a folder");
  std::vector<std::string> messages;
  const auto collect = [&](const std::string& text) { messages.push_back(text); };
  EXPECT_FALSE(SaveInternetShortcut(folder / "plain", 1, "http://a", collect));
  EXPECT_EQ(messages, std::vector<std::string>{"ｲﾝﾀｰﾈｯﾄｼｮｰﾄｶｯﾄが作成できませんでした"});

  // No link: nothing to save and nothing to say.
  messages.clear();
  EXPECT_FALSE(SaveInternetShortcut(folder.Path(), 0, "", collect));
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(std::filesystem::exists(folder / ".url"));
}

TEST(InternetShortcutTest, AFailedReplacementKeepsTheOldFileAndSaysSo) {
  TTempFolder folder;
  ASSERT_TRUE(SaveInternetShortcut(folder.Path(), 1, "http://a/" + std::string(9, 'x'), nullptr));
  const std::string old = ReadFileBytes(folder / "httpaxxxxxxxxx.url");
  std::vector<std::string> messages;
  {
    TFileSizeLimit limit(10);
    EXPECT_FALSE(SaveInternetShortcut(folder.Path(), 1, "http://a/" + std::string(9, 'x'),
                                      [&](const std::string& text) { messages.push_back(text); }));
  }
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(ReadFileBytes(folder / "httpaxxxxxxxxx.url"), old);
}

TEST(InternetShortcutTest, ReadsBackTheSavedUrl) {
  TTempFolder folder;
  ASSERT_TRUE(SaveInternetShortcut(folder.Path(), 2, "a@b.jp", nullptr));
  EXPECT_EQ(ReadInternetShortcutUrl(folder / "a@bjp.url"), "mailto:a@b.jp");
  EXPECT_EQ(ReadInternetShortcutUrl(folder / "missing.url"), std::nullopt);
}

struct ReadCase {
  const char* content;
  std::optional<std::string> url;
};

class InternetShortcutReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(InternetShortcutReadTest, FindsTheUrlOfTheShortcutSection) {
  TTempFolder folder;
  WriteFileBytes(folder / "a.url", GetParam().content);
  EXPECT_EQ(ReadInternetShortcutUrl(folder / "a.url"), GetParam().url);
}

INSTANTIATE_TEST_SUITE_P(
    Files, InternetShortcutReadTest,
    testing::Values(ReadCase{"[InternetShortcut]\nURL=http://lf\n", "http://lf"},
                    ReadCase{"[DEFAULT]\r\nBASEURL=http://base\r\nURL=http://other\r\n"
                             "[InternetShortcut]\r\nIconIndex=0\r\nURL=http://mine\r\n",
                             "http://mine"},
                    ReadCase{"[internetshortcut]\r\n url = http://spaced \r\n", "http://spaced"},
                    ReadCase{"[InternetShortcut]\r\nURL=\r\nURL=http://second\r\n",
                             "http://second"},
                    ReadCase{"URL=http://nosection\r\n", std::nullopt},
                    ReadCase{"", std::nullopt}));

}  // namespace
