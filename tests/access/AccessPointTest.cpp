#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <vector>

#include "access/AccessPoint.h"
#include "support/FileSizeLimit.h"
#include "support/TempFolder.h"
#include "text/Codec.h"

namespace {

const TClockReading kMorning{1998, 3, 1, 9, 15, 7, 100};
const TClockReading kEvening{1998, 3, 1, 21, 40, 33, 999};

// COM2, tone dialing, init strings ATZ, empty, empty, speed 115200.
const std::string kSerialModemPort =
    "COM21ATZ\x1F\x1F\x1F"
    "115200\x1F";

TAPData FullRecord() {
  return {"PXA01234",   "secret", "0311112222", kSerialModemPort, Sjis("[>]SVC'[>]$I'[>]$P'"),
          Sjis("会議"), "03",     "81"};
}

class AccessPointTest : public testing::Test {
 protected:
  AccessPointTest() {
    ap.SetFolder(folder.Path());
    ap.ComputerName = [this] { return computer; };
    ap.UserName = [this] { return user; };
    ap.Clock = [this] { return clock; };
    ap.ShowMessage = [this](const std::string& text) { messages.push_back(text); };
    ap.Confirm = [this](const std::string& text) {
      questions.push_back(text);
      bool answer = answers.front();
      answers.pop_front();
      return answer;
    };
    ap.OnDelete = [this](TAccessPoint& sender, const std::string& name, int kind) {
      EXPECT_EQ(&sender, &ap);
      deleted.push_back(name + "/" + std::to_string(kind));
    };
  }

  TAPData LoadBack(const std::string& name) {
    TAPData record;
    EXPECT_TRUE(ap.Load(name, record));
    return record;
  }
  std::string DecodedFile(const std::string& fileName) {
    std::string line = ReadFileBytes(folder / fileName);
    EXPECT_TRUE(line.ends_with("\r\n"));
    return TCodedString().Decode(line.substr(0, line.size() - 2));
  }

