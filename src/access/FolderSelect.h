#pragma once
// The folder dialog: the log folder and the folder for internet shortcut
// files, with a drive list and a folder tree that follow the edit in use.

#include <QDialog>
#include <QString>

class QComboBox;
class QFileSystemModel;
class QLineEdit;
class QTreeView;

class TFolderForm : public QDialog {
  Q_OBJECT

 public:
  // `programFolder` is shown when an edit names a folder that does not exist.
  explicit TFolderForm(const QString& programFolder, QWidget* parent = nullptr);

  void SetFolders(const QString& shortcutFolder, const QString& logFolder);
  QString ShortcutFolder() const;
  QString LogFolder() const;
  // The folder the tree list stands on.
  QString Directory() const { return FDirectory; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FollowEdit(QLineEdit* edit);
  void SetDirectory(const QString& folder);
  void DirectoryChanged();
  void Button3Click();

  QString FProgramFolder;
  QString FDirectory;
  QLineEdit* FLogFolder;
  QLineEdit* FShortcutFolder;
  QLineEdit* CurrentEdit;
  QComboBox* FDriveComboBox;
  QFileSystemModel* FFolderModel;
  QTreeView* FDirectoryListBox;
};
