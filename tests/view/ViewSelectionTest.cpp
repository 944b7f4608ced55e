// Selecting, copying, opening links and scrolling in a shown view, driven by
// mouse, key and wheel events as the user would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>

#include "ViewFixture.h"
#include "support/EventWait.h"
#include "support/ScriptedUi.h"
#include "support/UserInput.h"
#include "text/Codec.h"

namespace {

class ViewSelectionTest : public ViewTest {
 protected:
  ViewSelectionTest() {
    view.SetEightyColumns(true);
    view.SetScrollBar(ssVertical);
  }

  // The middle of the character at a text point.
  QPoint PixelOf(TTextPoint point) const {
    return {(point.Column - 1) * view.CharWidth() + view.CharWidth() / 2,
            (point.Line - view.TopLine()) * view.LineHeight() + view.LineHeight() / 2};
  }

  void Press(QPoint at) { SendMouse(view.viewport(), QEvent::MouseButtonPress, at); }
  void DragTo(QPoint at) { SendMouse(view.viewport(), QEvent::MouseMove, at, Qt::NoButton); }
  void Release(QPoint at) {
    SendMouse(view.viewport(), QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
  }
  void DoubleClick(TTextPoint point) { SendDoubleClick(view.viewport(), PixelOf(point)); }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    SendKey(&view, key, modifiers);
  }
  void Wheel(int angle) { SendWheel(view.viewport(), angle); }

  std::string Selected() const {
    std::string text;
    view.GetSelText(&text);
    return text;
  }

  TScriptedUi ui;
};

TEST_F(ViewSelectionTest, DoubleClickOpensLinksAndSelectsPlainWords) {
  // The URL starts at column 72 and is folded after column 80.
  const std::string url = "http://example.com/a/very/long/path";
  view.AddLines({std::string(70, 'x') + " " + url, "write to ab@example.com", "hello world"});
  ASSERT_EQ(view.Get(1), url.substr(9));

  DoubleClick({5, 1});
  EXPECT_EQ(ui.openedUrls, QStringList{QString::fromStdString(url)});
  EXPECT_EQ(view.SelStart(), view.SelEnd()) << "an opened link leaves no selection";

  DoubleClick({12, 2});
  EXPECT_EQ(ui.openedUrls.last(), "mailto:ab@example.com");

  DoubleClick({9, 3});
  EXPECT_EQ(ui.openedUrls.size(), 2) << "a plain word opens nothing";
  EXPECT_EQ(Selected(), "world");
}

TEST_F(ViewSelectionTest, CopiesFoldedLinesWholeAndSkipsEmptyLines) {
  view.AddLines({std::string(100, 'a'), "", Sjis("日本語")});
  ASSERT_EQ(view.LineCount(), 4);
  view.SetSelStart({75, 0});
  view.SetSelEnd({5, 3});
  view.CopyToClipboard();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString(26, 'a') + "\r\n日本");
}

TEST_F(ViewSelectionTest, DraggingSelectsAndAboveTheWindowScrollsUpToTheFirstLine) {
  view.SetAutoScroll(true);
  view.AddLines(Numbered("line ", 1, 40));
  const int top = view.TopLine();
  ASSERT_GT(top, 5);

  Press(PixelOf({3, top + 2}));
  DragTo(PixelOf({6, top + 4}));
  EXPECT_EQ(Selected(),
            "ne " + std::to_string(top + 3) + "\r\nline " + std::to_string(top + 4) + "\r\nline ");

  DragTo({20, -10});
  EXPECT_EQ(view.TopLine(), top - 1) << "one line per step";
  EXPECT_TRUE(WaitUntil([&] { return view.TopLine() == 0; }));
  Release({20, -10});
  EXPECT_EQ(view.SelEnd(), (TTextPoint{1, 0}));
  EXPECT_EQ(view.SelStart(), (TTextPoint{3, top + 2}));

  // Released outside, the view stops scrolling.
  view.SetTopLine(top);
  Press(PixelOf({1, top}));
  DragTo({20, -10});
  Release({20, -10});
  RunEventsFor(100);
  EXPECT_EQ(view.TopLine(), top - 1);
}

TEST_F(ViewSelectionTest, ScrollKeysAndHalfPages) {
  view.SetAutoScroll(true);
  view.AddLines(Numbered("line ", 1, 100));
  const int last = view.LineCount() - view.PageLines();
  const int page = view.PageLines() - 1;
  ASSERT_EQ(view.TopLine(), last);

  Key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(view.TopLine(), 0);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(view.TopLine(), page);
  view.SetHalfScroll(true);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(view.TopLine(), page + page / 2);
  Key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(view.TopLine(), last);
  QApplication::processEvents();  // the bar follows once per event loop turn
  EXPECT_EQ(view.verticalScrollBar()->value(), last);

  // Without a caret the arrows scroll; with one they move it.
  Key(Qt::Key_Up);
  EXPECT_EQ(view.TopLine(), last - 1);
  view.SetCaret(true);
  view.SetSelStart({1, last + 1});
  view.SetSelEnd({1, last + 1});
  Key(Qt::Key_Up);
  EXPECT_EQ(view.TopLine(), last - 1);
  EXPECT_EQ(view.CaretPos(), (TTextPoint{1, last}));
  Key(Qt::Key_Right, Qt::ShiftModifier);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(Selected(), "li");
  Key(Qt::Key_Up);
  Key(Qt::Key_Up);
  EXPECT_EQ(view.TopLine(), last - 2) << "the caret is kept in view";
  EXPECT_EQ(view.SelStart(), view.SelEnd());
}

