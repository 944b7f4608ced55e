#include "access/APConfig.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "access/AccessPoint.h"
#include "access/SerialSettings.h"
#include "comm/TapiTerm.h"
#include "text/QtCodec.h"

namespace {

constexpr int kNarrowWidth = 258;
constexpr int kWideWidth = 443;
constexpr int kHeight = 295;
constexpr int kFastestSpeedIndex = 6;

const char* const kPresetScripts[] = {
    "***@P'[*]C NIF'[>]SVC'[>]$I'[>]$P'; ⇒Road2", "[*]C NIF'[>]SVC'[>]$I'[>]$P'; ⇒Road3～5",
    "[:]NIFTY'[:]'[>]SVC'[>]$I'[>]$P'; ⇒Road7",   "[>]SVC'[>]$I'[>]$P'; ⇒Telnet",
    "'[e:]NIFTY'[>]SVC'[>]$I'[>]$P'; ⇒CIS",       "[:]$I'; ⇒Tern",
};
const char* const kSerialPorts[] = {"COM1", "COM2", "COM3", "COM4"};
const char* const kSpeeds[] = {"  2400", "  4800", "  9600", " 19200",
                               " 38400", " 57600", "115200"};

QLabel* Label(const QString& text, QWidget* parent, int x, int y, int width) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(x, y, width, 16);
  return label;
}

template <typename T>
T* Place(T* widget, const char* name, int x, int y, int width, int height = 22) {
  widget->setObjectName(name);
  widget->setGeometry(x, y, width, height);
  return widget;
}

QComboBox* EditableCombo(QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  return combo;
}

QString Text(const std::string& cp932) {
  return ToQString(cp932);
}
std::string Bytes(const QString& text) {
  return FromQString(text);
}

}  // namespace

TAPConfigForm::TAPConfigForm(TAccessPoint& accessPoint, TTapiTerminal& terminal,
                             QWidget* parent)
    : QDialog(parent), AccessPoint(accessPoint), Terminal(terminal) {
  setWindowTitle("アクセスリストの設定");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
  BuildEntryControls();
  BuildComPanel();
  BuildTapiPanel();
  BuildButtons();
  std::vector<std::string> modems;
  Terminal.GetModemNames(modems);
  for (const std::string& modem : modems) DeviceName->addItem(Text(modem));
  for (const char* port : kSerialPorts) DeviceName->addItem(port);
  DeviceRule();
}

void TAPConfigForm::BuildEntryControls() {
  APNameLabel = Place(new QLabel(this), "APNameLabel", 8, 6, 240, 18);
  QFont nameFont = APNameLabel->font();
  nameFont.setBold(true);
  nameFont.setUnderline(true);
  APNameLabel->setFont(nameFont);
  APNameLabel->setStyleSheet("color: blue");

  auto* label1 = Label("ホスト名　/　電話番号（&H）", this, 8, 28, 240);
  HostName = Place(EditableCombo(this), "HostName", 8, 44, 240);
  HostName->addItems({kServiceTelnetHost, kServiceGatewayHost, kChatHost});
  HostName->setEditText(QString());
  label1->setBuddy(HostName);

  Label2 = Label("ポート番号(&P)", this, 8, 72, 240);
  PortName = Place(EditableCombo(this), "PortName", 8, 88, 100);
  PortName->addItems({"23", "13635"});
  Label2->setBuddy(PortName);
  Label6 = Label("モデム(&M)", this, 8, 72, 240);
  DeviceName = Place(new QComboBox(this), "DeviceName", 8, 88, 240);
  Label6->setBuddy(DeviceName);

  auto* label3 = Label("ID(&I)   ⇒ｽｸﾘﾌﾟﾄでは$I", this, 8, 116, 118);
  IDEdit = Place(new QLineEdit(this), "IDEdit", 8, 132, 112);
  label3->setBuddy(IDEdit);
  auto* label4 = Label("パスワード(&W)   ⇒$P", this, 128, 116, 120);
  PassEdit = Place(new QLineEdit(this), "PassEdit", 128, 132, 120);
  PassEdit->setEchoMode(QLineEdit::Password);
  label4->setBuddy(PassEdit);

  auto* label5 = Label("接続スクリプト(&S)   ⇒[ ]：待ち文字列 ", this, 8, 160, 240);
  ScriptEdit = Place(EditableCombo(this), "ScriptEdit", 8, 176, 240);
  for (const char* script : kPresetScripts) ScriptEdit->addItem(script);
  ScriptEdit->setEditText(QString());
  label5->setBuddy(ScriptEdit);

  auto* label7 = Label("ﾛｸﾞﾌｧｲﾙ名の接頭語(&L)", this, 8, 204, 240);
  LogName = Place(new QLineEdit(this), "LogName", 8, 220, 112);
  label7->setBuddy(LogName);

  connect(HostName, &QComboBox::editTextChanged, this, &TAPConfigForm::HostRule);
  connect(PortName, &QComboBox::editTextChanged, this, &TAPConfigForm::HostRule);
  connect(DeviceName, &QComboBox::currentIndexChanged, this, &TAPConfigForm::DeviceRule);
}

