#include "access/ListGrid.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "text/LightStrings.h"
#include "text/QtCodec.h"

namespace {

// Every row is drawn by the grid itself, at the grid's fixed item height.
class TListGridDelegate final : public QStyledItemDelegate {
 public:
  explicit TListGridDelegate(TListGrid& grid) : QStyledItemDelegate(&grid), FGrid(grid) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    FGrid.DrawItem(*painter, index.row(), option.rect, option.state);
  }

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    int width = 0;
    for (int column = 0; column < FGrid.ColCount(); ++column)
      width += FGrid.ColumnWidth(column) + 1;
    return {width, FGrid.ItemHeight()};
  }

 private:
  TListGrid& FGrid;
};

}  // namespace

TListGrid::TListGrid(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new TListGridDelegate(*this));
  setUniformItemSizes(true);
}

TListGrid::~TListGrid() = default;

void TListGrid::SetColCount(int count) {
  if (count <= 0 || count == ColCount()) return;
  const bool growing = count > ColCount();
  FColumnWidths.resize(static_cast<std::size_t>(count), DefaultColumnWidth);
  for (TRow& row : FRows) {
    if (growing ? row.Cells->Count() < count : row.Cells->Count() > count)
      row.Cells->SetCount(count);
  }
  scheduleDelayedItemsLayout();
  Repaint();
}

void TListGrid::SetSortColumn(int column) {
  if (column >= 0 && column < ColCount()) {
    for (TRow& row : FRows) row.Key = row.Cells->Get(column);
    SortRows();
    FSortColumn = column;
  }
  Repaint();
}

void TListGrid::SetSortDir(int direction) {
  FSortDir = direction;
  Repaint();
}

void TListGrid::SetSortMode(TListGridSortMode mode) {
  FSortMode = mode;
  if (FSortMode == smAutomatic) SortRows();
  Repaint();
}

void TListGrid::SortRows() {
  std::stable_sort(FRows.begin(), FRows.end(),
                   [](const TRow& a, const TRow& b) { return a.Key < b.Key; });
}

void TListGrid::SetItemHeight(int height) {
  if (height <= 0) return;
  FItemHeight = height;
  scheduleDelayedItemsLayout();
}

int TListGrid::VisibleRowCount() const {
  return height() / FItemHeight;
}

int TListGrid::ColumnWidth(int column) const {
  if (column < 0 || column >= ColCount()) return 0;
  return FColumnWidths[static_cast<std::size_t>(column)];
}

void TListGrid::SetColumnWidth(int column, int width) {
  if (column < 0 || column >= ColCount()) return;
  FColumnWidths[static_cast<std::size_t>(column)] = std::max(width, 0);
  scheduleDelayedItemsLayout();
  Repaint();
}

int TListGrid::DataIndex(int row) const {
  return FSortDir >= 0 ? row : RowCount() - 1 - row;
}

int TListGrid::AddRow(const std::vector<std::string>& cells) {
  std::vector<std::string> padded = cells;
  if (padded.size() < FColumnWidths.size()) padded.resize(FColumnWidths.size());
  const std::size_t keyColumn = static_cast<std::size_t>(FSortColumn);
  TRow row{keyColumn < padded.size() ? padded[keyColumn] : std::string(),
           std::make_unique<TLightStrings>()};
  row.Cells->Assign(padded);

  auto place = FRows.end();
  if (FSortMode == smAutomatic)
    place = std::upper_bound(FRows.begin(), FRows.end(), row.Key,
                             [](const std::string& key, const TRow& r) { return key < r.Key; });
  const int stored = static_cast<int>(FRows.insert(place, std::move(row)) - FRows.begin());
  // The empty list item goes where the row is shown, so that the selection
  // stays with the rows it was on.
  const int shown = DataIndex(stored);
  insertItem(shown, new QListWidgetItem());
  return shown;
}

bool TListGrid::IsCell(int column, int row) const {
  return column >= 0 && column < ColCount() && row >= 0 && row < RowCount();
}

std::string TListGrid::GetCell(int column, int row) const {
  if (!IsCell(column, row)) return {};
  const TLightStrings& cells = *FRows[static_cast<std::size_t>(DataIndex(row))].Cells;
  return column < cells.Count() ? cells.Get(column) : std::string();
}

void TListGrid::SetCell(int column, int row, const std::string& text) {
  if (!IsCell(column, row)) return;
  TLightStrings& cells = *FRows[static_cast<std::size_t>(DataIndex(row))].Cells;
  if (column >= cells.Count()) cells.SetCount(column + 1);
  cells.Put(column, text);
}

void TListGrid::Repaint() {
  viewport()->update();
}

int TListGrid::ItemIndex() const {
  const int current = currentRow();
  if (current >= 0 && item(current)->isSelected()) return current;
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void TListGrid::SetItemIndex(int row) {
  if (row < 0 || row >= count()) {
    clearSelection();
    setCurrentRow(-1);
    return;
  }
  setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void TListGrid::DrawItem(QPainter& painter, int row, const QRect& rect, QStyle::State state) const {
  const bool selected = state.testFlag(QStyle::State_Selected);
  if (row >= 0 && row < RowCount())
    painter.fillRect(rect, palette().brush(selected ? QPalette::Highlight : QPalette::Base));
  painter.save();
  painter.setFont(font());
  painter.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
  int x = 0;
  for (int column = 0; column < ColCount(); ++column) {
    const int width = ColumnWidth(column);
    if (width <= 0) continue;
    const QRect cell(std::max(0, rect.left() + x - 3), rect.top(), width, rect.height());
    painter.setClipRect(cell);
    painter.drawText(cell.adjusted(1, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     ToQString(GetCell(column, row)));
    x += width + 1;
  }
  painter.restore();
  if (OnDrawItem) OnDrawItem(painter, row, rect, state);
}

void TListGrid::mousePressEvent(QMouseEvent* event) {
  FMouseDownModifiers = event->modifiers();
  // The right button selects on release, not on press.
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QListWidget::mousePressEvent(event);
}

void TListGrid::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (event->button() == Qt::RightButton && pos != QPoint(0, 0) &&
      viewport()->rect().contains(pos)) {
    SelectOnRightRelease(pos);
    if (OnClick) OnClick();
  }
  QListWidget::mouseReleaseEvent(event);
}

void TListGrid::SelectOnRightRelease(const QPoint& pos) {
  QListWidgetItem* row = itemAt(pos);
  if (row == nullptr || row->isSelected()) return;
  const bool alone = FMouseDownModifiers == Qt::NoModifier || selectionMode() == SingleSelection;
  selectionModel()->setCurrentIndex(indexFromItem(row), alone ? QItemSelectionModel::ClearAndSelect
                                                              : QItemSelectionModel::Select);
}
