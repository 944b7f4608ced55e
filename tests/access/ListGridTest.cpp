#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include "access/ListGrid.h"

namespace {

using TCells = std::vector<std::string>;

// The cells of every shown row.
std::vector<TCells> Shown(const TListGrid& grid) {
  std::vector<TCells> rows;
  for (int row = 0; row < grid.RowCount(); ++row) {
    TCells cells;
    for (int column = 0; column < grid.ColCount(); ++column)
      cells.push_back(grid.GetCell(column, row));
    rows.push_back(cells);
  }
  return rows;
}

class ListGridTest : public testing::Test {
 protected:
  ListGridTest() { Grid.SetColCount(2); }
  void AddRows() {
    Grid.AddRow({"b", "2"});
    Grid.AddRow({"c", "3"});
    Grid.AddRow({"a", "1"});
  }
  TListGrid Grid;
};

TEST_F(ListGridTest, ManualKeepsInsertionOrderUntilSwitchedToAutomatic) {
  Grid.SetSortMode(smManual);
  AddRows();
  EXPECT_EQ(Shown(Grid), (std::vector<TCells>{{"b", "2"}, {"c", "3"}, {"a", "1"}}));
  Grid.SetSortMode(smAutomatic);
  EXPECT_EQ(Shown(Grid), (std::vector<TCells>{{"a", "1"}, {"b", "2"}, {"c", "3"}}));
  EXPECT_EQ(Grid.AddRow({"bb", "4"}), 2);
  EXPECT_EQ(Grid.count(), 4);
}

TEST_F(ListGridTest, ReverseDirectionShowsTheLastStoredRowFirst) {
  Grid.SetSortMode(smManual);
  AddRows();
  Grid.SetSortDir(-1);
  EXPECT_EQ(Grid.DataIndex(0), 2);
  EXPECT_EQ(Grid.GetCell(0, 0), "a");
  EXPECT_EQ(Grid.GetCell(0, 2), "b");
  Grid.SetCell(1, 0, "one");
  Grid.SetSortDir(0);
  EXPECT_EQ(Grid.GetCell(1, 2), "one");
}

TEST_F(ListGridTest, NewRowKeepsTheSelectionOnItsRow) {
  Grid.SetSortMode(smManual);
  Grid.SetSortDir(-1);
  AddRows();
  Grid.SetItemIndex(Grid.RowCount() - 1);
  EXPECT_EQ(Grid.GetCell(0, Grid.ItemIndex()), "b");
  EXPECT_EQ(Grid.AddRow({"d", "4"}), 0);
  EXPECT_EQ(Grid.GetCell(0, Grid.ItemIndex()), "b");
}

TEST_F(ListGridTest, SortColumnRekeysAndSortsOnceInManualMode) {
  Grid.SetSortMode(smManual);
  Grid.AddRow({"x", "3"});
  Grid.AddRow({"y", "1"});
  Grid.AddRow({"z", "2"});
  Grid.SetSortColumn(1);
  EXPECT_EQ(Grid.SortColumn(), 1);
  EXPECT_EQ(Shown(Grid), (std::vector<TCells>{{"y", "1"}, {"z", "2"}, {"x", "3"}}));
  Grid.AddRow({"w", "0"});
  EXPECT_EQ(Grid.GetCell(0, 3), "w");
  Grid.SetSortColumn(2);
  EXPECT_EQ(Grid.SortColumn(), 1);
}

TEST_F(ListGridTest, CellsOutsideTheGridAreEmptyAndUnchangeable) {
  AddRows();
  for (auto [column, row] : {std::pair{2, 0}, {-1, 0}, {0, 3}, {0, -1}}) {
    EXPECT_EQ(Grid.GetCell(column, row), "") << column << "," << row;
    Grid.SetCell(column, row, "x");
  }
  EXPECT_EQ(Shown(Grid), (std::vector<TCells>{{"a", "1"}, {"b", "2"}, {"c", "3"}}));
}

TEST_F(ListGridTest, ColumnCountAddsAndDropsCellsAndWidths) {
  AddRows();
  Grid.SetColCount(3);
  EXPECT_EQ(Grid.ColumnWidth(2), TListGrid::DefaultColumnWidth);
  EXPECT_EQ(Shown(Grid)[0], (TCells{"a", "1", ""}));
  Grid.SetColCount(1);
  Grid.SetColCount(0);
  EXPECT_EQ(Grid.ColCount(), 1);
  Grid.SetColCount(2);
  EXPECT_EQ(Shown(Grid)[0], (TCells{"a", ""}));
  Grid.SetColumnWidth(1, -5);
  EXPECT_EQ(Grid.ColumnWidth(1), 0);
}

TEST_F(ListGridTest, AddRowWithTooFewCellsFillsThemEmpty) {
  Grid.AddRow({"only"});
  Grid.AddRow({});
  EXPECT_EQ(Shown(Grid), (std::vector<TCells>{{"", ""}, {"only", ""}}));
}

TEST_F(ListGridTest, VisibleRowCountIsHeightByItemHeight) {
  Grid.SetItemHeight(16);
  Grid.resize(100, 170);
  EXPECT_EQ(Grid.VisibleRowCount(), 10);
}

TEST_F(ListGridTest, CellTextIsClippedToItsColumn) {
  Grid.SetColumnWidth(0, 20);
  Grid.AddRow({"WWWWWWWWWWWW", ""});
  QPalette palette = Grid.palette();
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::Text, Qt::black);
  Grid.setPalette(palette);

  QImage image(120, 16, QImage::Format_RGB32);
  image.fill(Qt::red);
  int drawn = -1;
  Grid.OnDrawItem = [&](QPainter&, int row, const QRect&, QStyle::State) { drawn = row; };
  {
    QPainter painter(&image);
    Grid.DrawItem(painter, 0, image.rect(), QStyle::State_None);
  }
  EXPECT_EQ(drawn, 0);
  EXPECT_EQ(image.pixel(100, 8), QColor(Qt::white).rgb());  // background filled
  int inside = 0;
  int outside = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 128) ++(x < 20 ? inside : outside);
  EXPECT_GT(inside, 0);
  EXPECT_EQ(outside, 0);
}

TEST_F(ListGridTest, RightButtonSelectsOnReleaseAndClicks) {
  AddRows();
  Grid.resize(200, 100);
  Grid.show();
  int clicks = 0;
  Grid.OnClick = [&] { ++clicks; };
  const QPoint pos = Grid.visualItemRect(Grid.item(1)).center();
  const QPoint global = Grid.viewport()->mapToGlobal(pos);

  QMouseEvent press(QEvent::MouseButtonPress, pos, global, Qt::RightButton, Qt::RightButton,
                    Qt::NoModifier);
  QApplication::sendEvent(Grid.viewport(), &press);
  EXPECT_EQ(Grid.ItemIndex(), -1);
  QMouseEvent release(QEvent::MouseButtonRelease, pos, global, Qt::RightButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(Grid.viewport(), &release);
  EXPECT_EQ(Grid.ItemIndex(), 1);
  EXPECT_EQ(clicks, 1);
}

}  // namespace