void TAPConfigForm::BuildComPanel() {
  ComPanel = Place(new QGroupBox("モデムの直接制御", this), "ComPanel", 256, 6, 180, 280);
  Label("ﾀﾞｲｱﾙ方法(&D)", ComPanel, 8, 20, 164)
      ->setBuddy(DialMethod = Place(new QComboBox(ComPanel), "DialMethod", 8, 36, 120));
  DialMethod->addItems({"ダイアル", "プッシュ"});
  Label("モデム初期化コマンド(&M)", ComPanel, 8, 66, 164)
      ->setBuddy(Init1 = Place(new QLineEdit(ComPanel), "Init1", 8, 82, 164));
  Init2 = Place(new QLineEdit(ComPanel), "Init2", 8, 108, 164);
  Init3 = Place(new QLineEdit(ComPanel), "Init3", 8, 134, 164);
  Label("DTE速度(&T)", ComPanel, 8, 164, 164)
      ->setBuddy(DTESpeed = Place(new QComboBox(ComPanel), "DTESpeed", 8, 180, 120));
  for (const char* speed : kSpeeds) DTESpeed->addItem(speed);
  DTESpeed->setCurrentIndex(-1);

  connect(DialMethod, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) return;
    const QSignalBlocker blocker(DialMethod);
    DialMethod->setCurrentIndex(0);
  });
}

void TAPConfigForm::BuildTapiPanel() {
  TAPIPanel = Place(new QGroupBox("ダイアルの設定（TAPI)", this), "TAPIPanel", 256, 6, 180, 280);
  Label("接続先の市外局番(&C)", TAPIPanel, 8, 20, 164)
      ->setBuddy(CityCode = Place(new QLineEdit(TAPIPanel), "CityCode", 8, 36, 80));
  Label("接続先の国番号(&N)", TAPIPanel, 8, 66, 164)
      ->setBuddy(CountryCode = Place(new QLineEdit(TAPIPanel), "CountryCode", 8, 82, 80));
  ActualCode = Place(new QLabel(TAPIPanel), "ActualCode", 8, 116, 164, 18);
  Label("※上記２つは省略可です", TAPIPanel, 8, 142, 164);
  DialProperty =
      Place(new QPushButton("ﾀﾞｲｱﾙのﾌﾟﾛﾊﾟﾃｨｰ(&D)", TAPIPanel), "DialProperty", 8, 240, 164, 26);
  connect(CityCode, &QLineEdit::textChanged, this, [this](const QString& code) {
    Terminal.SetCityCode(Bytes(code));
    ShowActualCode();
  });
  connect(CountryCode, &QLineEdit::textChanged, this, [this](const QString& code) {
    Terminal.SetCountryCode(Bytes(code));
    ShowActualCode();
  });
  connect(DialProperty, &QPushButton::clicked, this, &TAPConfigForm::DialPropertyClick);
}

