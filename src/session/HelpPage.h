#pragma once
// The help page shipped with the program: its contents in one window.

#include <QDialog>

class THelpForm : public QDialog {
  Q_OBJECT

 public:
  explicit THelpForm(QWidget* parent = nullptr);
};
