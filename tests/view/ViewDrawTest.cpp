// What the view draws: line classes and handles, links across folds,
// emphasised words, replacement glyphs, the inverted selection, and that an
// incremental refresh gives the same pixels as drawing the page anew.

#include <QFontMetrics>
#include <QImage>
#include <functional>

#include "ViewFixture.h"
#include "text/Codec.h"
#include "text/QtCodec.h"

namespace {

// Pixels of `color` in `rect` of `image`.
int Count(const QImage& image, const QRect& rect, const QColor& color) {
  int count = 0;
  const QRect inside = rect.intersected(image.rect());
  for (int y = inside.top(); y <= inside.bottom(); ++y)
    for (int x = inside.left(); x <= inside.right(); ++x)
      count += image.pixelColor(x, y).rgb() == color.rgb();
  return count;
}

// Pixels of `rect` that are text of `color` on a white background, at least
// half covered (glyph edges are blended with the background).
int Inked(const QImage& image, const QRect& rect, const QColor& color) {
  int count = 0;
  const QRect inside = rect.intersected(image.rect());
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      // Coverage from the channel that differs most from white.
      const int channels[3][2] = {
          {pixel.red(), color.red()}, {pixel.green(), color.green()}, {pixel.blue(), color.blue()}};
      int spread = 0;
      double coverage = 0;
      for (const auto& [seen, full] : channels)
        if (255 - full > spread) {
          spread = 255 - full;
          coverage = double(255 - seen) / spread;
        }
      bool onLine = coverage >= 0.5;
      for (const auto& [seen, full] : channels)
        onLine = onLine && std::abs(seen - (255 - coverage * (255 - full))) <= 40;
      count += onLine;
    }
  }
  return count;
}

// True when some pixel row of `rect` is at least 90% `color`: an underline.
bool HasUnderline(const QImage& image, const QRect& rect, const QColor& color) {
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    if (Inked(image, QRect(rect.left(), y, rect.width(), 1), color) * 10 >= rect.width() * 9)
      return true;
  return false;
}

class DrawTest : public ViewTest {
 protected:
  // Pixel width of the first `bytes` bytes of `text` in the view's font.
  int X(const std::string& text, size_t bytes) const {
    return QFontMetrics(view.font()).horizontalAdvance(ToQString(text.substr(0, bytes)));
  }
  // The band of line `row` of the page between x = left and x = right.
  QRect Band(int row, int left, int right) const {
    return QRect(left, row * view.LineHeight(), right - left, view.LineHeight());
  }
};

}  // namespace

TEST_F(DrawTest, ConferenceLineShowsItsHandleInHandleColor) {
  const std::string line = Sjis("(3,たろう) こんにちは");
  const size_t handleEnd = line.find(')') + 1;
  view.SetConvColor(Qt::blue);
  view.SetHandleColor(Qt::red);
  view.Add(line);
  const int split = X(line, handleEnd);
  const int end = X(line, line.size());

  struct Case {
    bool normalMode;
    QColor handle;
  };
  for (const Case c : {Case{false, Qt::red}, Case{true, Qt::blue}}) {
    view.SetNormalMode(c.normalMode);
    const QImage page = view.PageImage();
    const QColor other = c.handle == Qt::red ? QColor(Qt::blue) : QColor(Qt::red);
    EXPECT_GT(Inked(page, Band(0, 0, split), c.handle), 20) << c.normalMode;
    EXPECT_EQ(Inked(page, Band(0, 0, split), other), 0) << c.normalMode;
    EXPECT_GT(Inked(page, Band(0, split, end), Qt::blue), 20) << c.normalMode;
    EXPECT_EQ(Inked(page, Band(0, split, end), Qt::red), 0) << c.normalMode;
  }
}

TEST_F(DrawTest, UrlAcrossAFoldIsUnderlinedOnBothLines) {
  view.SetEightyColumns(true);
  view.SetAddressColor(Qt::blue);
  const std::string text = std::string(60, 'x') + " http://example.jp/abcdefghijklmnopqrstuvwxyz";
  view.Add(text);
  const std::string first = text.substr(0, 80);
  const std::string second = text.substr(80);
  const int urlLeft = X(first, 61);

  QImage page = view.PageImage();
  EXPECT_TRUE(HasUnderline(page, Band(0, urlLeft, X(first, 80)), Qt::blue));
  EXPECT_EQ(Count(page, Band(0, 0, urlLeft), Qt::blue), 0);
  EXPECT_TRUE(HasUnderline(page, Band(1, 0, X(second, second.size())), Qt::blue));

  // With every link colour equal to the font colour (the history view), no
  // link is marked.
  view.SetAddressColor(Qt::black);
  page = view.PageImage();
  EXPECT_FALSE(HasUnderline(page, Band(0, urlLeft, X(first, 80)), Qt::black));
  EXPECT_FALSE(HasUnderline(page, Band(1, 0, X(second, second.size())), Qt::black));
}

