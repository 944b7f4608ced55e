// The telephony layer under TTapiTerminal: Linux has no telephony service, so
// this unit offers its operations over plain modems.
//  - Lines: the modems listed in settings section "Telephony" (array "Lines"
//    of Name, Device and the optional Init and Speed), then the devices under
//    /dev/serial/by-id that no listed line uses, named by their file name.
//  - Dialing location: settings section "Location".
//  - Address translation: "+CC (AREA) NUMBER" into dialable and displayable
//    strings by the location's rules.
//  - Calls: AT commands on the line's device; the modem's result lines become
//    call states, and a connected call hands out its descriptor.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm/SerialDevice.h"

// A telephony line: a modem on a serial device.
struct TTelephonyLine {
  int ID = -1;
  std::string Name;  // CP932
  QString Device;
  QString Init;   // sent before dialling when not empty; the modem must answer OK
  int Speed = 0;  // bits per second; 0 keeps the device's speed
};

// Every line in identifier order, whether or not its device is there now.
std::vector<TTelephonyLine> ReadTelephonyLines(const QString& byIdFolder = "/dev/serial/by-id");
// A line can be used when its device is a character device we may open.
bool LineUsable(const TTelephonyLine& line);

// The dialing location. Codes and prefixes are digit strings.
struct TDialLocation {
  std::string CountryCode = "81";
  std::string AreaCode;
  std::string LongDistancePrefix = "0";
  std::string InternationalPrefix = "010";
  std::string OutsideLine;  // dialled first, followed by a pause, when not empty
  bool PulseDialing = false;
};
TDialLocation ReadDialLocation();
// False when the settings file could not be written (it is then unchanged).
bool WriteDialLocation(const TDialLocation& location);

struct TTranslateOutput {
  std::string DialableAddress;
  std::string DisplayableAddress;
};
// Translates "+CC (AREA) NUMBER" (or "+CC NUMBER"); nothing when the address
// has another shape. Same country and area: the number; same country, other
// area: long-distance prefix, area, number; other country: international
// prefix, country, area, number. The outside-line prefix and a pause come
// first. The dialable string starts with the dial modifier T (tone) or P
// (pulse) and holds no separators; the displayable one is the same without
// the modifier.
std::optional<TTranslateOutput> TranslateCanonicalAddress(const TDialLocation& location,
                                                          const std::string& canonical);

enum class TCallState { Idle, Connected, Disconnected };
enum class TDisconnectMode { Normal, Busy, NoDialtone, NoAnswer, Unavailable };

// One data call through a modem. States reach OnCallState posted to the
// context object given at creation, on its thread, like a telephony callback.
class TModemCall : public QObject {
 public:
  TModemCall(const TTelephonyLine& line, QObject* context);
  ~TModemCall() override;

  // Opens the device and starts dialling `dialable` ("ATD" + dialable); false
  // when the device cannot be opened or written.
  bool Dial(const std::string& dialable);
  // A duplicate of the connected call's descriptor for the caller to keep and
  // close, or -1 when the call is not connected.
  int PortDescriptor() const;
  // Ends the call: aborts a dial in progress and closes the device, which
  // drops DTR; then Idle follows.
  void Drop();

  std::function<void(TModemCall* Call, TCallState State, TDisconnectMode Mode)> OnCallState;

 private:
  enum class TPhase { Init, Dialing, Connected, Ended };

  bool Send(const std::string& command);
  void ReadResults();
  void HandleResult(TModemResult result);
  void Disconnected(TDisconnectMode mode);
  void PostState(TCallState state, TDisconnectMode mode = TDisconnectMode::Normal);
  void StopReading();

  const TTelephonyLine FLine;
  QObject* const FContext;
  int FPort = -1;
  TPhase FPhase = TPhase::Ended;
  bool FDropped = false;
  std::string FDialable;
  std::string FResultLine;
  std::unique_ptr<QSocketNotifier> FNotifier;
  QTimer FDialTimeout;
};