void TAPConfigForm::BuildButtons() {
  ClearButton = Place(new QPushButton("クリア(&C)", this), "ClearButton", 8, 258, 76, 26);
  OKButton = Place(new QPushButton("OK", this), "OKButton", 90, 258, 76, 26);
  OKButton->setDefault(true);
  CancelButton = Place(new QPushButton("キャンセル", this), "CancelButton", 172, 258, 76, 26);
  ClearButton->setAutoDefault(false);
  CancelButton->setAutoDefault(false);
  connect(ClearButton, &QPushButton::clicked, this, &TAPConfigForm::ClearButtonClick);
  connect(OKButton, &QPushButton::clicked, this, &TAPConfigForm::OKButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TAPConfigForm::NewEntry(const QString& name) {
  APNameLabel->setText(name);
  DeviceName->setCurrentIndex(0);
  DeviceRule();
}

void TAPConfigForm::LoadEntry(const QString& name) {
  APNameLabel->setText(name);
  TAPData entry;
  AccessPoint.Load(Bytes(name), entry);
  HostName->setEditText(Text(entry.HostName));
  if (!HostIsTelephoneNumber())
    PortName->setEditText(Text(entry.Port));
  else if (entry.Port.compare(0, 3, "COM") != 0)
    DeviceName->setCurrentIndex(DeviceName->findText(Text(entry.Port)));
  else
    FillSerialSettings(entry.Port);
  if (DeviceName->currentIndex() < 0) DeviceName->setCurrentIndex(0);
  IDEdit->setText(Text(entry.ID));
  PassEdit->setText(Text(entry.Password));
  ScriptEdit->setEditText(Text(entry.Script));
  LogName->setText(Text(entry.LogName));
  CityCode->setText(Text(entry.CityCode));
  CountryCode->setText(Text(entry.CountryCode));
  DeviceRule();
}

QString TAPConfigForm::EntryName() const {
  return APNameLabel->text();
}

void TAPConfigForm::FillSerialSettings(const std::string& port) {
  const TSerialSettings settings = ReadSerialSettings(port);
  DeviceName->setCurrentIndex(DeviceName->findText(Text(settings.PortName)));
  if (settings.DialMethod) DialMethod->setCurrentIndex(static_cast<int>(*settings.DialMethod));
  QLineEdit* const inits[] = {Init1, Init2, Init3};
  for (std::size_t i = 0; i < settings.InitCommands.size(); ++i)
    inits[i]->setText(Text(settings.InitCommands[i]));
  if (!settings.Speed) return;
  const int speed = DTESpeed->findText(Text(*settings.Speed));
  DTESpeed->setCurrentIndex(speed >= 0 ? speed : DTESpeed->count() - 1);
}

std::string TAPConfigForm::SerialPortText() const {
  TSerialSettings settings;
  settings.PortName = Bytes(DeviceName->currentText());
  settings.DialMethod = DialMethod->currentIndex() == 0 ? TDialMethod::Pulse : TDialMethod::Tone;
  settings.InitCommands = {Bytes(Init1->text()), Bytes(Init2->text()), Bytes(Init3->text())};
  settings.Speed = Bytes(DTESpeed->currentText());
  return SerialSettingsText(settings);
}

bool TAPConfigForm::HostIsTelephoneNumber() const {
  return IsTelephoneNumber(Bytes(HostName->currentText()));
}

void TAPConfigForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  HostRule();
}

void TAPConfigForm::HostRule() {
  const bool hostName = !HostIsTelephoneNumber();
  PortName->setVisible(hostName);
  Label2->setVisible(hostName);
  DeviceName->setVisible(!hostName);
  Label6->setVisible(!hostName);
  OKButton->setEnabled(!HostName->currentText().isEmpty() && !PortName->currentText().isEmpty());
  if (!hostName) {
    Terminal.SetPhoneNumber(Bytes(HostName->currentText()));
    ShowActualCode();
  }
  DeviceRule();
}

void TAPConfigForm::DeviceRule() {
  const bool deviceShown = !DeviceName->isHidden();
  const QString device = DeviceName->currentText();
  ComPanel->setVisible(deviceShown && (device.startsWith("COM") || device.isEmpty()));
  TAPIPanel->setVisible(deviceShown && ComPanel->isHidden());
  setFixedSize(ComPanel->isHidden() && TAPIPanel->isHidden() ? kNarrowWidth : kWideWidth, kHeight);
  if (DialMethod->currentIndex() < 0) DialMethod->setCurrentIndex(0);
  if (TAPIPanel->isHidden() && DTESpeed->currentIndex() < 0)
    DTESpeed->setCurrentIndex(kFastestSpeedIndex);
}

void TAPConfigForm::ShowActualCode() {
  ActualCode->setText(Text(Terminal.DisplayableAddress()));
}

void TAPConfigForm::DialPropertyClick() {
  Terminal.SetPhoneNumber(Bytes(HostName->currentText()));
  Terminal.SetModemName(Bytes(DeviceName->currentText()));
  Terminal.TranslateDialog();
  ShowActualCode();
}

void TAPConfigForm::ClearButtonClick() {
  for (QComboBox* combo : {HostName, PortName, ScriptEdit}) combo->setEditText(QString());
  IDEdit->clear();
  PassEdit->clear();
  DeviceName->setCurrentIndex(0);
  DeviceRule();
}

void TAPConfigForm::OKButtonClick() {
  TAPData entry;
  entry.ID = Bytes(IDEdit->text());
  entry.HostName = Bytes(HostName->currentText());
  if (!PortName->isHidden())
    entry.Port = Bytes(PortName->currentText());
  else if (DeviceName->currentText().startsWith("COM", Qt::CaseInsensitive))
    entry.Port = SerialPortText();
  else
    entry.Port = Bytes(DeviceName->currentText());
  entry.Password = Bytes(PassEdit->text());
  entry.Script = Bytes(ScriptEdit->currentText());
  entry.LogName = Bytes(LogName->text());
  entry.CityCode = Bytes(CityCode->text());
  entry.CountryCode = Bytes(CountryCode->text());
  // A failed save has shown its message; the dialog stays open so that
  // nothing typed is lost and the caller never lists an entry without a file.
  if (AccessPoint.Save(Bytes(EntryName()), entry)) accept();
}
