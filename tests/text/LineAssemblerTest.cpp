#include <gtest/gtest.h>

#include <string>
#include <vector>

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
  AppendBlock(buffer, block);
  while (!HasNoLine(buffer)) {
    std::string line;
    TakeLine(buffer, line);
    result.Lines.push_back(line);
  }
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
