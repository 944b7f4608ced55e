#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "text/Codec.h"
#include "view/Selection.h"

namespace {

std::unique_ptr<TLightStrings> Store(const std::vector<std::string>& lines) {
  auto store = std::make_unique<TLightStrings>();
  store->Assign(lines);
  return store;
}

struct WordCase {
  const char* name;
  std::vector<std::string> lines;
  TTextPoint at;
  std::string text;
  TLinkKind kind;
  TTextPoint start;
};

class WordAtTest : public testing::TestWithParam<WordCase> {};

TEST_P(WordAtTest, FindsTheWordAndItsKind) {
  const WordCase& c = GetParam();
  const auto lines = Store(c.lines);
  const std::optional<TWord> word = WordAt(*lines, c.at);
  ASSERT_TRUE(word.has_value());
  EXPECT_EQ(word->Text, c.text);
  EXPECT_EQ(word->Kind, c.kind);
  EXPECT_EQ(word->Start, c.start);
  EXPECT_EQ(word->End,
            (TTextPoint{c.start.Column + static_cast<int>(c.text.size()), c.start.Line}));
}

const std::vector<std::string> kFoldedUrl = {"see http://exa\x1F", "mple.com/a b"};

INSTANTIATE_TEST_SUITE_P(
    Cases, WordAtTest,
    testing::Values(
        WordCase{"UrlFromItsFirstPart", kFoldedUrl, {8, 0}, "http://example.com/a", lkUrl, {5, 0}},
        WordCase{
            "UrlFromItsContinuation", kFoldedUrl, {3, 1}, "http://example.com/a", lkUrl, {5, 0}},
        WordCase{"UrlOverThreeLinesWithoutFoldMarks",
                 {"x http://aa\x1F", "bbbb\x1F", "cc d"},
                 {2, 1},
                 "http://aabbbbcc",
                 lkUrl,
                 {3, 0}},
        WordCase{"PlainWord", {"hello world"}, {8, 0}, "world", lkNoLink, {7, 0}},
        WordCase{"AfterTheLineItsLastWord", {"hello world"}, {12, 0}, "world", lkNoLink, {7, 0}},
        WordCase{"DelimiterAlone", {"a (b"}, {3, 0}, "(", lkNoLink, {3, 0}},
        WordCase{
            "LeadByteGivesItsCharacter", {Sjis("あいう")}, {3, 0}, Sjis("い"), lkNoLink, {3, 0}},
        WordCase{
            "TrailByteGivesItsCharacter", {Sjis("あいう")}, {4, 0}, Sjis("い"), lkNoLink, {3, 0}},
        WordCase{"DoubleByteCharacterEndsAWord", {Sjis("abあ")}, {1, 0}, "ab", lkNoLink, {1, 0}},
        WordCase{"MailAddress",
                 {"to ab@example.com now"},
                 {6, 0},
                 "ab@example.com",
                 lkMailAddress,
                 {4, 0}},
        WordCase{"AtSignFirstIsNoMail", {"@example.com"}, {3, 0}, "@example.com", lkNoLink, {1, 0}},
        WordCase{"DotBeforeAtSignIsNoMail", {"a.b@c.d"}, {3, 0}, "a.b@c.d", lkNoLink, {1, 0}},
        WordCase{"SchemeInAnyCase", {"HTTP://X.ORG"}, {1, 0}, "HTTP://X.ORG", lkUrl, {1, 0}}),
    [](const testing::TestParamInfo<WordCase>& info) { return info.param.name; });

TEST(WordAt, NothingWithoutAByteToTake) {
  const auto lines = Store({"abc", ""});
  EXPECT_FALSE(WordAt(*lines, {0, 0}));
  EXPECT_FALSE(WordAt(*lines, {9, 0}));
  EXPECT_FALSE(WordAt(*lines, {1, 1}));
  EXPECT_FALSE(WordAt(*lines, {1, 2}));
}

TEST(LinkOnLineOf, FindsTheLinkOfTheLineWhenThePointIsBesideIt) {
  const auto lines = Store({"go to http://x.org/ now", "mail ab@example.com", "no links here", "",
                            "see http://exa\x1F", "mple.com/ ok"});
  EXPECT_EQ(LinkOnLineOf(*lines, {1, 0}), (TLink{lkUrl, "http://x.org/"}));
  EXPECT_EQ(LinkOnLineOf(*lines, {1, 1}), (TLink{lkMailAddress, "ab@example.com"}));
  EXPECT_EQ(LinkOnLineOf(*lines, {1, 2}), TLink{});
  EXPECT_EQ(LinkOnLineOf(*lines, {1, 3}), TLink{});
  EXPECT_EQ(LinkOnLineOf(*lines, {11, 5}), (TLink{lkUrl, "http://example.com/"}));
}

TEST(SelectionText, JoinsFoldedLinesAndSkipsEmptyOnes) {
  const auto lines = Store({"abc\x1F", "def", "", "ghi"});
  std::string text;
  EXPECT_EQ(SelectionText(*lines, {2, 0}, {3, 1}, &text), 4);
  EXPECT_EQ(text, "bcde");
  // Either order; the empty line gives no piece and no line break.
  EXPECT_EQ(SelectionText(*lines, {4, 3}, {1, 1}, &text), 8);
  EXPECT_EQ(text, "def\r\nghi");
  EXPECT_EQ(SelectionText(*lines, {1, 1}, {4, 3}, nullptr), 8);
  EXPECT_EQ(SelectionText(*lines, {2, 1}, {2, 1}, &text), -1);
  EXPECT_EQ(SelectionText(*Store({}), {1, 0}, {2, 0}, &text), -1);
}

TEST(CaretStep, NeverStopsOnATrailByte) {
  const auto lines = Store({"abcd", Sjis("aあb")});
  EXPECT_EQ(CaretStep(*lines, {2, 1}, cmRight), (TTextPoint{4, 1}));
  EXPECT_EQ(CaretStep(*lines, {4, 1}, cmLeft), (TTextPoint{2, 1}));
  EXPECT_EQ(CaretStep(*lines, {1, 1}, cmLeft), (TTextPoint{1, 1}));
  EXPECT_EQ(CaretStep(*lines, {3, 0}, cmDown), (TTextPoint{4, 1}));
  EXPECT_EQ(CaretStep(*lines, {3, 1}, cmDown), (TTextPoint{4, 1}));
  EXPECT_EQ(CaretStep(*lines, {3, 0}, cmUp), (TTextPoint{3, 0}));
}

}  // namespace