  TTempFolder folder;
  TAccessPoint ap;
  std::optional<std::string> computer = "WOMBATPC";
  std::optional<std::string> user = "zeb";
  TClockReading clock = kMorning;
  std::vector<std::string> messages, questions, deleted;
  std::deque<bool> answers;
};

TEST_F(AccessPointTest, SaveAndLoadOnTheSameMachineUserAndFolderRestoreEveryField) {
  const TAPData record = FullRecord();
  ASSERT_TRUE(ap.Save(Sjis("ニフティ"), record));

  const std::string line = ReadFileBytes(folder / "ニフティ.ap");
  ASSERT_TRUE(line.ends_with("\r\n"));
  for (char c : line.substr(0, line.size() - 2)) {
    EXPECT_GE(c, 0x20);
    EXPECT_LE(c, 0x5F);
  }
  EXPECT_EQ(LoadBack(Sjis("ニフティ")), record);
  EXPECT_TRUE(messages.empty());
}

TEST_F(AccessPointTest, ThePasswordIsDroppedWhenMachineUserOrFolderDiffer) {
  const TAPData record = FullRecord();
  TAPData withoutPassword = record;
  withoutPassword.Password.clear();
  std::filesystem::create_directory(folder / "moved");

  const struct {
    const char* change;
    std::function<void()> apply;
  } cases[] = {
      {"folder", [&] { ap.SetFolder(folder / "moved"); }},
      {"computer", [&] { computer = "OTHERPC1"; }},
      {"user", [&] { user = "bob"; }},
  };
  for (const auto& c : cases) {
    ap.SetFolder(folder.Path());
    computer = "WOMBATPC";
    user = "zeb";
    ASSERT_TRUE(ap.Save("nifty", record));
    std::filesystem::copy_file(folder / "nifty.ap", folder / "moved/nifty.ap",
                               std::filesystem::copy_options::overwrite_existing);
    c.apply();
    EXPECT_EQ(LoadBack("nifty"), withoutPassword) << c.change;
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(AccessPointTest, ThePlainRecordHoldsTheBindingThenTheFieldsWithEmptyOnesAsOneByte) {
  TAPData record;
  record.ID = "ID1";
  record.Password = "pw";
  ap.SetFolder(folder.Path());
  ASSERT_TRUE(ap.Save("x", record));

  const std::string folderItem = static_cast<char>(folder.Path().size() + 1) + folder.Path() + "/";
  EXPECT_EQ(DecodedFile("x.ap"),
            "\x08WOMBATPC\x03zeb" + folderItem + "\x03ID1\xFF\xFF\x02pw\xFF\xFF\xFF\xFF");
  EXPECT_EQ(LoadBack("x"), record);
}

TEST_F(AccessPointTest, AUserNameNotShorterThanTheComputerNameIsNotBound) {
  computer = "PC";
  user = "zeb";
  const TAPData record = FullRecord();
  ASSERT_TRUE(ap.Save("x", record));
  EXPECT_TRUE(DecodedFile("x.ap").starts_with("\x02PC\xFF"));

  user = "somebody-else";
  EXPECT_EQ(LoadBack("x"), record);  // the password still loads

  computer = std::nullopt;
  ASSERT_TRUE(ap.Save("x", record));
  EXPECT_TRUE(DecodedFile("x.ap").starts_with("\xFF\xFF"));
  EXPECT_EQ(LoadBack("x"), record);
}

TEST_F(AccessPointTest, FieldsUpTo254BytesAreStoredAndLongerOnesRefused) {
  TAPData record = FullRecord();
  record.Script = std::string(254, 's');
  ASSERT_TRUE(ap.Save("x", record));
  EXPECT_EQ(LoadBack("x"), record);

  const std::string before = ReadFileBytes(folder / "x.ap");
  record.Script += 's';
  EXPECT_FALSE(ap.Save("x", record));
  EXPECT_EQ(ReadFileBytes(folder / "x.ap"), before);
  EXPECT_FALSE(ap.Save("y", record));
  EXPECT_FALSE(std::filesystem::exists(folder / "y.ap"));
  EXPECT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0],
            "xのデータが作成できませんでした。接続スクリプトが長すぎます（254バイトまで）。");
}

TEST_F(AccessPointTest, ALongFolderIsBoundByItsLast254Bytes) {
  std::string deep = folder.Path();
  while (deep.size() < 300) deep += "/" + std::string(60, 'd');
  std::filesystem::create_directories(deep);
  ap.SetFolder(deep);
  ASSERT_TRUE(ap.Save("x", FullRecord()));
  EXPECT_EQ(LoadBack("x"), FullRecord());
}

TEST_F(AccessPointTest, MissingOrEmptyFilesAreReportedAndLeaveTheRecordEmpty) {
  WriteFileBytes(folder / "empty.ap", "");
  std::filesystem::create_directory(folder / "folder.ap");
  for (const std::string& name : {Sjis("無い"), std::string("empty"), std::string("folder")}) {
    TAPData record;
    EXPECT_FALSE(ap.Load(name, record));
    EXPECT_EQ(record, TAPData{});
  }
  EXPECT_EQ(messages, (std::vector<std::string>{"無いのデータが見つかりません。",
                                                "emptyのデータが見つかりません。",
                                                "folderのデータが見つかりません。"}));
}

TEST_F(AccessPointTest, DamagedFilesLoadWhatTheyHoldWithoutMessages) {
  ASSERT_TRUE(ap.Save("x", FullRecord()));
  const std::string line = ReadFileBytes(folder / "x.ap");
  const std::string damaged[] = {
      line.substr(0, line.size() / 2),           line.substr(0, 1),      "\r\n",
      std::string("\x00\xFF\x7F\x80~~ \x1F", 9), std::string(1000, '_'),
  };
  for (const std::string& bytes : damaged) {
    WriteFileBytes(folder / "x.ap", bytes + "\r\nsecond line is ignored");
    TAPData record;
    EXPECT_TRUE(ap.Load("x", record));
  }
  EXPECT_TRUE(messages.empty());

  // The binding, then an ID whose length runs past the end of the text.
  const std::string plain = "\x08WOMBATPC\x03zeb" +
                            std::string(1, static_cast<char>(folder.Path().size() + 1)) +
                            folder.Path() +
                            "/\x02"
                            "ID\x09"
                            "HOST";
  WriteFileBytes(folder / "x.ap", TCodedString().Encode(plain, kMorning) + "\n");
  TAPData record;
  ASSERT_TRUE(ap.Load("x", record));
  EXPECT_EQ(record.ID, "ID");
  EXPECT_EQ(record.HostName, "HOST");
  EXPECT_EQ(record.Port, "");
}

TEST_F(AccessPointTest, SaveReportsAFileThatCannotBeWritten) {
  ap.SetFolder(folder / "missing");
  EXPECT_FALSE(ap.Save(Sjis("接続先"), FullRecord()));
  EXPECT_EQ(messages, std::vector<std::string>{"接続先のデータが作成できませんでした。"});
}

TEST_F(AccessPointTest, AFailedSaveLeavesTheOldFileLoadableWithEveryField) {
  const TAPData record = FullRecord();
  ASSERT_TRUE(ap.Save("nifty", record));
  TAPData longer = record;
  longer.Script = std::string(200, 'x');
  {
    TFileSizeLimit limit(100);
    EXPECT_FALSE(ap.Save("nifty", longer));
  }
  EXPECT_EQ(messages, std::vector<std::string>{"niftyのデータが作成できませんでした。"});
  EXPECT_EQ(LoadBack("nifty"), record);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

TEST_F(AccessPointTest, EntryFilesArePrivateAndWiderOnesAreTightenedOnSave) {
  ASSERT_TRUE(ap.Save("new", FullRecord()));
  EXPECT_EQ(FileMode(folder / "new.ap"), 0600u);
  chmod((folder / "new.ap").c_str(), 0644);
  ASSERT_TRUE(ap.Save("new", FullRecord()));
  EXPECT_EQ(FileMode(folder / "new.ap"), 0600u);
}

TEST_F(AccessPointTest, AFolderNamedOutsideCp932SavesAndLoadsWithThePassword) {
  const std::string named = folder / "zoë〜‖";
  std::filesystem::create_directory(named);
  ap.SetFolder(named);
  ASSERT_TRUE(ap.Save(Sjis("接続先"), FullRecord()));
  EXPECT_TRUE(std::filesystem::exists(named + "/接続先.ap"));
  EXPECT_EQ(LoadBack(Sjis("接続先")), FullRecord());
  EXPECT_TRUE(messages.empty());
}

// Written by the program before entry files were replaced as a whole, with
// the computer "wombat-pc", the user "zeb" and the folder below.
TEST(AccessPointFile, AnEntryFileOfTheEarlierProgramLoadsWithItsPassword) {
  const std::filesystem::path fixedFolder = "/tmp/wombat-entry-fixture-日本";
  const std::string name = "old" + std::to_string(getpid());
  const std::string line =
      R"ap(!)/Z.;0I/(-P4!&P1(/F"#0V/+-Q$(&R1,/P2 ($V/=1C01.K-3/W&10A/421H062E5%3/I.50T9/:1I06.N%33WB:8@A3#%TC (.C)1+D&4H$X'4J%X(&"N-4N/EO2#$U/+1L0%T.V1(/OW.1$U/01D "&U%9^#H6(DH7 "9E#04$.J%1+/V&!,P+"-L,.*\)/.'H.'(L/#%I,$&J5--+@7.)$K+4:%L(-&C19>;Q. @0A/21B0)2@E!"+P.5 B'2%X "&[%7)ap";
  std::filesystem::create_directories(fixedFolder);
  WriteFileBytes(fixedFolder / (name + ".ap"), line + "\r\n");

  TAccessPoint ap;
  ap.SetFolder(fixedFolder);
  ap.ComputerName = [] { return std::optional<std::string>("wombat-pc"); };
  ap.UserName = [] { return std::optional<std::string>("zeb"); };
  TAPData record;
  const bool loaded = ap.Load(name, record);
  std::error_code ignored;
  std::filesystem::remove(fixedFolder / (name + ".ap"), ignored);
  std::filesystem::remove(fixedFolder, ignored);  // fails while another run uses it

  ASSERT_TRUE(loaded);
  EXPECT_EQ(record, (TAPData{"ZEB01234", Sjis("秘密pass"), "bbs.example.jp", "23",
                             Sjis("[>]SVC'[>]$I'[>]$P'; ⇒Telnet"), "Ni", "03", "81"}));
}

TEST_F(AccessPointTest, NamesThatWouldLeaveTheFolderAreNeitherWrittenNorRead) {
  std::filesystem::create_directory(folder / "inner");
  ap.SetFolder(folder / "inner");
  EXPECT_FALSE(ap.Save("../outside", FullRecord()));
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path() + "/inner"));
  EXPECT_FALSE(std::filesystem::exists(folder / "outside.ap"));
  TAPData record;
  EXPECT_FALSE(ap.Load("../outside", record));
  EXPECT_EQ(messages.size(), 2u);
}

