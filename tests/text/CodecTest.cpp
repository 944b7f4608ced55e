#include "text/Codec.h"

#include <gtest/gtest.h>

namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(Codec, EveryDoubleByteCodeDecodesAndEncodesBackToTheSameCharacter) {
  int identical = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      const std::string utf8 = Cp932ToUtf8(code);
      if (utf8 == kReplacement) continue;  // no character at this code
      const std::string back = Utf8ToCp932(utf8);
      // NEC and IBM extensions share characters: those come back as the
      // preferred code of the same character.
      EXPECT_EQ(Cp932ToUtf8(back), utf8) << std::hex << lead << trail;
      if (back == code) ++identical;
    }
  }
  EXPECT_GT(identical, 7000);
}

TEST(Codec, HalfWidthKatakanaAndAsciiRoundTrip) {
  for (int c = 0x20; c <= 0xDF; ++c) {
    if (c >= 0x7F && c < 0xA1) continue;
    const std::string code(1, static_cast<char>(c));
    EXPECT_EQ(Utf8ToCp932(Cp932ToUtf8(code)), code) << std::hex << c;
  }
  EXPECT_EQ(Cp932ToUtf8("\xB1"), "ｱ");
}

TEST(Codec, LiteralsHaveTheirCp932Lengths) {
  EXPECT_EQ(Sjis("のユーザーからのメッセージです－").size(), 32u);
  EXPECT_EQ(Sjis("ＭＳ ゴシック"), "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E");
  EXPECT_EQ(Sjis("～"), "\x81\x60");  // the wave dash of Microsoft's table
}

TEST(Codec, BadBytesBecomeReplacementsWithoutReadingPastTheText) {
  EXPECT_EQ(Cp932ToUtf8("a\x82"), "a" + kReplacement);
  EXPECT_EQ(Cp932ToUtf8("\xFF" "b"), kReplacement + "b");
  EXPECT_EQ(Utf8ToCp932("a\xC3"), "a?");
  EXPECT_EQ(Utf8ToCp932("\xF0\x9F\x98\x80"), "?");  // no CP932 code
  EXPECT_EQ(Cp932ToUtf8(""), "");
}

}  // namespace

// Look-alikes the codec maps go as they are; only characters it has no code
// for are reported, each once, in order. A "?" typed by the user is no loss.
TEST(Codec, UnmappableCharactersAreTheOnesWithoutACode) {
  const struct {
    const char* text;
    std::vector<std::string> unmappable;
  } table[] = {
      {"〜～−‖¢£¬—①㈱Ωｱ", {}},
      {"what? ok", {}},
      {"hi 😀 é 😀", {"😀", "é"}},
      {"한국어", {"한", "국", "어"}},
      {"", {}},
  };
  for (const auto& row : table) EXPECT_EQ(UnmappableCharacters(row.text), row.unmappable) << row.text;
}
