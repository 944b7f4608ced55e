#include "access/version.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const char* const kDetails[] = {
    "version      : 1.03b1",
    "updated date : 1998/03/01",
    "made by      : the Wombat project",
    "runs on      : Linux with Qt 6",
};

QLabel* IconLabel(QStyle::StandardPixmap icon, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setPixmap(parent->style()->standardIcon(icon).pixmap(32, 32));
  label->setFixedSize(32, 32);
  return label;
}

}  // namespace

TVersionForm::TVersionForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Wombatについて");
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  QFont fixed("ＭＳ ゴシック");
  fixed.setPixelSize(12);
  fixed.setFixedPitch(true);
  setFont(fixed);

  auto* name = new QLabel("Wombat", this);
  name->setObjectName("ProgramName");
  QFont large = fixed;
  large.setPixelSize(28);
  large.setBold(true);
  name->setFont(large);
  name->setAlignment(Qt::AlignCenter);
  name->setFrameStyle(QFrame::Panel | QFrame::Raised);
  name->setLineWidth(2);
  name->setMargin(6);

  auto* details = new QVBoxLayout;
  for (const char* line : kDetails) {
    auto* label = new QLabel(line, this);
    label->setObjectName("Detail");
    details->addWidget(label);
  }

  auto* okButton = new QPushButton("OK", this);
  okButton->setObjectName("OKButton");
  okButton->setDefault(true);
  connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* top = new QHBoxLayout;
  top->addWidget(IconLabel(QStyle::SP_ComputerIcon, this));
  top->addWidget(name, 1);
  top->addWidget(IconLabel(QStyle::SP_DriveNetIcon, this));
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(okButton);
  bottom->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(details);
  layout->addLayout(bottom);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}
