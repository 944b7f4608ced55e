#include <gtest/gtest.h>

#include <QApplication>
#include <QBoxLayout>
#include <QMouseEvent>
#include <memory>
#include <optional>
#include <ostream>

#include "view/Separate.h"

namespace {

// A parent of 300 x 400 pixels holding a control, the bar after it and a
// filler, laid out along the bar's direction like the main window's views.
class Splitter {
 public:
  explicit Splitter(TSeparater::TKind kind) {
    parent->resize(300, 400);
    auto* box = new QBoxLayout(
        kind == TSeparater::dkVertical ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight,
        parent.get());
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    control = Filled(Qt::black);
    SetSize(control, kind, 100);
    bar = new TSeparater(parent.get());
    bar->SetColor(Qt::gray);
    bar->SetKind(kind);
    box->addWidget(control);
    filler = Filled(Qt::black);
    box->addWidget(filler, 1);
    bar->SetReSizeCtrl(control);
    bar->OnStartDrag = [this](QObject*) { ++starts; };
    bar->OnEndDrag = [this](QObject*, int32_t pos, int32_t cg) { ended = std::pair(pos, cg); };
    parent->show();
    Settle();
  }

  static void SetSize(QWidget* widget, TSeparater::TKind kind, int size) {
    if (kind == TSeparater::dkVertical)
      widget->setFixedHeight(size);
    else
      widget->setFixedWidth(size);
  }

  QWidget* Filled(QColor color) {
    auto* widget = new QWidget(parent.get());
    widget->setAutoFillBackground(true);
    QPalette colors = widget->palette();
    colors.setColor(QPalette::Window, color);
    widget->setPalette(colors);
    return widget;
  }

  void Settle() {
    parent->layout()->activate();
    QApplication::processEvents();
  }

