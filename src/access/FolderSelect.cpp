#include "access/FolderSelect.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

#include "view/PlatformUi.h"

namespace {

QString CleanFolder(const QString& folder) {
  return QDir::cleanPath(QDir(folder).absolutePath());
}

bool IsPlainFolderName(const QString& name) {
  return !name.contains('/') && name != "." && name != "..";
}

}  // namespace

TFolderForm::TFolderForm(const QString& programFolder, QWidget* parent)
    : QDialog(parent), FProgramFolder(CleanFolder(programFolder)) {
  setWindowTitle("フォルダの指定");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

  auto* label2 = new QLabel("ﾛｸﾞﾌｫﾙﾀﾞ(&L)", this);
  FLogFolder = new QLineEdit(this);
  FLogFolder->setObjectName("LogFolder");
  label2->setBuddy(FLogFolder);
  auto* label3 = new QLabel("ｼｮｰﾄｶｯﾄﾌｫﾙﾀﾞ(&S)", this);
  FShortcutFolder = new QLineEdit(this);
  FShortcutFolder->setObjectName("ShortcutFolder");
  label3->setBuddy(FShortcutFolder);
  CurrentEdit = FLogFolder;

  FDriveComboBox = new QComboBox(this);
  FDriveComboBox->setObjectName("DriveComboBox1");
  for (const QFileInfo& drive : QDir::drives()) FDriveComboBox->addItem(drive.absolutePath());

  FFolderModel = new QFileSystemModel(this);
  FFolderModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  FFolderModel->setRootPath(QDir::rootPath());
  FDirectoryListBox = new QTreeView(this);
  FDirectoryListBox->setObjectName("DirectoryListBox1");
  FDirectoryListBox->setModel(FFolderModel);
  FDirectoryListBox->setHeaderHidden(true);
  for (int column = 1; column < FFolderModel->columnCount(); ++column)
    FDirectoryListBox->hideColumn(column);
  FDirectoryListBox->setMinimumSize(260, 200);

  auto* button1 = new QPushButton("OK", this);
  button1->setObjectName("Button1");
  button1->setDefault(true);
  auto* button2 = new QPushButton("ｷｬﾝｾﾙ", this);
  button2->setObjectName("Button2");
  auto* button3 = new QPushButton("ﾌｫﾙﾀﾞ作成(&M)", this);
  button3->setObjectName("Button3");
  button3->setAutoDefault(false);

  auto* layout = new QGridLayout(this);
  layout->addWidget(label2, 0, 0);
  layout->addWidget(FLogFolder, 1, 0);
  layout->addWidget(label3, 2, 0);
  layout->addWidget(FShortcutFolder, 3, 0);
  layout->addWidget(FDriveComboBox, 4, 0);
  layout->addWidget(FDirectoryListBox, 5, 0);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(button1);
  buttons->addWidget(button2);
  buttons->addSpacing(12);
  buttons->addWidget(button3);
  buttons->addStretch();
  layout->addLayout(buttons, 0, 1, 6, 1);

  for (QLineEdit* edit : {FLogFolder, FShortcutFolder}) {
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, [this, edit] { FollowEdit(edit); });
  }
  connect(FDriveComboBox, &QComboBox::activated, this,
          [this](int index) { SetDirectory(FDriveComboBox->itemText(index)); });
  connect(FDirectoryListBox->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (!current.isValid()) return;
            FDirectory = FFolderModel->filePath(current);
            DirectoryChanged();
          });
  connect(button1, &QPushButton::clicked, this, &QDialog::accept);
  connect(button2, &QPushButton::clicked, this, &QDialog::reject);
  connect(button3, &QPushButton::clicked, this, &TFolderForm::Button3Click);
}

void TFolderForm::SetFolders(const QString& shortcutFolder, const QString& logFolder) {
  FShortcutFolder->setText(shortcutFolder);
  FLogFolder->setText(logFolder);
}

QString TFolderForm::ShortcutFolder() const {
  return FShortcutFolder->text();
}

QString TFolderForm::LogFolder() const {
  return FLogFolder->text();
}

void TFolderForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FLogFolder->setFocus();
  FollowEdit(FLogFolder);
}

bool TFolderForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (watched == FLogFolder) FollowEdit(FLogFolder);
    if (watched == FShortcutFolder) FollowEdit(FShortcutFolder);
  }
  return QDialog::eventFilter(watched, event);
}

// The folder list follows the edit in use; a folder that does not exist
// shows the program's folder instead.
void TFolderForm::FollowEdit(QLineEdit* edit) {
  CurrentEdit = edit;
  const QString text = edit->text();
  if (text.isEmpty()) return;
  SetDirectory(QDir(text).exists() ? text : FProgramFolder);
}

void TFolderForm::SetDirectory(const QString& folder) {
  FDirectory = CleanFolder(folder);
  const QModelIndex index = FFolderModel->index(FDirectory);
  FDirectoryListBox->setCurrentIndex(index);
  FDirectoryListBox->scrollTo(index);
  DirectoryChanged();
}

// The edit in use shows the list's folder.
void TFolderForm::DirectoryChanged() {
  if (CurrentEdit->text().isEmpty() || CleanFolder(CurrentEdit->text()) != FDirectory)
    CurrentEdit->setText(FDirectory);
}

void TFolderForm::Button3Click() {
  QString name;
  if (!PlatformUi().InputQuery("新規フォルダの作成", "新規フォルダ名", name) || name.isEmpty())
    return;
  const QString folder = QDir(FDirectory).filePath(name);
  if (!IsPlainFolderName(name) || !QDir().mkdir(folder)) {
    PlatformUi().ShowMessage(QString("フォルダ %1 を作成できませんでした。").arg(folder));
    return;
  }
  SetDirectory(folder);
}
