// The view's line model: folding, the partial line, the line limit, the top
// line, the parallel colour list and the property setters.

#include <QApplication>
#include <QElapsedTimer>
#include <functional>
#include <sstream>

#include "ViewFixture.h"
#include "support/TempFolder.h"
#include "text/Codec.h"
#include "text/Errors.h"
#include "view/LineFold.h"

namespace {

const std::string Mark(1, FoldMark);

std::string Repeat(char c, int n) {
  return std::string(static_cast<size_t>(n), c);
}

}  // namespace

TEST_F(ViewTest, FoldsAtEightyColumnsWithoutSplittingACharacter) {
  struct Case {
    const char* name;
    std::string line;
    std::vector<std::string> stored;
  };
  const std::string a = Sjis("あ");
  const std::vector<Case> cases = {
      {"200 single bytes",
       Repeat('a', 200),
       {Repeat('a', 80) + Mark, Repeat('a', 80) + Mark, Repeat('a', 40)}},
      {"lead byte at column 80", Repeat('a', 79) + a + "b", {Repeat('a', 79) + Mark, a + "b"}},
      {"double-byte character ending at column 80",
       Repeat('a', 78) + a + "b",
       {Repeat('a', 78) + a + Mark, "b"}},
      {"exactly 80 bytes", Repeat('a', 80), {Repeat('a', 80)}},
      {"empty line", "", {""}},
      {"fold mark bytes in the text", "ab" + Mark + "cd", {"abcd"}},
  };
  view.SetEightyColumns(true);
  for (const Case& c : cases) {
    view.Clear();
    view.Add(c.line);
    EXPECT_EQ(Lines(), c.stored) << c.name;
  }
}

TEST_F(ViewTest, FoldsAtTheWindowWidthWithoutEightyColumns) {
  const int width = view.viewport()->width() / view.CharWidth();
  ASSERT_GT(width, 10);
  view.Add(Repeat('x', width + 5));
  EXPECT_EQ(Lines(), (std::vector<std::string>{Repeat('x', width) + Mark, Repeat('x', 5)}));
}

TEST_F(ViewTest, PartialLineIsReplacedByWhatFollows) {
  struct Case {
    const char* name;
    std::function<void(TQuokkaView&)> steps;
    std::vector<std::string> stored;
  };
  const std::string lead = Sjis("あ").substr(0, 1);
  const std::vector<Case> cases = {
      {"completed line",
       [](TQuokkaView& v) {
         v.ShowPartialLine("abc");
         v.AddLines({"abcdef"});
       },
       {"abcdef"}},
      {"second partial line",
       [](TQuokkaView& v) {
         v.ShowPartialLine("abc");
         v.ShowPartialLine("abcd");
       },
       {"abcd"}},
      {"added line",
       [](TQuokkaView& v) {
         v.ShowPartialLine("ab");
         v.Add("abc");
       },
       {"abc"}},
      {"dangling lead byte", [&](TQuokkaView& v) { v.ShowPartialLine("ab" + lead); }, {"ab"}},
      {"cleared while shown",
       [](TQuokkaView& v) {
         v.ShowPartialLine("abc");
         v.Clear();
         v.AddLines({"x", "y"});
       },
       {"x", "y"}},
      {"folded partial line",
       [](TQuokkaView& v) {
         v.SetEightyColumns(true);
         v.ShowPartialLine(Repeat('a', 100));
         v.AddLines({Repeat('a', 150), "next"});
       },
       {Repeat('a', 80) + Mark, Repeat('a', 70), "next"}},
  };
  for (const Case& c : cases) {
    view.Clear();
    c.steps(view);
    EXPECT_EQ(Lines(), c.stored) << c.name;
  }
}

TEST_F(ViewTest, PartialLineTrimsToTheLineLimit) {
  view.SetMaxLineCount(100);
  view.AddLines(Numbered("line", 1, 100));
  view.AddLines(Numbered("more", 1, 5));
  EXPECT_EQ(view.LineCount(), 105);  // only a partial line trims
  view.ShowPartialLine("partial");
  EXPECT_EQ(view.LineCount(), 100);
  EXPECT_EQ(view.Get(0), "line7");
  EXPECT_EQ(view.Get(99), "partial");
}

TEST_F(ViewTest, LineLimitBelowThePartialLinesFoldsKeepsTheViewUsable) {
  view.SetEightyColumns(true);
  view.SetMaxLineCount(1);
  view.ShowPartialLine(Repeat('a', 200));  // three stored lines, two trimmed at once
  ASSERT_EQ(view.LineCount(), 1);
  EXPECT_NO_THROW(view.AddLines({"x", "y"}));
  EXPECT_EQ(Lines(), (std::vector<std::string>{"x", "y"}));
}

TEST_F(ViewTest, TrimmingWithoutAutoScrollKeepsTheTopLine) {
  view.SetMaxLineCount(100);
  view.AddLines(Numbered("line", 1, 100));
  view.SetTopLine(50);
  view.AddLines(Numbered("more", 1, 5));
  view.ShowPartialLine("partial");
  EXPECT_EQ(view.TopLine(), 50);
  EXPECT_EQ(view.Get(50), "line57");
}

TEST_F(ViewTest, AutoScrollShowsTheLastPage) {
  view.SetAutoScroll(true);
  view.AddLines(Numbered("line", 1, 200));
  ASSERT_GT(view.PageLines(), 0);
  EXPECT_EQ(view.TopLine(), 200 - view.PageLines());
  EXPECT_EQ(view.BottomLine(), 199);
}