TEST_F(DrawTest, AUrlFoldedOverThreeRowsIsUnderlinedOnEachAndEndsAtAControlByte) {
  view.SetEightyColumns(true);
  view.SetAddressColor(Qt::blue);
  const std::string url = "http://example.jp/" + std::string(200, 'a');
  view.Add(url + "\x1b" + "tail");
  for (int row = 0; row < 3; ++row) {
    const std::string part = url.substr(static_cast<size_t>(row) * 80, 80);
    EXPECT_TRUE(HasUnderline(view.PageImage(), Band(row, 0, X(part, part.size())), Qt::blue)) << row;
  }
  const std::string last = url.substr(160) + "\x1b";
  EXPECT_EQ(Count(view.PageImage(), Band(2, X(last, last.size()), X(last + "tail", last.size() + 4)),
                  Qt::blue),
            0);
}

TEST_F(DrawTest, EmphasisedWordIsFoundInItsFullWidthForm) {
  const std::string line = Sjis("今日はＡＢＣです");
  const size_t begin = Sjis("今日は").size();
  const size_t end = begin + Sjis("ＡＢＣ").size();
  view.SetAccentBackColor(Qt::yellow);
  view.SetAccentColor(Qt::red);
  view.Add(line);
  view.AccentWords().Add("abc");
  EXPECT_EQ(view.AccentWords()[0], "ABC");

  const QImage page = view.PageImage();
  const QRect word = Band(0, X(line, begin), X(line, end));
  EXPECT_GT(Count(page, word, Qt::yellow) * 2, word.width() * word.height());
  EXPECT_GT(Count(page, word, Qt::red), 0);
  EXPECT_EQ(Count(page, Band(0, 0, word.left()), Qt::yellow), 0);
  EXPECT_EQ(Count(page, Band(0, word.right() + 1, page.width()), Qt::yellow), 0);
}

// A replacement that draws the double-byte character as an "A" in the view's font.
static TReplaceFont CircledAsA(const std::string& circled, const TQuokkaView& view) {
  TReplaceFont entry;
  entry.Code =
      static_cast<unsigned char>(circled[0]) * 256 + static_cast<unsigned char>(circled[1]);
  entry.ReplaceCode = 'A';
  entry.FontName = FromQString(view.font().family());
  return entry;
}

TEST_F(DrawTest, ReplacedCharacterIsDrawnInItsReplacement) {
  const std::string circled = Sjis("①");
  TReplaceFont entry = CircledAsA(circled, view);
  view.AddLines({circled, "A", Sjis("②")});
  const QImage before = view.PageImage();
  view.ReplaceFonts().Add(entry);  // as the owner loads the list

  const QImage page = view.PageImage();
  const int half = X("A", 1);
  EXPECT_EQ(page.copy(Band(0, 0, half)), page.copy(Band(1, 0, half)));
  EXPECT_EQ(Count(page, Band(0, half, X(circled, 2)), Qt::black), 0);
  EXPECT_NE(page.copy(Band(0, 0, half)), before.copy(Band(0, 0, half)));
}

TEST_F(DrawTest, AReloadedReplacementWithTheSameCountIsDrawn) {
  const std::string circled = Sjis("①");
  TReplaceFont entry = CircledAsA(circled, view);
  view.AddLines({circled, "A", "B"});
  view.ReplaceFonts().Add(entry);
  const QImage first = view.PageImage();
  entry.ReplaceCode = 'B';
  view.ReplaceFonts().Add(entry);  // a later line for the same code: the count stays 1
  ASSERT_EQ(view.ReplaceFonts().Count(), 1);
  const QImage page = view.PageImage();
  const int half = X("A", 1);
  EXPECT_EQ(page.copy(Band(0, 0, half)), page.copy(Band(2, 0, half)));
  EXPECT_NE(page.copy(Band(0, 0, half)), first.copy(Band(0, 0, half)));
}

TEST(ReplacementText, OneByteCodesAreTheFontsOwnBytes) {
  const QRawFont noSymbols;
  EXPECT_EQ(ReplacementText('A', noSymbols), "A");
  EXPECT_EQ(ReplacementText(0x81, noSymbols), QString(QChar(0x81)));
  EXPECT_EQ(ReplacementText(0xB1, noSymbols), QString(QChar(0xB1))) << "not the katakana of CP932";
  EXPECT_EQ(ReplacementText(0x82A0, noSymbols), "あ") << "two bytes are a CP932 character";
}

TEST_F(DrawTest, WidthsAreMeasuredOnTheDecodedText) {
  const TLinePainter painter(view.font());
  const std::string line = Sjis("今日はabcです");
  for (size_t bytes : {0, 2, 6, 7, 9, 13}) EXPECT_EQ(painter.Width(line, bytes), X(line, bytes));
}