TEST_F(ViewSelectionTest, HorizontalKeysScrollSideways) {
  view.SetScrollBar(ssBoth);
  view.AddLines({"wide"});
  QScrollBar* bar = view.horizontalScrollBar();
  Key(Qt::Key_End);
  QApplication::processEvents();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  Key(Qt::Key_Left, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_EQ(bar->value(),
            std::max(0, bar->maximum() - view.viewport()->width() / view.CharWidth()));
  Key(Qt::Key_Home);
  QApplication::processEvents();
  EXPECT_EQ(bar->value(), 0);
}

TEST_F(ViewSelectionTest, WheelScrollsLikeTheScrollBarAndTheThumbFollowsTheTopLine) {
  view.SetAutoScroll(true);
  view.AddLines(Numbered("line ", 1, 100));
  const int last = view.TopLine();
  Wheel(40);
  EXPECT_EQ(view.TopLine(), last - 1);
  EXPECT_EQ(view.verticalScrollBar()->value(), last - 1);
  Wheel(-120);
  EXPECT_EQ(view.TopLine(), last);

  // A handler that keeps the view at its end keeps the thumb there too.
  view.OnViewLineChanging = [&](TQuokkaView&, int32_t& value) { value = last; };
  Wheel(40);
  EXPECT_EQ(view.TopLine(), last);
  EXPECT_EQ(view.verticalScrollBar()->value(), last);
}

TEST_F(ViewSelectionTest, PointsAboveBelowAndInsideDoubleByteCharacters) {
  view.AddLines({Sjis("aあb"), "second"});
  const int width = view.CharWidth();
  EXPECT_EQ(view.PointToTextPos(50, -5), (TTextPoint{1, 0}));
  EXPECT_EQ(view.PointToTextPos(5, 300), (TTextPoint{7, 1}));
  EXPECT_EQ(view.PointToTextPos(width + 1, 2), (TTextPoint{2, 0}));
  EXPECT_EQ(view.PointToTextPos(3 * width - 1, 2), (TTextPoint{2, 0}));
  EXPECT_EQ(view.PointToBytePos(width + 1, 2), (TTextPoint{2, 0}));
  EXPECT_EQ(view.PointToBytePos(3 * width - 1, 2), (TTextPoint{3, 0}));
  EXPECT_EQ(view.PointToTextPos(40 * width, 2), (TTextPoint{5, 0}));
}

TEST_F(ViewSelectionTest, CaretShowsAtSelEndWhileFocused) {
  view.AddLines({"      "});
  view.SetSelStart({3, 0});
  view.SetSelEnd({3, 0});
  const QPoint caret(2 * view.CharWidth(), view.LineHeight() / 2);
  auto pixel = [&] { return view.viewport()->grab().toImage().pixelColor(caret); };
  view.activateWindow();
  view.setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(view.hasFocus());
  EXPECT_EQ(pixel(), view.Color()) << "no caret while Caret is false";
  view.SetCaret(true);
  EXPECT_NE(pixel(), view.Color());
  view.clearFocus();
  EXPECT_EQ(pixel(), view.Color());
}

TEST_F(ViewSelectionTest, ABlockThatTrimsDuringADragKeepsTheSelectionOnItsText) {
  view.SetAutoScroll(true);
  view.SetMaxLineCount(40);
  view.AddLines(Numbered("line", 1, 40));
  const int top = view.TopLine();
  Press(PixelOf({1, top + 2}));
  DragTo(PixelOf({3, top + 3}));
  const std::string selected = Selected();
  ASSERT_EQ(selected, "line" + std::to_string(top + 3) + "\r\nli");

  view.AddLines(Numbered("more", 1, 5));
  view.ShowPartialLine("partial");  // trims the six oldest lines
  EXPECT_EQ(Selected(), selected);
  view.CopyToClipboard();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), selected);
  Release(PixelOf({3, view.TopLine() + 3}));
}

TEST_F(ViewSelectionTest, CaretStepsOneCharacterAtATimeAcrossAFold) {
  view.SetCaret(true);
  const std::string a = Sjis("あ");
  view.AddLines({std::string(79, 'x') + "b" + a + "cd"});  // folded after "b"
  ASSERT_EQ(view.Get(1), a + "cd");
  view.SetSelStart({80, 0});
  view.SetSelEnd({80, 0});
  const std::vector<std::string> selected = {"b", "b" + a, "b" + a + "c"};
  for (const std::string& expected : selected) {
    Key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), expected);
  }
  EXPECT_EQ(view.CaretPos(), (TTextPoint{4, 1}));
  const std::vector<TTextPoint> back = {{3, 1}, {1, 1}, {80, 0}, {79, 0}};
  for (TTextPoint expected : back) {
    Key(Qt::Key_Left);
    EXPECT_EQ(view.CaretPos(), expected);
  }
}

TEST_F(ViewSelectionTest, ArrowKeysAfterLinesWentAwayDoNotFail) {
  view.SetScrollBar(ssNone);
  view.SetCaret(true);
  view.AddLines({"a", "b", "c", "d"});
  view.SetSelStart({2, 3});
  view.SetSelEnd({2, 3});
  view.Delete(3);
  EXPECT_EQ(view.BottomLine(), 2);
  EXPECT_LT(view.CaretPos().Line, view.LineCount());
  Key(Qt::Key_Up);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  view.Clear();
  Key(Qt::Key_Down);
  EXPECT_EQ(view.CaretPos(), (TTextPoint{}));
}

}  // namespace
