// The telephony terminal: lists the modem lines, translates the entry's
// number with the dialing location, places a data call and, once connected,
// carries its data on the port threads.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "comm/TapiLine.h"
#include "comm/TapiPort.h"

class TModemLine {
 public:
  std::string Name;
  int ID = -1;
};

// Line names, each with its device identifier.
class TModemList {
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  const std::string& Names(int Index) const { return FItems.at(Index).first; }
  int IDs(int Index) const { return FItems.at(Index).second; }

  int IndexOfID(int ID) const;
  // The largest identifier, or -1 when the list is empty.
  int MaxID() const;
  // Appends the name with the identifier, or renames the item that has it.
  void AddLine(int ID, const std::string& Name);
  // The item with the identifier, or an empty name and -1.
  TModemLine LineByID(int ID) const;
  int IndexOfName(const std::string& Name) const;

 private:
  std::vector<std::pair<std::string, int>> FItems;
};

class TTapiTerminal : public TTapiPort {
 public:
  static constexpr const char* DeviceFolder = "/dev/serial/by-id";

  // Builds the modem list from the lines whose devices are there now;
  // `deviceFolder` is where further modems are looked for.
  explicit TTapiTerminal(QObject* parent = nullptr, const QString& deviceFolder = DeviceFolder);
  ~TTapiTerminal() override;

  // The number and codes of the target (CP932); setting one re-translates.
  // An empty code means the dialing location's.
  const std::string& PhoneNumber() const { return FPhoneNumber; }
  void SetPhoneNumber(const std::string& Value);
  const std::string& CityCode() const { return FCityCode; }
  void SetCityCode(const std::string& Value);
  const std::string& CountryCode() const { return FCountryCode; }
  void SetCountryCode(const std::string& Value);

  // The name of the line to use; setting a name not in the list gives
  // DeviceID -1.
  std::string ModemName() const;
  void SetModemName(const std::string& Value);
  int DeviceID() const { return FDeviceID; }

  const std::string& CanonicalAddress() const { return FCanonicalAddress; }
  const std::string& DialableAddress() const { return FDialableAddress; }
  const std::string& DisplayableAddress() const { return FDisplayableAddress; }

  // Replaces `Names` with the usable lines' names in identifier order.
  void GetModemNames(std::vector<std::string>& Names) const;
  // Refreshes the three addresses; a failure leaves the previous ones.
  void TranslateAddress();
  // Lets the user edit the dialing location through OnTranslateDialog, then
  // re-translates.
  void TranslateDialog();
  // Places the call; with a number containing "COM", opens the port it names
  // instead ("COMn" through the settings, or a device path). A call that
  // cannot start is reported through OnEvent.
  void MakeCall();
  // Stops the port threads and drops the call.
  void HangUp();

  // The call is connected and its port threads run.
  std::function<void(QObject* Sender)> OnConnect;
  std::function<void(QObject* Sender)> OnDisconnect;
  std::function<void(QObject* Sender, const QString& EventMessage)> OnEvent;
  // Shows the dialing-properties dialog, which edits the location with
  // ReadDialLocation / WriteDialLocation; given the canonical address to preview.
  std::function<void(const std::string& CanonicalAddress)> OnTranslateDialog;

 private:
  std::string GetCanonicalAddress() const;
  std::optional<TTranslateOutput> Translate();
  const TTelephonyLine* LineOf(int deviceID) const;
  void PlaceCall(const TTelephonyLine& line);
  void OpenDirectPort(const std::string& portName);
  void LineCallState(TModemCall* call, TCallState state, TDisconnectMode mode);
  bool ConnectPort();
  bool StartPort(int port);
  void Event(const QString& message);

  std::vector<TTelephonyLine> FLines;
  TModemList FModems;
  int FDeviceID = -1;
  std::string FPhoneNumber;
  std::string FCityCode;
  std::string FCountryCode;
  std::string FCanonicalAddress;
  std::string FDialableAddress;
  std::string FDisplayableAddress;
  std::unique_ptr<TModemCall> FCall;
};