  // Mouse events at a point in the bar's coordinates.
  void Press(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    Send(QEvent::MouseButtonPress, at, button, button);
  }
  void Move(QPoint at) { Send(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
  void Release(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    Send(QEvent::MouseButtonRelease, at, button, Qt::NoButton);
    Settle();
  }

  QColor PixelOfParent(QPoint at) const { return parent->grab().toImage().pixelColor(at); }

  std::unique_ptr<QWidget> parent = std::make_unique<QWidget>();
  QWidget* control;
  QWidget* filler;
  TSeparater* bar;
  int starts = 0;
  std::optional<std::pair<int32_t, int32_t>> ended;

 private:
  void Send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(bar->mapToGlobal(at)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(bar, &event);
  }
};

TEST(SeparaterTest, StartsAsAnUprightBarOfFourPixels) {
  TSeparater bar;
  EXPECT_EQ(bar.Kind(), TSeparater::dkHorizontal);
  EXPECT_EQ(bar.UpperMgn(), 2);
  EXPECT_EQ(bar.LowerMgn(), 5);
  EXPECT_EQ(bar.LineWidth(), 4);
  EXPECT_EQ(bar.ReSizeCtrl(), nullptr);
  EXPECT_EQ(bar.width(), 4);
  EXPECT_EQ(bar.cursor().shape(), Qt::SplitHCursor);

  bar.SetKind(TSeparater::dkVertical);
  bar.SetLineWidth(6);
  EXPECT_EQ(bar.height(), 6);
  EXPECT_EQ(bar.cursor().shape(), Qt::SplitVCursor);
}

TEST(SeparaterTest, PlacesItselfDirectlyAfterItsControl) {
  Splitter split(TSeparater::dkVertical);
  EXPECT_EQ(split.bar->geometry(), QRect(0, 100, 300, 4));

  // Without a layout the bar moves to the control's lower edge itself.
  QWidget parent;
  auto* control = new QWidget(&parent);
  control->setGeometry(10, 20, 200, 50);
  auto* bar = new TSeparater(&parent);
  bar->SetKind(TSeparater::dkVertical);
  bar->SetReSizeCtrl(control);
  EXPECT_EQ(bar->geometry(), QRect(10, 70, 200, 4));
}

TEST(SeparaterTest, DragShowsAnInvertedBandAndResizesOnRelease) {
  Splitter split(TSeparater::dkVertical);
  split.Press({10, 2});
  EXPECT_TRUE(split.bar->Dragging());
  EXPECT_EQ(split.starts, 1);
  EXPECT_EQ(split.bar->DragPos(), 100);

  split.Move({10, 52});
  EXPECT_EQ(split.bar->DragPos(), 150);
  QApplication::processEvents();
  EXPECT_EQ(split.PixelOfParent({10, 151}), QColor(Qt::white));  // black beneath, inverted
  EXPECT_EQ(split.PixelOfParent({10, 160}), QColor(Qt::black));
  EXPECT_EQ(split.control->height(), 100);

  split.Release({10, 52});
  EXPECT_FALSE(split.bar->Dragging());
  EXPECT_EQ(split.ended, std::pair(150, 50));
  EXPECT_EQ(split.control->height(), 150);
  EXPECT_EQ(split.bar->y(), 150);
  EXPECT_EQ(split.PixelOfParent({10, 151}), QColor(Qt::gray));  // the band is gone
}

struct MarginCase {
  TSeparater::TKind kind;
  int pointer;  // along the bar's direction, in bar coordinates
  int32_t band;
};

void PrintTo(const MarginCase& c, std::ostream* out) {
  *out << (c.kind == TSeparater::dkVertical ? "vertical" : "horizontal") << " pointer " << c.pointer
       << " band " << c.band;
}

class SeparaterMarginTest : public testing::TestWithParam<MarginCase> {};

TEST_P(SeparaterMarginTest, BandStaysWithinTheMargins) {
  const MarginCase& c = GetParam();
  Splitter split(c.kind);
  const auto at = [&](int along) {
    return c.kind == TSeparater::dkVertical ? QPoint(10, along) : QPoint(along, 10);
  };
  split.Press(at(2));
  split.Move(at(c.pointer));
  EXPECT_EQ(split.bar->DragPos(), c.band);
  split.Release(at(c.pointer));
  // The control starts at the parent's edge, so its size is the band's position.
  EXPECT_EQ(c.kind == TSeparater::dkVertical ? split.control->height() : split.control->width(),
            c.band);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SeparaterMarginTest,
    testing::Values(MarginCase{TSeparater::dkVertical, -500, 2},   // upper margin
                    MarginCase{TSeparater::dkVertical, 500, 395},  // 400 high, lower margin 5
                    MarginCase{TSeparater::dkVertical, 297, 395},
                    MarginCase{TSeparater::dkVertical, 296, 394},
                    MarginCase{TSeparater::dkHorizontal, -500, 2},
                    MarginCase{TSeparater::dkHorizontal, 500, 295}));  // 300 wide

TEST(SeparaterTest, DropLeavesTheWidgetsAfterTheBarTheirMinimumSize) {
  Splitter split(TSeparater::dkVertical);
  split.filler->setMinimumHeight(70);
  split.Settle();
  split.Press({10, 2});
  split.Move({10, 390});
  EXPECT_EQ(split.bar->DragPos(), 400 - 4 - 70) << "the band shows where the bar will land";
  split.Release({10, 390});
  EXPECT_EQ(split.control->height(), 326);
  EXPECT_EQ(split.bar->geometry(), QRect(0, 326, 300, 4));
  EXPECT_EQ(split.filler->geometry(), QRect(0, 330, 300, 70)) << "nothing overlaps";
}

TEST(SeparaterTest, ReleaseWithoutMoveKeepsTheStartButNeverANegativeSize) {
  Splitter split(TSeparater::dkVertical);
  split.control->setFixedHeight(1);
  split.Settle();
  split.Press({10, 0});  // band at 1 + 0 - 2, above the margin
  split.Release({10, 0});
  EXPECT_EQ(split.ended, std::pair(-1, -2));
  EXPECT_EQ(split.control->height(), 0);
}

TEST(SeparaterTest, RightButtonStartsNoDrag) {
  Splitter split(TSeparater::dkVertical);
  split.Press({10, 2}, Qt::RightButton);
  split.Move({10, 52});
  split.Release({10, 52}, Qt::RightButton);
  EXPECT_FALSE(split.bar->Dragging());
  EXPECT_EQ(split.starts, 0);
  EXPECT_FALSE(split.ended);
  EXPECT_EQ(split.control->height(), 100);

  // Nor does a right release end a left drag.
  split.Press({10, 2});
  split.Release({10, 2}, Qt::RightButton);
  EXPECT_TRUE(split.bar->Dragging());
}

TEST(SeparaterTest, DestroyedControlIsClearedAndTheBarStillDrags) {
  Splitter split(TSeparater::dkVertical);
  delete split.control;
  EXPECT_EQ(split.bar->ReSizeCtrl(), nullptr);
  split.Press({10, 2});
  split.Move({10, 52});
  split.Release({10, 52});
  EXPECT_TRUE(split.ended);
}

TEST(SeparaterTest, HidingTheBarDropsTheDrag) {
  Splitter split(TSeparater::dkVertical);
  split.Press({10, 2});
  split.Move({10, 52});
  split.bar->hide();
  EXPECT_FALSE(split.bar->Dragging());
  split.Settle();
  EXPECT_EQ(split.PixelOfParent({10, 151}), QColor(Qt::black));
  split.bar->show();
  split.Release({10, 52});
  EXPECT_FALSE(split.ended);
  EXPECT_EQ(split.control->height(), 100);
}

}  // namespace
