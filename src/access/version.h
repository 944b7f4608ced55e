#pragma once
// The About box: the program's name, version, date and maker.

#include <QDialog>

class TVersionForm : public QDialog {
  Q_OBJECT

 public:
  explicit TVersionForm(QWidget* parent = nullptr);
};
