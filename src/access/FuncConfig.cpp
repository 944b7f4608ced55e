#include "access/FuncConfig.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "access/ListGrid.h"
#include "text/QtCodec.h"

namespace {
constexpr int KeysPerBank = 12;
constexpr int ItemHeight = 16;
constexpr int LabelColumnWidth = 100;
constexpr int VisibleRows = 12;
}  // namespace

std::string FuncKeyLabel(int index) {
  std::string label = "F" + std::to_string(index % KeysPerBank + 1);
  switch (index / KeysPerBank) {
    case 1:
      return "Shift + " + label;
    case 2:
      return "Ctrl  + " + label;
    default:
      return label;
  }
}

TFuncConfigForm::TFuncConfigForm(const std::vector<std::string>& keyTexts, bool functionBarVisible,
                                 QWidget* parent)
    : QDialog(parent),
      FuncList(new TListGrid(this)),
      Edit(new QLineEdit(this)),
      FuncVisible(new QCheckBox(QStringLiteral("ﾌｧﾝｸｼｮﾝｷｰを表示する(&V)"), this)),
      OK(new QPushButton(QStringLiteral("OK(&O)"), this)),
      Cancel(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this)),
      Button3(new QPushButton(QStringLiteral("更新(&M)"), this)),
      FKeyTexts(keyTexts) {
  setWindowTitle(QStringLiteral("ファンクションキーの設定"));

  FuncList->SetColCount(2);
  FuncList->SetSortMode(smManual);
  FuncList->SetSortColumn(0);
  FuncList->SetSortDir(0);
  FuncList->SetItemHeight(ItemHeight);
  FuncList->setMinimumHeight(ItemHeight * VisibleRows + 2 * FuncList->frameWidth());

  auto* editRow = new QHBoxLayout;
  editRow->addWidget(Edit, 1);
  editRow->addWidget(Button3);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(FuncVisible);
  buttons->addStretch(1);
  buttons->addWidget(OK);
  buttons->addWidget(Cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(FuncList, 1);
  layout->addLayout(editRow);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // Enter confirms nothing by itself: only Edit reacts to it.
  for (QPushButton* button : {OK, Cancel, Button3}) button->setAutoDefault(false);
  const QList<QWidget*> controls{FuncList, Edit, Button3, FuncVisible, OK, Cancel};
  for (QWidget* control : controls) control->installEventFilter(this);
  for (qsizetype i = 1; i < controls.size(); ++i) setTabOrder(controls[i - 1], controls[i]);

  connect(OK, &QPushButton::clicked, this, &QDialog::accept);
  connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, &TFuncConfigForm::Button3Click);
  connect(FuncList, &QListWidget::currentRowChanged, this, &TFuncConfigForm::ShowRow);

  FillList();
  FuncVisible->setChecked(functionBarVisible);
}

void TFuncConfigForm::FillList() {
  for (std::size_t i = 0; i < FKeyTexts.size(); ++i)
    FuncList->AddRow({FuncKeyLabel(static_cast<int>(i)), FKeyTexts[i]});
  FuncList->SetColumnWidth(0, LabelColumnWidth);
  FuncList->SetItemIndex(0);  // shows the row's text through currentRowChanged
}

bool TFuncConfigForm::FunctionBarVisible() const {
  return FuncVisible->isChecked();
}

void TFuncConfigForm::ShowRow(int row) {
  Edit->setText(ToQString(FuncList->GetCell(1, row)));
}

void TFuncConfigForm::Button3Click() {
  const int row = FuncList->ItemIndex();
  if (row < 0) return;
  const std::string text = FromQString(Edit->text());
  FKeyTexts[static_cast<std::size_t>(FuncList->DataIndex(row))] = text;
  FuncList->SetCell(1, row, text);
  FuncList->Repaint();
}

bool TFuncConfigForm::MoveSelection(int step) {
  const int row = FuncList->ItemIndex();
  const int target = row + step;
  if (row < 0 || target < 0 || target >= FuncList->RowCount()) return false;
  FuncList->SetItemIndex(target);  // shows the row's text through currentRowChanged
  return true;
}

bool TFuncConfigForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  switch (key->key()) {
    case Qt::Key_Up:
      return MoveSelection(-1);
    case Qt::Key_Down:
      return MoveSelection(1);
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (watched != Edit) return false;
      Button3Click();
      return true;
    default:
      return false;
  }
}
