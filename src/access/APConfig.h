#pragma once
// The access list editor: a modal dialog that creates or edits one entry. A
// host name shows the TCP port; a telephone number shows the modem choice
// and, for a modem on a serial port, its dialing, initialisation and speed
// settings, or for a telephony modem the area and country codes with the
// number as it will be dialled. OK saves the entry under its name through the
// access point.

#include <QDialog>
#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TAccessPoint;
class TTapiTerminal;

// Host names of the service's telnet gateways and of the maker's chat server
// (reserved example names); the default entries use the first and the last.
inline const char* const kServiceTelnetHost = "telnet.nifty.example";
inline const char* const kServiceGatewayHost = "gateway.nifty.example";
inline const char* const kChatHost = "tern.zeb.example";

class TAPConfigForm : public QDialog {
  Q_OBJECT

 public:
  // The telephony terminal lists the modems, previews the number and opens
  // the dialing properties.
  TAPConfigForm(TAccessPoint& accessPoint, TTapiTerminal& terminal, QWidget* parent = nullptr);

  // Prepares a new entry of that name; the fields keep their first values.
  void NewEntry(const QString& name);
  // Reads the entry of that name into the controls.
  void LoadEntry(const QString& name);
  // The name under which OK saves.
  QString EntryName() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildEntryControls();
  void BuildComPanel();
  void BuildTapiPanel();
  void BuildButtons();

  void FillSerialSettings(const std::string& port);
  std::string SerialPortText() const;
  bool HostIsTelephoneNumber() const;
  void HostRule();
  void DeviceRule();
  void ShowActualCode();
  void DialPropertyClick();
  void ClearButtonClick();
  void OKButtonClick();

  TAccessPoint& AccessPoint;
  TTapiTerminal& Terminal;

  QLabel* APNameLabel;
  QComboBox* HostName;
  QLabel* Label2;
  QComboBox* PortName;
  QLabel* Label6;
  QComboBox* DeviceName;
  QLineEdit* IDEdit;
  QLineEdit* PassEdit;
  QComboBox* ScriptEdit;
  QLineEdit* LogName;
  QPushButton* ClearButton;
  QPushButton* OKButton;
  QPushButton* CancelButton;

  QGroupBox* ComPanel;
  QComboBox* DialMethod;
  QLineEdit* Init1;
  QLineEdit* Init2;
  QLineEdit* Init3;
  QComboBox* DTESpeed;

  QGroupBox* TAPIPanel;
  QLineEdit* CityCode;
  QLineEdit* CountryCode;
  QLabel* ActualCode;
  QPushButton* DialProperty;
};