TEST_F(DrawTest, SelectionIsInvertedFromItsStartToItsEnd) {
  view.AddLines({"abcdef", "ghijkl"});
  const QImage plain = view.PageImage();
  view.SetSelStart({3, 0});
  view.SetSelEnd({2, 1});
  const QImage page = view.PageImage();
  QImage expected = plain;
  for (const QRect& rect : {Band(0, X("abcdef", 2), X("abcdef", 6)), Band(1, 0, X("g", 1))})
    for (int y = rect.top(); y <= rect.bottom(); ++y)
      for (int x = rect.left(); x <= rect.right(); ++x)
        expected.setPixel(x, y, ~plain.pixel(x, y) | 0xFF000000u);
  EXPECT_EQ(page, expected);
}

TEST_F(DrawTest, IncrementalRefreshMatchesAFullRedraw) {
  view.SetEightyColumns(true);
  view.SetAutoScroll(true);
  view.SetMaxLineCount(40);
  view.SetNormalMode(false);
  view.SetConvColor(Qt::darkBlue);
  view.SetHandleColor(Qt::red);
  view.SetAddressColor(Qt::blue);
  view.AccentWords().Add(Sjis("会議"));
  const std::vector<std::string> corpus = {
      Sjis("(3,たろう) 今日の会議は http://example.jp/minutes/2024/0102/index.html です"),
      Sjis("(TALK,ABC12345,はなこ) メールは hanako@example.ne.jp へどうぞ"),
      std::string(70, '-') + " http://a.example.jp/path/that/crosses/the/fold",
      Sjis(" 12 TALK ABC12345 たろう"),
      "",
  };
  std::string stream;
  for (int i = 0; i < 60; ++i) stream += corpus[static_cast<size_t>(i) % corpus.size()] + '\r';

  size_t pos = 0;
  std::string pending;
  for (int block = 0; pos < stream.size(); ++block) {
    pending += stream.substr(pos, 97);
    pos += 97;
    std::vector<std::string> lines;
    for (size_t cr; (cr = pending.find('\r')) != std::string::npos; pending.erase(0, cr + 1))
      lines.push_back(pending.substr(0, cr));
    if (!lines.empty()) view.AddLines(lines);
    if (!pending.empty()) view.ShowPartialLine(pending);
    if (block == 10) {
      view.SetSelStart({5, view.TopLine() + 2});
      view.SetSelEnd({12, view.TopLine() + 4});
    }
    if (block == 20) view.SetColor(Qt::yellow);
    const QImage incremental = view.PageImage();
    view.SetHandleColor(Qt::red);  // always redraws the whole page
    ASSERT_EQ(incremental, view.PageImage()) << "block " << block;
  }
}

TEST_F(DrawTest, LineOperationsRedrawWhatTheyChange) {
  view.SetEightyColumns(true);
  view.SetAddressColor(Qt::blue);
  const std::string folded = std::string(70, '-') + " http://example.jp/folded/link";
  struct Case {
    const char* name;
    std::function<void(TQuokkaView&)> change;
  };
  const std::vector<Case> cases = {
      {"the line before a continuation changes", [](TQuokkaView& v) { v.Put(0, "plain"); }},
      {"the selection's start moves",
       [](TQuokkaView& v) {
         v.SetSelStart({2, 1});
       }},
      {"the selection's end moves",
       [](TQuokkaView& v) {
         v.SetSelEnd({1, 2});
       }},
      {"lines change places", [](TQuokkaView& v) { v.Exchange(1, 2); }},
      {"a line is removed", [](TQuokkaView& v) { v.Delete(0); }},
      {"a line is inserted", [](TQuokkaView& v) { v.Insert(1, "inserted"); }},
  };
  for (const Case& c : cases) {
    view.Assign({folded, "second line", "third line"});
    view.SetSelStart({4, 1});
    view.SetSelEnd({3, 2});
    view.PageImage();
    c.change(view);
    const QImage incremental = view.PageImage();
    view.SetHandleColor(Qt::black);  // always redraws the whole page
    EXPECT_EQ(incremental, view.PageImage()) << c.name;
  }
}

TEST_F(DrawTest, AnOverlongUnfoldedLineKeepsTheLayoutBounded) {
  const std::string line = std::string(40000, 'x');
  view.Insert(0, line);
  view.Add("y");
  EXPECT_LE(view.MaxChar(), 1024);
  const QImage page = view.PageImage();
  EXPECT_LE(page.width(), (view.MaxChar() + 1) * view.CharWidth());
  EXPECT_GT(Inked(page, Band(0, page.width() - 4 * view.CharWidth(), page.width()), Qt::black), 0)
      << "the line is drawn across the whole buffer";
  view.SetMaxChar(1 << 30);
  EXPECT_LE(view.MaxChar(), 1024);
}

TEST_F(DrawTest, WindowShowsThePageAndTheBackgroundBelowIt) {
  view.SetColor(Qt::yellow);
  view.AddLines({"first line", "second line"});
  const QImage page = view.PageImage();
  const QImage window = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_GE(window.height(), page.height());
  EXPECT_EQ(window.copy(0, 0, window.width(), page.height()),
            page.copy(0, 0, window.width(), page.height()));
  const QRect below(0, page.height(), window.width(), window.height() - page.height());
  EXPECT_EQ(Count(window, below, Qt::yellow), below.width() * below.height());
}
