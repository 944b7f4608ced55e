#pragma once
// TListGrid: a list box that shows rows of several text columns, each column
// with its own pixel width, and can keep its rows sorted by one column in
// either direction. Each row keeps its cells in a line store, one line per
// column; the list box's own items are empty and only give the row count and
// the selection.

#include <QListWidget>
#include <QStyle>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TLightStrings;

enum TListGridSortMode {
  smManual = 0,     // rows stay in insertion order
  smAutomatic = 1,  // rows stay sorted by their key
};

class TListGrid : public QListWidget {
  Q_OBJECT

 public:
  static constexpr int DefaultColumnWidth = 50;

  explicit TListGrid(QWidget* parent = nullptr);
  ~TListGrid() override;

  int RowCount() const { return static_cast<int>(FRows.size()); }
  int ColCount() const { return static_cast<int>(FColumnWidths.size()); }
  // Fewer columns drop the widths and cells beyond; more add columns of
  // DefaultColumnWidth pixels and empty cells. Zero or less changes nothing.
  void SetColCount(int count);

  int SortColumn() const { return FSortColumn; }
  // Re-keys every row by the column and sorts the rows; a column outside the
  // grid changes nothing.
  void SetSortColumn(int column);
  // 0 or more: rows shown in stored order; below 0: in reverse.
  int SortDir() const { return FSortDir; }
  void SetSortDir(int direction);
  TListGridSortMode SortMode() const { return FSortMode; }
  // Switching to smAutomatic sorts the rows.
  void SetSortMode(TListGridSortMode mode);

  int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int height);
  // Rows that fit into the control's height.
  int VisibleRowCount() const;

  int ColumnWidth(int column) const;
  // A negative width becomes 0; a column of width 0 takes no room.
  void SetColumnWidth(int column, int width);

  // The stored row behind a shown row, and the shown row of a stored one.
  int DataIndex(int row) const;

  // Adds a row (missing cells are empty) under the key in its sort column and
  // returns its shown index.
  int AddRow(const std::vector<std::string>& cells);
  // The cell text; empty outside the grid.
  std::string GetCell(int column, int row) const;
  // Changes a cell; outside the grid nothing happens. Does not repaint.
  void SetCell(int column, int row, const std::string& text);
  // Redraws the rows.
  void Repaint();

  // The selected shown row, or -1.
  int ItemIndex() const;
  // Selects the shown row alone; -1 selects none.
  void SetItemIndex(int row);

  // Called after a row is drawn, with the painter, the shown row, its
  // rectangle and its state.
  std::function<void(QPainter& painter, int row, const QRect& rect, QStyle::State state)>
      OnDrawItem;
  // Called when the right button is released over the control, after the row
  // under it has been selected.
  std::function<void()> OnClick;

  // Draws one shown row into rect: the background in the given state's
  // colours, then each column's text clipped to its cell.
  void DrawItem(QPainter& painter, int row, const QRect& rect, QStyle::State state) const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  struct TRow {
    std::string Key;
    std::unique_ptr<TLightStrings> Cells;
  };

  bool IsCell(int column, int row) const;
  void SortRows();
  void SelectOnRightRelease(const QPoint& pos);

  std::vector<TRow> FRows;
  std::vector<int> FColumnWidths;
  int FSortColumn = 0;
  int FSortDir = 0;
  TListGridSortMode FSortMode = smAutomatic;
  int FItemHeight = 16;
  Qt::KeyboardModifiers FMouseDownModifiers;
};
