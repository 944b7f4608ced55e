// Line animation: parsing the section of a line into frames, and the view
// stepping the frames of visible lines on its timer.

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>

#include "ViewFixture.h"
#include "view/LineFold.h"
#include "view/LineFolder.h"
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

namespace {

// The plain way of storing a line, piece by piece: search the rest for a
// section and rewrite it, then cut a piece off the front. Quadratic, but
// plainly right; the folder must give the same pieces.
std::vector<TStoredPiece> FoldPieceByPiece(std::string rest, int width) {
  std::vector<TStoredPiece> pieces;
  do {
    TStoredPiece piece;
    const size_t open = rest.find('\x01');
    const size_t close = open == std::string::npos ? open : rest.find('\x01', open + 1);
    if (close != std::string::npos) {
      const size_t held = static_cast<size_t>(std::count_if(
          rest.begin(), rest.begin() + static_cast<ptrdiff_t>(open), IsMotionCommand));
      piece.Motion = ParseSection(std::string_view(rest).substr(open, close - open + 1), held);
      piece.Motion.Start = static_cast<int>(open) + 1;
      rest = rest.substr(0, open) + PaddedFrame(piece.Motion) + rest.substr(close + 1);
    }
    size_t cut = rest.size();
    if (rest.size() >= static_cast<size_t>(width))
      cut = std::min(cut, static_cast<size_t>(FoldCut(rest, width)));
    if (!piece.Motion.Empty() &&
        static_cast<size_t>(piece.Motion.Start - 1 + piece.Motion.Width) > cut)
      piece.Motion = {};
    piece.Text = rest.substr(0, cut) + (cut < rest.size() ? "\x1F" : "");
    rest.erase(0, cut);
    pieces.push_back(std::move(piece));
  } while (!rest.empty());
  return pieces;
}

}  // namespace

TEST(LineFolder, GivesThePiecesOfThePlainWay) {
  const std::vector<std::string> alphabet = {"a", "b", " ", "\x82\xa0", "\x82", "\x01", "\x02",
                                             "\x03", "\x04", "\x05", "\x07"};
  uint32_t seed = 1;
  auto next = [&seed](uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % range;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string line;
    const uint32_t length = next(120);
    for (uint32_t i = 0; i < length; ++i)
      line += alphabet[next(static_cast<uint32_t>(alphabet.size()))];
    const int width = 1 + static_cast<int>(next(20));
    const std::vector<TStoredPiece> expected = FoldPieceByPiece(line, width);
    TLineFolder folder(line, width, true);
    for (size_t i = 0; i < expected.size(); ++i) {
      ASSERT_FALSE(folder.Done()) << round;
      const TStoredPiece piece = folder.Next();
      ASSERT_EQ(piece.Text, expected[i].Text) << round << " piece " << i;
      ASSERT_EQ(piece.Motion.Frames, expected[i].Motion.Frames) << round << " piece " << i;
      ASSERT_EQ(piece.Motion.Start, expected[i].Motion.Start) << round << " piece " << i;
      ASSERT_EQ(piece.Motion.Width, expected[i].Motion.Width) << round << " piece " << i;
    }
    EXPECT_TRUE(folder.Done()) << round;
  }
}

TEST(ParseMotion, ASectionRepeatingALongFrameKeepsItsMemoryBounded) {
  std::string text = "\x01" + std::string(100000, 'x') + std::string(100000, '\x02') + "\x01";
  const TMotion motion = ParseMotion(text);
  EXPECT_EQ(text, std::string(100000, 'x'));
  size_t kept = 0;
  for (const std::string& frame : motion.Frames) kept += frame.size();
  EXPECT_LE(kept, 200000u);
}
