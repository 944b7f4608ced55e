#include <gtest/gtest.h>

#include <random>
#include <set>

#include "text/Analysis.h"
#include "text/Codec.h"

namespace {

// A line with each text placed at its 1-based column, spaces between.
std::string At(std::initializer_list<std::pair<size_t, std::string>> parts) {
  std::string line;
  for (const auto& [column, text] : parts) {
    if (line.size() < column - 1) line.resize(column - 1, ' ');
    line.replace(column - 1, text.size(), text);
  }
  return line;
}

struct Fields {
  Fields(TLineKind kind, std::string id = "", std::string handle = "", std::string job = "",
         std::string channel = "")
      : Kind(kind), ID(id), Handle(handle), Job(job), Channel(channel) {}
  TLineKind Kind;
  std::string ID, Handle, Job, Channel;
};

Fields Analyzed(std::string_view line) {
  TAnalysis analysis;
  const TLineKind kind = analysis.Analyze(line);
  return {kind, analysis.ID, analysis.Handle, analysis.Job, analysis.Channel};
}

void ExpectFields(const std::string& line, const Fields& expected) {
  const Fields got = Analyzed(line);
  const std::string where = Cp932ToUtf8(line);
  EXPECT_EQ(got.Kind, expected.Kind) << where;
  if (got.Kind != expected.Kind) return;
  EXPECT_EQ(got.ID, expected.ID) << where;
  EXPECT_EQ(got.Handle, expected.Handle) << where;
  if (!expected.Job.empty()) {
    EXPECT_EQ(got.Job, expected.Job) << where;
  }
  EXPECT_EQ(got.Channel, expected.Channel) << where;
}

TEST(Analysis, ServiceTextsHaveTheirByteLengths) {
  const TServiceTexts& t = ServiceTexts();
  EXPECT_EQ(t.Welcome.size(), 20u);
  EXPECT_EQ(t.InputError.size(), 20u);
  EXPECT_EQ(t.WideWelcome.size(), 22u);
  EXPECT_EQ(t.UserListHeader.size(), 26u);
  EXPECT_EQ(t.IDListHeader.size(), 31u);
  EXPECT_EQ(t.PageNotice.size(), 32u);
  EXPECT_EQ(t.NeedParameter.size(), 40u);
  EXPECT_EQ(t.UsageTime.size(), 10u);
  EXPECT_EQ(t.Minutes, "\x95\xAA");
  EXPECT_EQ(t.Seconds, "\x95\x62");
  EXPECT_EQ(t.WideConferenceStart.size(), t.ConferenceStart.size() + 2);
}

TEST(Analysis, ConferenceLines) {
  const std::string handle = Sjis("ハンドル");
  const std::vector<std::pair<std::string, Fields>> cases = {
      {"(TALK,abc)hello", {lkChat, "", "abc", "", "TALK"}},
      {"(talk,abc)hello", {lkChat, "", "abc", "", "TALK"}},
      {"(7,abc)hi", {lkChat, "", "abc", "", "7"}},
      {"(25,abc)hi", {lkChat, "", "abc", "", "25"}},
      {"(30,abc)hi", {lkChat, "", "abc", "", "30"}},
      {"(31,abc)hi", {lkNone}},
      {"(0,abc)hi", {lkNone}},
      {"(7,", {lkNone}},  // too short for a numbered channel
      {"(3,ABC12345," + handle + ")" + Sjis("こんにちは"),
       {lkChatWithID, "ABC12345", handle, "", "3"}},
      {"(3," + handle + ")x", {lkChat, "", handle, "", "3"}},
      {"(3,ABC12345)x", {lkChat, "", "ABC12345", "", "3"}},  // no comma after the ID
      {"(12,no closing", {lkChat, "", "", "", "12"}},
      {"(TALK,", {lkChat, "", "", "", "TALK"}},
  };
  for (const auto& [line, fields] : cases) ExpectFields(line, fields);
}

TEST(Analysis, ListsPagesAndNotices) {
  const TServiceTexts& t = ServiceTexts();
  const std::string row =
      At({{2, " 12"}, {6, "12S"}, {12, "abc12345"}, {21, Sjis("ウォンバット  ")}});
  const std::string shortID = At({{2, "  1"}, {6, "TALK"}, {12, "ABC1234"}, {21, "x"}});
  const std::string usage = At({{3, t.UsageTime}, {13, " 12" + t.Minutes + " 34" + t.Seconds}});
  const std::vector<std::pair<std::string, Fields>> cases = {
      {row, {lkUserListRow, "abc12345", Sjis("ウォンバット"), " 12", "12S"}},
      {At({{2, "  1"}, {6, " 31 "}, {12, "ABC12345"}}), {lkNone}},  // no such channel
      {shortID, {lkNone}},
      {At({{1, "  >JOB"}, {11, "abc"}, {28, "ABC12345"}}),
       {lkPage, "ABC12345", "", "ABC   ", "Page"}},
      {At({{4, "job"}, {11, "7"}, {26, "XYZ00001"}}), {lkPage, "XYZ00001", "", "7   ", "Page"}},
      {At({{4, "JOB"}, {11, "12"}, {24, "XYZ00001"}}), {lkPage, "XYZ00001", "", "12", "Page"}},
      {At({{3, ",JOB"}, {28, "ABC12345"}}), {lkNone}},
      {At({{3, "ABC12345"}, {13, t.PageNotice}}), {lkPage, "ABC12345", "", "", "Page"}},
      {At({{3, "ABC1234"}, {13, t.PageNotice}}), {lkNone}},
      {" job   ch  id       handle", {lkUserListHeader}},
      {t.NeedParameter, {lkNeedParameter}},
      {t.InputError + "!", {lkInputError}},
      {usage, {lkUsageTime, "12", "34"}},
      {At({{3, t.UsageTime}, {13, " 12" + t.Minutes}}), {lkNone}},
      {At({{3, t.UsageTime}, {13, " x" + t.Minutes + " 34" + t.Seconds}}), {lkNone}},
      {"*welcome to cb band 2024", {lkWelcome}},
      {t.WideWelcome + "x", {lkWelcome}},
      {t.ConferenceStart, {lkConferenceStart}},
      {t.WideConferenceStart, {lkConferenceStart}},
      {t.ConferenceStart + " ", {lkNone}},
      {"ABC12345", {lkNone}},  // an ID line needs 9 to 31 bytes
      {"ABC12345 ", {lkIDLine, "ABC12345"}},
      {"ABC12345" + std::string(23, 'x'), {lkIDLine, "ABC12345"}},
      {"ABC12345" + std::string(24, 'x'), {lkNone}},
      {"id        name (handle)    send  ", {lkIDListHeader}},
      {"", {lkNone}},
  };
  for (const auto& [line, fields] : cases) ExpectFields(line, fields);
}

TEST(Analysis, LettersInTrailBytesDoNotFoldWhenMatchingTexts) {
  // "パ" is 0x83 0x70 ('p'); "セ" is 0x83 0x50 ('P'): a plain fold would match them.
  std::string line = ServiceTexts().NeedParameter;
  const std::string pa = Sjis("パ");
  line.replace(line.find(pa), 2, Sjis("セ"));
  EXPECT_EQ(Analyzed(line).Kind, lkNone);
}

TEST(Analysis, UnrecognisedLineEmptiesTheFields) {
  TAnalysis analysis;
  ASSERT_EQ(analysis.Analyze("(3,ABC12345,name)x"), lkChatWithID);
  EXPECT_EQ(analysis.Analyze("plain text"), lkNone);
  EXPECT_EQ(analysis.ID + analysis.Handle + analysis.Job + analysis.Channel, "");
}

TEST(Analysis, AnyBytesAreSafe) {
  std::mt19937 random(7);
  const std::string alphabet =
      std::string("(,)TALKJOB ABC12345 \x81\x82\x83\x95\xDE\xDF\xFF\x1A\r\n\0", 31) +
      ServiceTexts().PageNotice;
  TAnalysis analysis;
  TPositionMap map;
  for (int i = 0; i < 20000; ++i) {
    std::string line(random() % 70, ' ');
    for (char& c : line) c = alphabet[random() % alphabet.size()];
    analysis.Analyze(line);
    const std::string normal = NormalizeTextMap(line, map);
    ASSERT_EQ(map.size(), normal.size() + 1);
    ASSERT_EQ(map.back(), line.size() + 1);
    TrimWide(line);
  }
}

TEST(Analysis, FieldTests) {
  const std::vector<std::pair<std::string, bool>> userIDs = {
      {"ABC12345", true},
      {"abc12345", true},
      {" ABC12345\t", true},
      {Sjis("ＡＢＣ１２３４５"), true},
      {Sjis("ａｂｃ１２３４５"), true},
      {Sjis("ＡＢＣ１"), false},  // full-width, cut to 8 bytes
      {"ABC1234", false},
      {"AB123456", false},
      {"ABC1234X", false},
      {"ABC+1234", false},
      {"ABC 12345", false},
  };
  for (const auto& [text, expected] : userIDs) EXPECT_EQ(IsUserID(text), expected) << text;

  const std::vector<std::pair<std::string, bool>> jobs = {
      {"1", true},   {" 12", true},        {"999", true},   {"-5", true},
      {"$1F", true}, {Sjis("１２"), true}, {"1234", false}, {"", false},
      {"A", false},  {"1 2", false},       {"+", false},    {"$", false},
  };
  for (const auto& [text, expected] : jobs) EXPECT_EQ(IsJobNumber(text), expected) << text;

  const std::vector<std::pair<std::string, bool>> channels = {
      {"talk", true},  {"TALK", true},   {"1", true},  {"30", true},
      {" 12S ", true}, {"12s", true},    {"0", false}, {"31", false},
      {"S", false},    {"TALKS", false}, {"", false},
  };
  for (const auto& [text, expected] : channels) EXPECT_EQ(IsChannelName(text), expected) << text;
}

TEST(Analysis, NormalizeText) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\xCA\xDF", Sjis("パ")},
      {"\xCA\xDE", Sjis("バ")},
      {"\xB3\xDE", Sjis("ヴ")},
      {"\xB1\xDE", Sjis("ア")},  // no voiced form: the mark is dropped
      {"\xB6\xDF", Sjis("カ")},
      {"\xDE", "\xDE"},
      {"\xA1\xA2\xA3\xA4\xA5\xB0", Sjis("。「」、・ー")},
      {Sjis("ＡＢＣ１２３４５"), "ABC12345"},
      {Sjis("ａｂｃ"), "ABC"},
      {"abc", "ABC"},
      {Sjis("　（［｛＋－＝＜＞￥＄％＃＆＊＠〓｜～”’″′：；？！＾／，．"),
       " ([{+-=<>\\$%#&*@=|~\"'\"':;?!^/,."},
      {Sjis("・＿漢字かな"), Sjis("・＿漢字かな")},
      {"x\x81", "X\x81"},  // a lead byte at the end stays alone
      {std::string("\x81\0\xFF\x1F", 4), std::string("\x81\0\xFF\x1F", 4)},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(NormalizeText(text), expected) << Cp932ToUtf8(text);
  }
  std::set<std::string> wide;
  for (int c = 0xA1; c <= 0xDD; ++c) wide.insert(NormalizeText(std::string(1, char(c))));
  EXPECT_EQ(wide.size(), 61u);
  for (const std::string& w : wide) EXPECT_TRUE(w.size() == 2 && IsLeadByte(w[0]));
}