TEST_F(ViewTest, SetTopLineClampsAndLetsTheHandlerDecide) {
  view.AddLines(Numbered("line", 1, 10));
  std::vector<int> proposed;
  int changed = 0;
  view.OnViewLineChanging = [&](TQuokkaView&, int32_t& value) {
    proposed.push_back(value);
    value = 3;
  };
  view.OnViewLineChanged = [&](TQuokkaView&) { ++changed; };
  view.SetTopLine(1000);
  EXPECT_EQ(proposed, std::vector<int>{9});
  EXPECT_EQ(view.TopLine(), 3);
  EXPECT_EQ(view.BottomLine(), 9);
  EXPECT_EQ(changed, 1);

  view.OnViewLineChanging = nullptr;
  view.SetTopLine(-5);
  EXPECT_EQ(view.TopLine(), 0);
}

TEST_F(ViewTest, IndexesOutsideTheStore) {
  view.AddLines({"a", "b"});
  EXPECT_EQ(view.Get(-1), "");
  EXPECT_EQ(view.Get(2), "");
  view.Put(-1, "x");
  view.Put(2, "x");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"a", "b"}));
  EXPECT_THROW(view.Delete(2), EListError);
  EXPECT_THROW(view.Exchange(0, 2), EListError);
  EXPECT_THROW(view.Insert(3, "x"), EListError);
  EXPECT_EQ(view.LineCount(), 2);
}

TEST_F(ViewTest, ColoursFollowTheirLines) {
  view.AddColoredLines({"red", "blue"}, {Qt::red, Qt::blue});
  view.Insert(0, "top");  // takes TextColor, now the last colour used
  EXPECT_EQ(view.LineColor(0), QColor(Qt::blue));
  view.Exchange(1, 2);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"top", "blue", "red"}));
  EXPECT_EQ(view.LineColor(1), QColor(Qt::blue));
  EXPECT_EQ(view.LineColor(2), QColor(Qt::red));
  view.Delete(1);
  EXPECT_EQ(view.LineColor(1), QColor(Qt::red));
}

TEST_F(ViewTest, SettersClampOrIgnoreBadValues) {
  view.SetMaxChar(1);  // the layout widens it to the window's width
  const int narrowest = view.MaxChar();
  view.SetMaxChar(500);
  view.SetMaxChar(0);
  EXPECT_EQ(view.MaxChar(), narrowest);
  view.SetScrollSense(5);
  view.SetScrollSense(11);
  EXPECT_EQ(view.ScrollSense(), 5);
  view.SetPCanLimit(-5);
  EXPECT_EQ(view.PCanLimit(), 0);
  view.SetViewTabStop(4);
  view.SetViewTabStop(-1);
  EXPECT_EQ(view.ViewTabStop(), 4);
  view.SetMotionInterval(0);  // a zero interval would spin the animation
  EXPECT_EQ(view.MotionInterval(), 10);
}

TEST_F(ViewTest, ResizingKeepsTheBottomLineVisible) {
  view.AddLines(Numbered("line", 1, 200));
  view.SetBottomLine(150);
  ASSERT_EQ(view.BottomLine(), 150);
  view.resize(640, 200);
  QApplication::processEvents();
  EXPECT_LT(view.PageLines(), 20);
  EXPECT_EQ(view.BottomLine(), 150);
}

TEST_F(ViewTest, LoadsAndSavesThroughStreams) {
  view.SetEightyColumns(true);
  std::istringstream in("one\r\n" + Repeat('a', 100) + "\r\n");
  view.SetIgnoreMotion(false);  // loaded lines are folded
  view.LoadFromStream(in);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"one", Repeat('a', 80) + Mark, Repeat('a', 20)}));
  std::ostringstream out;
  view.SaveToStream(out);
  EXPECT_EQ(out.str(), "one\r\n" + Repeat('a', 80) + Mark + "\r\n" + Repeat('a', 20) + "\r\n");
}

TEST_F(ViewTest, FrameStyleChangesGoThroughTheHandler) {
  const int pageLines = view.PageLines();
  int changed = 0;
  view.OnBvStyleChanging = [](TQuokkaView&, TBvStyle& style) { style.Include(bvCaption); };
  view.OnBvStyleChanged = [&](TQuokkaView&) { ++changed; };
  view.SetBvStyle({bvDblFrame});
  EXPECT_EQ(view.BvStyle(), (TBvStyle{bvDblFrame, bvCaption}));
  EXPECT_EQ(changed, 1);
  EXPECT_LT(view.PageLines(), pageLines);  // the caption takes a line's room
  view.SetBvStyle({bvDblFrame, bvCaption});
  EXPECT_EQ(changed, 1);  // no change, no events
}

TEST_F(ViewTest, LoadsAFileAndReportsAMissingOne) {
  TTempFolder folder;
  const std::string path = folder.Path() + "/lines.txt";
  view.AddLines({"one", "two", "three"});
  view.SaveToFile(path);
  view.Clear();
  view.LoadFromFile(path);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_THROW(view.LoadFromFile(folder.Path() + "/missing.txt"), EInOutError);
  EXPECT_EQ(view.LineCount(), 0);
  EXPECT_NO_THROW(view.AddLines({"after"}));
  EXPECT_EQ(view.LineColor(0), view.TextColor());
}

TEST(FoldCut, EndsAfterTheLastWholeCharacter) {
  const std::string a = Sjis("あ");
  struct Case {
    std::string text;
    int width;
    int cut;
  };
  const std::vector<Case> cases = {
      {"abcdef", 4, 4},       {"abc" + a, 4, 3},  // lead byte at the width: the character moves on
      {"ab" + a + "c", 4, 4},                     // the character ends at the width
      {a + a, 1, 2},                              // a width of one still takes a whole character
      {"a" + a, 1, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FoldCut(c.text, c.width), c.cut) << c.text << " " << c.width;
}
