// Line animation: parsing the section of a line into frames, and the view
// stepping the frames of visible lines on its timer.

#include <QApplication>
#include <QElapsedTimer>

#include "ViewFixture.h"
#include "view/Motion.h"

namespace {

// Runs the event loop until `line` of the view differs from `from`, for at
// most a second; returns the new text.
std::string NextText(TQuokkaView& view, int line, const std::string& from) {
  QElapsedTimer clock;
  clock.start();
  while (view.Get(line) == from && clock.elapsed() < 1000) QApplication::processEvents();
  return view.Get(line);
}

}  // namespace

TEST(ParseMotion, SectionsBecomeFrames) {
  struct Case {
    const char* name;
    std::string line;
    std::string stored;
    std::vector<std::string> frames;
    int start;
    int width;
  };
  const std::vector<Case> cases = {
      {"two frames",
       "ab\x01x\x02yy\x01"
       "c",
       "abx c",
       {"x", "yy"},
       3,
       2},
      {"a run of 0x04 deletes one byte each",
       "\x01"
       "abc\x04\x04\x01",
       "abc",
       {"abc", "a"},
       1,
       3},
      {"0x05 blanks the text",
       "\x01"
       "ab\x05\x01",
       "ab",
       {"ab", "  "},
       1,
       2},
      {"0x03 continues the text",
       "\x01"
       "a\x03"
       "b\x01",
       "a ",
       {"a", "ab"},
       1,
       2},
      {"an empty frame holds the last", "\x01x\x02\x02\x01", "x", {"x", "x", "x"}, 1, 1},
  };
  for (const Case& c : cases) {
    std::string text = c.line;
    const TMotion motion = ParseMotion(text);
    EXPECT_EQ(text, c.stored) << c.name;
    EXPECT_EQ(motion.Frames, c.frames) << c.name;
    EXPECT_EQ(motion.Start, c.start) << c.name;
    EXPECT_EQ(motion.Width, c.width) << c.name;
    EXPECT_EQ(motion.Frame, 1) << c.name;
  }
}

TEST(ParseMotion, AnUnclosedSectionStaysInTheLine) {
  std::string text = "ab\x01x\x02y";
  EXPECT_TRUE(ParseMotion(text).Empty());
  EXPECT_EQ(text, "ab\x01x\x02y");
}

TEST_F(ViewTest, AnimatedLineCyclesThroughItsFrames) {
  view.SetIgnoreMotion(false);
  view.SetMotionInterval(10);
  view.Add(
      "ab\x01x\x02yy\x01"
      "c");
  ASSERT_EQ(view.Get(0), "abx c");
  EXPECT_EQ(NextText(view, 0, "abx c"), "abyyc");
  EXPECT_EQ(NextText(view, 0, "abyyc"), "abx c");
}

TEST_F(ViewTest, OnlyVisibleLinesAdvance) {
  view.SetIgnoreMotion(false);
  view.SetMotionInterval(10);
  view.SetAutoScroll(true);
  view.Add(
      "\x01"
      "1\x02"
      "2\x01");
  view.AddLines(Numbered("line", 1, 100));  // scrolls the animated line away
  ASSERT_GT(view.TopLine(), 0);
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 100) QApplication::processEvents();
  EXPECT_EQ(view.Get(0), "1");
  view.SetTopLine(0);
  EXPECT_EQ(NextText(view, 0, "1"), "2");
}

TEST_F(ViewTest, WithoutMotionSectionsKeepTheirControlBytes) {
  ASSERT_TRUE(view.IgnoreMotion());
  view.Add(
      "ab\x01x\x02yy\x01"
      "c");
  EXPECT_EQ(view.Get(0),
            "ab\x01x\x02yy\x01"
            "c");
}

TEST_F(ViewTest, SectionCutByTheFoldStaysAtItsFirstFrame) {
  view.SetIgnoreMotion(false);
  view.SetMotionInterval(10);
  view.SetEightyColumns(true);
  view.Add(std::string(79, 'a') +
           "\x01xy\x02z\x01"
           "b");
  const std::vector<std::string> stored = {std::string(79, 'a') + "x\x1F", "yb"};
  ASSERT_EQ(Lines(), stored);
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 100) QApplication::processEvents();
  EXPECT_EQ(Lines(), stored);
}