TEST(Analysis, NormalizeTextMapPointsBackIntoTheSource) {
  TPositionMap map;
  EXPECT_EQ(NormalizeTextMap(Sjis("Ａ") + "b", map), "AB");
  EXPECT_EQ(map, (TPositionMap{1, 3, 4}));
  EXPECT_EQ(NormalizeTextMap("\xCA\xDFx\x82\xA0", map), Sjis("パ") + "X\x82\xA0");
  EXPECT_EQ(map, (TPositionMap{1, 1, 3, 4, 4, 6}));

  const std::string longLine = std::string(300, '.') + Sjis("ａ");
  EXPECT_EQ(NormalizeTextMap(longLine, map), std::string(300, '.') + "A");
  EXPECT_EQ(map[300], 301u);
  EXPECT_EQ(map[301], 303u);
}

TEST(Analysis, TrimWideAndTrailBytes) {
  const std::string wideSpace = "\x81\x40";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {wideSpace + " a " + wideSpace + " ", "a"},
      {"\t a\t", "\t a\t"},
      {"\x81\x81\x40", "\x81\x81\x40"},  // 0x81 0x40 here is "＝" then "@"
      {"x\x81 ", "x\x81 "},              // the space is a second byte
      {wideSpace + wideSpace, ""},
      {"", ""},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(TrimWide(text), expected);

  EXPECT_FALSE(IsTrailByte("\x82\xA0", 1));
  EXPECT_TRUE(IsTrailByte("\x82\xA0", 2));
  EXPECT_TRUE(IsTrailByte("\x81\x81\x40", 2));
  EXPECT_FALSE(IsTrailByte("\x81\x81\x40", 3));
  for (int position : {0, 3}) {
    try {
      IsTrailByte("ab", position);
      ADD_FAILURE() << position;
    } catch (const EIllegalIndex& error) {
      EXPECT_STREQ(error.what(), "Illegal Index");
    }
  }
}

}  // namespace
