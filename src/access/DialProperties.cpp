#include "access/DialProperties.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSettings>

#include "text/QtCodec.h"
#include "view/PlatformUi.h"

TDialPropertiesForm::TDialPropertiesForm(const std::string& canonical, QWidget* parent)
    : QDialog(parent), FCanonical(canonical) {
  setWindowTitle("ﾀﾞｲｱﾙのﾌﾟﾛﾊﾟﾃｨｰ");
  const TDialLocation location = ReadDialLocation();
  auto* form = new QFormLayout(this);
  CountryCode = AddField("国番号(&N)", "CountryCode", location.CountryCode);
  AreaCode = AddField("市外局番(&C)", "AreaCode", location.AreaCode);
  LongDistancePrefix =
      AddField("市外通話の番号(&L)", "LongDistancePrefix", location.LongDistancePrefix);
  InternationalPrefix =
      AddField("国際通話の番号(&I)", "InternationalPrefix", location.InternationalPrefix);
  OutsideLine = AddField("外線発信番号(&O)", "OutsideLine", location.OutsideLine);
  PulseDialing = new QCheckBox("ダイアル回線（パルス）(&P)", this);
  PulseDialing->setObjectName("PulseDialing");
  PulseDialing->setChecked(location.PulseDialing);
  form->addRow(PulseDialing);
  Preview = new QLabel(this);
  Preview->setObjectName("Preview");
  form->addRow("ダイアルする番号", Preview);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { OKButtonClick(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(PulseDialing, &QCheckBox::toggled, this, [this] { UpdatePreview(); });
  UpdatePreview();
}

// Codes and prefixes are digit strings.
QLineEdit* TDialPropertiesForm::AddField(const QString& caption, const char* name,
                                         const std::string& value) {
  auto* field = new QLineEdit(ToQString(value), this);
  field->setObjectName(name);
  field->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), field));
  static_cast<QFormLayout*>(layout())->addRow(caption, field);
  connect(field, &QLineEdit::textChanged, this, [this] { UpdatePreview(); });
  return field;
}

TDialLocation TDialPropertiesForm::Location() const {
  TDialLocation location;
  location.CountryCode = FromQString(CountryCode->text());
  location.AreaCode = FromQString(AreaCode->text());
  location.LongDistancePrefix = FromQString(LongDistancePrefix->text());
  location.InternationalPrefix = FromQString(InternationalPrefix->text());
  location.OutsideLine = FromQString(OutsideLine->text());
  location.PulseDialing = PulseDialing->isChecked();
  return location;
}

void TDialPropertiesForm::UpdatePreview() {
  const auto translated = TranslateCanonicalAddress(Location(), FCanonical);
  Preview->setText(translated ? ToQString(translated->DisplayableAddress) : QString());
}

void TDialPropertiesForm::OKButtonClick() {
  if (!WriteDialLocation(Location()))
    PlatformUi().ShowMessage(QStringLiteral("Cannot write the settings file %1")
                                 .arg(QSettings("Zeb", "Wombat").fileName()));
  accept();
}
