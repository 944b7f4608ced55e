#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/Codec.h"
#include "text/LineAssembler.h"

namespace {

struct TReceived {
  std::vector<std::string> Lines;
  std::string Pending;
};

// What the receive road does with one block: append it, take every complete
// line, keep the rest as the partial line.
TReceived Receive(std::string& buffer, const std::string& block) {
  TReceived result;
  const size_t searchFrom = buffer.size();
  AppendBlock(buffer, block);
  result.Lines = TakeLines(buffer, searchFrom);
  PendingText(buffer, result.Pending);
  return result;
}

struct TBlockCase {
  const char* Name;
  std::string Before;  // the buffer left by earlier blocks
  std::string Block;
  std::vector<std::string> Lines;
  std::string Pending;
};

class LineAssemblerBlocks : public testing::TestWithParam<TBlockCase> {};

TEST_P(LineAssemblerBlocks, CutsLinesOnlyAtCarriageReturns) {
  const TBlockCase& c = GetParam();
  std::string buffer = c.Before;
  const TReceived received = Receive(buffer, c.Block);
  EXPECT_EQ(received.Lines, c.Lines);
  EXPECT_EQ(received.Pending, c.Pending);
  EXPECT_EQ(buffer, c.Pending);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, LineAssemblerBlocks,
    testing::Values(TBlockCase{"CrLfThenPartial", "", "abc\r\nde", {"abc"}, "de"},
                    TBlockCase{"PartialCompleted", "de", "f\r\n", {"def"}, ""},
                    TBlockCase{"OnlyLineFeedsOnEmpty", "", "\n\n", {}, ""},
                    TBlockCase{"OnlyLineFeedsKeepPartial", "de", "\n", {}, "de"},
                    TBlockCase{"TwoCarriageReturns", "", "\r\r", {"", ""}, ""},
                    TBlockCase{"LfCrEndsOnce", "", "a\n\rb", {"a"}, "b"},
                    TBlockCase{"LoneLfDropped", "", "a\nb\r", {"ab"}, ""},
                    TBlockCase{"NoCarriageReturn", "x", "yz", {}, "xyz"},
                    TBlockCase{"SeveralLines", "", "1\r2\r\n3\r", {"1", "2", "3"}, ""},
                    TBlockCase{"EmptyBlock", "p", "", {}, "p"}),
    [](const testing::TestParamInfo<TBlockCase>& info) { return info.param.Name; });

TEST(LineAssembler, TakeLineWithoutCarriageReturnLeavesBufferAndEmptiesLine) {
  std::string buffer = "partial";
  std::string line = "old";
  TakeLine(buffer, line);
  EXPECT_EQ(line, "");
  EXPECT_EQ(buffer, "partial");
  EXPECT_TRUE(HasNoLine(""));
}

TEST(LineAssembler, WithoutLineFeedsTurnsCrLfIntoCr) {
  EXPECT_EQ(WithoutLineFeeds("one\r\ntwo\r\n"), "one\rtwo\r");
  EXPECT_EQ(WithoutLineFeeds("\n"), "");
}

}  // namespace

// A line without CR is cut into 64 KiB pieces as it grows; a double-byte
// character is never split, and a line of exactly 64 KiB is not cut.
TEST(LineAssembler, TakeLinesCutsOverlongLinesAtCharacterBoundaries) {
  std::string buffer;
  const std::string single(kMaxLineLength, 'a');
  EXPECT_TRUE(Receive(buffer, single).Lines.empty());
  EXPECT_EQ(Receive(buffer, "\r").Lines, std::vector<std::string>{single});

  // 'b', then double-byte characters: the one at 65535 would straddle the cut.
  std::string wide = "b";
  while (wide.size() < 2 * kMaxLineLength + 10) wide += Sjis("あ");
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < wide.size(); pos += 1024) {
    const TReceived received = Receive(buffer, wide.substr(pos, 1024));
    lines.insert(lines.end(), received.Lines.begin(), received.Lines.end());
    EXPECT_LE(buffer.size(), kMaxLineLength);
  }
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), kMaxLineLength - 1);
  EXPECT_EQ(lines[1].size(), kMaxLineLength);
  EXPECT_TRUE(lines[0] + lines[1] + buffer == wide);

  // A block longer than two lines, with a CR after them, at once.
  buffer.clear();
  const std::string longBlock = std::string(2 * kMaxLineLength + 5, 'c') + "\rd";
  const TReceived received = Receive(buffer, longBlock);
  EXPECT_EQ(received.Lines, (std::vector<std::string>{std::string(kMaxLineLength, 'c'),
                                                      std::string(kMaxLineLength, 'c'), "ccccc"}));
  EXPECT_EQ(received.Pending, "d");
}