TEST_F(AccessPointTest, DeleteAsksFirstAndReportsTheDeletion) {
  ASSERT_TRUE(ap.Save("nifty", FullRecord()));
  answers = {false, true};
  EXPECT_FALSE(ap.Delete("nifty"));
  EXPECT_TRUE(std::filesystem::exists(folder / "nifty.ap"));
  EXPECT_TRUE(deleted.empty());

  EXPECT_TRUE(ap.Delete("nifty"));
  EXPECT_FALSE(std::filesystem::exists(folder / "nifty.ap"));
  EXPECT_EQ(deleted, std::vector<std::string>{"nifty/1"});
  EXPECT_EQ(questions, std::vector<std::string>(2, "niftyのデータを削除してもよろしいですか？"));
}

TEST_F(AccessPointTest, DeleteOfAMissingFileStillRemovesTheNameButAFailureDoesNot) {
  answers = {true, true};
  EXPECT_TRUE(ap.Delete("gone"));
  EXPECT_EQ(deleted, std::vector<std::string>{"gone/1"});

  std::filesystem::create_directories(folder / "stuck.ap/inside");
  EXPECT_FALSE(ap.Delete("stuck"));
  EXPECT_EQ(deleted.size(), 1u);
  EXPECT_EQ(messages, std::vector<std::string>{"stuckのデータが削除できませんでした。"});
}

