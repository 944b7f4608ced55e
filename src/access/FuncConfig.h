#pragma once
// TFuncConfigForm: the dialog in which the user edits the function key texts
// and switches the function key bar on or off. It works on a copy of the
// texts; after OK the owner takes KeyTexts() and FunctionBarVisible().

#include <QDialog>
#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;
class TListGrid;

// The label of function key entry index: "F1" to "F12", with "Shift + " before
// entries 12-23 and "Ctrl  + " before entries 24-35.
std::string FuncKeyLabel(int index);

class TFuncConfigForm : public QDialog {
  Q_OBJECT

 public:
  TFuncConfigForm(const std::vector<std::string>& keyTexts, bool functionBarVisible,
                  QWidget* parent = nullptr);

  // The edited texts (the dialog's copy).
  const std::vector<std::string>& KeyTexts() const { return FKeyTexts; }
  // Whether the function key bar is to be shown.
  bool FunctionBarVisible() const;

  TListGrid* FuncList;
  QLineEdit* Edit;
  QCheckBox* FuncVisible;
  QPushButton* OK;
  QPushButton* Cancel;
  QPushButton* Button3;

 protected:
  // The dialog sees keys before its controls: Up and Down move the selection,
  // Enter in Edit stores its text.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FillList();
  void ShowRow(int row);
  void Button3Click();
  bool MoveSelection(int step);

  std::vector<std::string> FKeyTexts;
};
