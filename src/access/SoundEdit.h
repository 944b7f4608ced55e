#pragma once
// The sound dialog: the files played when a connection comes up and when it
// ends. It edits the caller's two paths, which change only on OK.

#include <QDialog>
#include <QString>

class QLineEdit;

class TSoundConfigForm : public QDialog {
  Q_OBJECT

 public:
  // `connectSound` and `disconnectSound` are shown, and replaced on OK; the
  // file chooser starts in `programFolder`.
  TSoundConfigForm(QString& connectSound, QString& disconnectSound, const QString& programFolder,
                   QWidget* parent = nullptr);

 private:
  void Browse(QLineEdit* edit);
  void Button3Click();

  QString& FConnectSound;
  QString& FDisconnectSound;
  QString FProgramFolder;
  QLineEdit* FConnectEdit;
  QLineEdit* FDisconEdit;
};