TEST(CodedString, EncodesByTimeIntoPrintableBytesAndDecodesBack) {
  std::string plain;
  for (int c = 0; c < 256; ++c) plain += static_cast<char>(c);
  const TCodedString coder;
  const std::string morning = coder.Encode(plain, kMorning);
  const std::string evening = coder.Encode(plain, kEvening);
  EXPECT_NE(morning, evening);
  for (const std::string& encoded : {morning, evening}) {
    for (char c : encoded) EXPECT_TRUE(c >= 0x20 && c <= 0x5F) << int(c);
    EXPECT_EQ(coder.Decode(encoded), plain);
  }
}

TEST(CodedString, FollowsTheBitLayoutAndAddsAFillerAfterRemaindersThatAreMultiplesOfFive) {
  const TCodedString coder;
  // Sum of the clock 2104, millisecond 789: "A" takes divisor 30 (q 2, r 5)
  // and a filler 32 + (56 * 789 + 1) mod 64; "B" takes divisor 31 (q 2, r 4).
  const TClockReading clock{1998, 3, 1, 12, 34, 56, 789};
  EXPECT_EQ(coder.Encode("AB", clock), "+%9+D");
  EXPECT_EQ(coder.Decode("+%_+D"), "AB");  // the filler is skipped unread
  EXPECT_EQ(coder.Encode(std::string(1, '\0'), clock).size(), 3u);
  EXPECT_EQ(coder.Encode("\x01", clock).size(), 2u);
  EXPECT_EQ(coder.Decode("+"), "<");  // a missing second byte counts as 0: 30 * 2 + 0
}

TEST(CodedString, IntToBinAndBinToInt) {
  const struct {
    int value, digits;
    const char* bits;
  } cases[] = {
      {0, 8, "00000000"}, {5, 3, "101"}, {255, 8, "11111111"}, {130, 4, "0010"}, {1, 0, ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(TCodedString::IntToBin(c.value, c.digits), c.bits) << c.value;
    EXPECT_EQ(TCodedString::BinToInt(TCodedString::IntToBin(c.value, 8)), c.value);
  }
}

TEST(IsTelephoneNumber, DigitsAndDialCharactersOnly) {
  for (const char* number : {"", "03-1111-2222", "0,,123#*", "12 34"}) {
    EXPECT_TRUE(IsTelephoneNumber(number)) << number;
  }
  for (const char* host : {"bbs.example.jp", "192.168.0.1", "0311a", "localhost"}) {
    EXPECT_FALSE(IsTelephoneNumber(host)) << host;
  }
}

}  // namespace
