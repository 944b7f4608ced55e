#include <gtest/gtest.h>

#include "session/InputHistory.h"

namespace {

TEST(InputHistory, KeepsTheTwentyNewestFirst) {
  TInputHistory history;
  for (int i = 1; i <= 25; ++i) history.Add("line" + std::to_string(i));
  ASSERT_EQ(history.Lines().size(), 20u);
  EXPECT_EQ(history.Lines().front(), "line25");
  EXPECT_EQ(history.Lines().back(), "line6");
}

TEST(InputHistory, KeepsEmptyLinesAndDuplicates) {
  TInputHistory history;
  history.Add("");
  history.Add("a");
  history.Add("a");
  EXPECT_EQ(history.Lines(), (std::vector<std::string>{"a", "a", ""}));
  history.Clear();
  EXPECT_TRUE(history.Lines().empty());
}

}  // namespace
