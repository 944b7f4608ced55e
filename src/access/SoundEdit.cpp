#include "access/SoundEdit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "view/PlatformUi.h"

namespace {

const char* const kOpenDialogTitle = "ＷＡＶファイルを開く";
const char* const kOpenDialogFilter = "音声ファイル(*.WAV *.wav);;すべてのファイル(*)";

}  // namespace

TSoundConfigForm::TSoundConfigForm(QString& connectSound, QString& disconnectSound,
                                   const QString& programFolder, QWidget* parent)
    : QDialog(parent),
      FConnectSound(connectSound),
      FDisconnectSound(disconnectSound),
      FProgramFolder(programFolder) {
  setWindowTitle("音の設定");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

  auto* label1 = new QLabel("(1)接続時(&C)", this);
  FConnectEdit = new QLineEdit(connectSound, this);
  FConnectEdit->setObjectName("ConnectSound");
  label1->setBuddy(FConnectEdit);
  auto* label2 = new QLabel("(2)切断時(&D)", this);
  FDisconEdit = new QLineEdit(disconnectSound, this);
  FDisconEdit->setObjectName("DisconSound");
  label2->setBuddy(FDisconEdit);
  for (QLineEdit* edit : {FConnectEdit, FDisconEdit}) edit->setMinimumWidth(320);

  auto* button1 = new QPushButton("参照(&A)", this);
  button1->setObjectName("Button1");
  auto* button2 = new QPushButton("参照(&B)", this);
  button2->setObjectName("Button2");
  auto* button3 = new QPushButton("OK(&O)", this);
  button3->setObjectName("Button3");
  button3->setDefault(true);
  auto* button4 = new QPushButton("ｷｬﾝｾﾙ", this);
  button4->setObjectName("Button4");
  for (QPushButton* browse : {button1, button2}) browse->setAutoDefault(false);

  auto* layout = new QGridLayout(this);
  layout->addWidget(label1, 0, 0, 1, 2);
  layout->addWidget(FConnectEdit, 1, 0);
  layout->addWidget(button1, 1, 1);
  layout->addWidget(label2, 2, 0, 1, 2);
  layout->addWidget(FDisconEdit, 3, 0);
  layout->addWidget(button2, 3, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(button3);
  buttons->addWidget(button4);
  layout->addLayout(buttons, 4, 0, 1, 2);

  connect(button1, &QPushButton::clicked, this, [this] { Browse(FConnectEdit); });
  connect(button2, &QPushButton::clicked, this, [this] { Browse(FDisconEdit); });
  connect(button3, &QPushButton::clicked, this, &TSoundConfigForm::Button3Click);
  connect(button4, &QPushButton::clicked, this, &QDialog::reject);
}

void TSoundConfigForm::Browse(QLineEdit* edit) {
  const QString file =
      PlatformUi().OpenFileName(kOpenDialogTitle, FProgramFolder, kOpenDialogFilter);
  if (!file.isEmpty()) edit->setText(file);
}

void TSoundConfigForm::Button3Click() {
  FConnectSound = FConnectEdit->text();
  FDisconnectSound = FDisconEdit->text();
  accept();
}
