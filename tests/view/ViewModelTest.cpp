// The view's line model: folding, the partial line, the line limit, the top
// line, the colours kept with the lines and the property setters.

#include <QApplication>
#include <QElapsedTimer>
#include <QVBoxLayout>
#include <climits>
#include <functional>
#include <sstream>

#include "ViewFixture.h"
#include "support/TempFolder.h"
#include "support/UserInput.h"
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

// A batch that trims many lines at once keeps what trimming after every
// line keeps: the same lines, top line and selection on the same text.
TEST_F(ViewTest, ABatchBeyondTheLineLimitTrimsAsLineByLine) {
  struct Case {
    const char* name;
    int batch;
    TTextPoint selStart, selEnd;  // after the batch and the partial line
  };
  for (const Case& c : {Case{"within the limit", 30, {2, 59}, {4, 64}},
                        Case{"all the old lines", 99, {}, {}},
                        Case{"beyond the limit", 250, {}, {}}}) {
    TQuokkaView single;
    single.setFont(view.font());
    single.resize(view.size());
    single.show();
    QApplication::processEvents();
    for (TQuokkaView* v : {&view, &single}) {
      v->Clear();
      v->SetMaxLineCount(100);
      v->SetAutoScroll(true);
      v->AddLines(Numbered("old", 1, 100));
      v->SetSelStart({2, 90});
      v->SetSelEnd({4, 95});
    }
    std::vector<int> events;
    view.OnViewLineChanged = [&events](TQuokkaView& v) { events.push_back(v.TopLine()); };
    const std::vector<std::string> batch = Numbered("new", 1, c.batch);
    view.AddLines(batch);
    view.ShowPartialLine("partial");
    view.OnViewLineChanged = nullptr;
    for (const std::string& line : batch) {
      single.AddLines({line});
      single.ApplyLineLimit();
    }
    single.ShowPartialLine("partial");

    std::vector<std::string> kept;
    single.AssignTo(kept);
    EXPECT_EQ(Lines(), kept) << c.name;
    ASSERT_EQ(view.LineCount(), 100) << c.name;
    EXPECT_EQ(view.Get(99), "partial") << c.name;
    EXPECT_EQ(view.TopLine(), single.TopLine()) << c.name;
    for (const TQuokkaView* v : {&view, &single}) {
      EXPECT_EQ(v->SelStart(), c.selStart) << c.name;
      EXPECT_EQ(v->SelEnd(), c.selEnd) << c.name;
    }
    // Scrolled to the batch's last page, onto the last line left by the
    // trim, then to the last page of what is kept.
    const int page = view.PageLines();
    EXPECT_EQ(events, (std::vector<int>{100 + c.batch - page, 99, 100 - page, 100 - page}))
        << c.name;
  }
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

TEST(HiddenView, FoldsAtTheWidthItWillHaveWhenShown) {
  QWidget panel;
  panel.resize(640, 400);
  auto* box = new QVBoxLayout(&panel);
  box->setContentsMargins(0, 0, 0, 0);
  auto* hidden = new TQuokkaView(&panel);
  auto* shown = new TQuokkaView(&panel);
  box->addWidget(hidden);
  box->addWidget(shown, 1);
  for (TQuokkaView* view : {hidden, shown}) {
    view->setFont(DefaultTerminalFont());
    view->SetScrollBar(ssVertical);
  }
  hidden->hide();
  panel.show();
  QApplication::processEvents();
  ASSERT_GT(hidden->viewport()->width(), 0);
  const std::string line(300, 'x');
  hidden->Add(line);
  shown->Add(line);
  std::vector<std::string> hiddenLines, shownLines;
  hidden->AssignTo(hiddenLines);
  shown->AssignTo(shownLines);
  EXPECT_GT(shownLines.front().size(), 40u);
  EXPECT_EQ(hiddenLines, shownLines);
}

TEST_F(ViewTest, AViewLowerThanALineStillShowsOne) {
  view.AddLines(Numbered("line", 1, 10));
  view.resize(640, 2);
  QApplication::processEvents();
  EXPECT_EQ(view.PageLines(), 1);
  view.SetTopLine(9);
  EXPECT_EQ(view.BottomLine(), 9) << "its last line can be reached";
}

// After every operation: 0 <= top <= bottom <= max(0, count - 1), the
// bottom line as far as the page reaches, the selection and the caret on
// the text.
void ExpectInvariants(const TQuokkaView& view, const std::string& step) {
  const int last = std::max(view.LineCount() - 1, 0);
  EXPECT_GE(view.TopLine(), 0) << step;
  EXPECT_LE(view.TopLine(), view.BottomLine()) << step;
  EXPECT_EQ(view.BottomLine(), std::min(view.TopLine() + view.PageLines() - 1, last)) << step;
  const std::vector<std::pair<const char*, TTextPoint>> points = {
      {"start", view.SelStart()}, {"end", view.SelEnd()}, {"caret", view.CaretPos()}};
  for (const auto& [name, point] : points) {
    EXPECT_LE(point.Line, last) << step << " " << name;
    EXPECT_LE(point.Column, static_cast<int>(view.Get(point.Line).size()) + 1)
        << step << " " << name << " line " << point.Line << " of " << view.LineCount();
  }
}

TEST_F(ViewTest, PageSelectionAndCaretStayOnTheLinesWhateverTheOperations) {
  for (TScrollStyle bar : {ssNone, ssVertical}) {
    view.Clear();
    view.SetScrollBar(bar);
    view.SetMaxLineCount(30);
    view.SetCaret(true);
    uint32_t seed = 7;
    auto next = [&seed](int range) {
      seed = seed * 1103515245u + 12345u;
      return static_cast<int>((seed >> 16) % static_cast<uint32_t>(range));
    };
    for (int step = 0; step < 400; ++step) {
      const int count = view.LineCount();
      const int operation = next(9);
      const std::string name =
          std::to_string(bar) + "/" + std::to_string(step) + " op " + std::to_string(operation);
      switch (operation) {
        case 0:
          view.AddLines(Numbered("l", 0, next(8)));
          break;
        case 1:
          view.ShowPartialLine(Repeat('p', next(300)));
          break;
        case 2:
          if (count > 0) view.Delete(next(count));
          break;
        case 3:
          view.Insert(next(count + 1), "ins");
          break;
        case 4:
          view.SetTopLine(next(count + 5) - 2);
          break;
        case 5:
          view.SetSelStart({next(100) - 10, next(count + 3) - 1});
          view.SetSelEnd({next(100) - 10, next(count + 3) - 1});
          break;
        case 6:
          SendKey(&view, next(2) ? Qt::Key_Down : Qt::Key_Right);
          break;
        case 7:
          if (count > 1) view.Exchange(next(count), next(count));
          break;
        default:
          if (count > 0) view.Put(next(count), "put");
          break;
      }
      ExpectInvariants(view, name);
    }
  }
}

TEST_F(ViewTest, ListOperationsKeepThePartialLineLast) {
  struct Case {
    const char* name;
    std::function<void(TQuokkaView&)> steps;
    std::vector<std::string> stored;
  };
  const std::vector<Case> cases = {
      {"partial line deleted",
       [](TQuokkaView& v) {
         v.AddLines({"A", "B"});
         v.ShowPartialLine("P");
         v.Delete(2);
       },
       {"A", "B", "C"}},
      {"line inserted after the partial line goes before it",
       [](TQuokkaView& v) {
         v.AddLines({"A"});
         v.ShowPartialLine("P");
         v.Insert(2, "X");
       },
       {"A", "X", "C"}},
      {"line deleted above the partial line",
       [](TQuokkaView& v) {
         v.AddLines({"A", "B"});
         v.ShowPartialLine("P");
         v.Delete(0);
       },
       {"B", "C"}},
      {"partial line exchanged: its lines are kept",
       [](TQuokkaView& v) {
         v.AddLines({"A"});
         v.ShowPartialLine("P");
         v.Exchange(0, 1);
       },
       {"P", "A", "C"}},
      {"partial line replaced: the new text is kept",
       [](TQuokkaView& v) {
         v.AddLines({"A"});
         v.ShowPartialLine("P");
         v.Put(1, "Q");
       },
       {"A", "Q", "C"}},
  };
  for (const Case& c : cases) {
    view.Clear();
    c.steps(view);
    view.AddLines({"C"});
    EXPECT_EQ(Lines(), c.stored) << c.name;
  }
}

TEST_F(ViewTest, AGrowingPartialLineIsStoredAsIfShownWhole) {
  const std::string kanji = Sjis("漢字");
  std::string line;
  for (int i = 0; line.size() < 3000; ++i)
    line += (i % 7 == 0 ? kanji : "word ") + std::string(i % 11 == 0 ? "\x1F" : "");
  const std::string animated = line.substr(0, 1000) + "\x01" "ab\x02" "cd\x01" + line.substr(1000);
  struct Case {
    const char* name;
    const std::string& line;
    bool eighty;
    int limit;
    bool motion;
  };
  for (const Case& c : {Case{"window width", line, false, 0, false},
                        Case{"eighty", line, true, 0, true},
                        Case{"trimmed while growing", line, true, 10, false},
                        Case{"animated", animated, true, 0, true}}) {
    const std::string& line = c.line;
    TQuokkaView whole;
    whole.setFont(view.font());
    whole.resize(view.size());
    whole.show();
    QApplication::processEvents();
    for (TQuokkaView* v : {&view, &whole}) {
      v->Clear();
      v->SetEightyColumns(c.eighty);
      v->SetMaxLineCount(c.limit);
      v->SetIgnoreMotion(!c.motion);
    }
    view.AddLines({"before"});
    whole.AddLines({"before"});
    // Blocks of 37 bytes cut double-byte characters in two.
    for (size_t end = 37; end < line.size(); end += 37) view.ShowPartialLine(line.substr(0, end));
    view.ShowPartialLine(line);
    whole.ShowPartialLine(line);
    std::vector<std::string> expected;
    whole.AssignTo(expected);
    EXPECT_EQ(Lines(), expected) << c.name;
    view.AddLines({line + "!", "after"});
    whole.AddLines({line + "!", "after"});
    whole.AssignTo(expected);
    EXPECT_EQ(Lines(), expected) << c.name;
  }
}

TEST_F(ViewTest, PointsFarOutsideTheTextAreClamped) {
  view.SetEightyColumns(true);
  view.AddLines({"http://example.com/", Repeat('a', 100)});
  struct Case {
    TTextPoint given;
    TTextPoint clamped;
  };
  for (const Case& c : {Case{{INT_MAX, 0}, {20, 0}}, Case{{INT_MIN, 1}, {0, 1}},
                        Case{{INT_MAX, INT_MAX}, {21, 2}}, Case{{5, INT_MIN}, {0, 0}}}) {
    view.SetSelStart(c.given);
    view.SetSelEnd(c.given);
    EXPECT_EQ(view.SelStart(), c.clamped) << c.given.Column << "," << c.given.Line;
    EXPECT_EQ(view.SelEnd(), c.clamped);
    EXPECT_NO_THROW(view.LinkAt(c.given));
    EXPECT_NO_THROW(view.LinkAtSelStart());
    EXPECT_NO_THROW(view.ScrollIntoView(c.given));
  }
  EXPECT_EQ(view.LinkAt({INT_MAX, 0}).Text, "http://example.com/") << "as after its end";
  view.SetSelStart({INT_MIN, 0});
  view.SetSelEnd({INT_MAX, 2});
  std::string copied;
  EXPECT_EQ(view.GetSelText(&copied), 19 + 2 + 100);
}
