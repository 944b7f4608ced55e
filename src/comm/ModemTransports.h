// The two modem transports: the serial modem dialled with AT commands on a
// "COM" port, and the telephony modem chosen by name. Their devices report
// the call as it happens, so both keep their events while held.
#pragma once

#include "comm/Transport.h"

class TMyComm;
class TTapiTerminal;

// The entry's port text holds the port "COM1" to "COM4", the dial method and
// the modem's initialisation commands and line speed.
class TSerialModemTransport : public TQueuedTransport {
 public:
  explicit TSerialModemTransport(QObject* parent = nullptr);

  bool Open(const TAPData& entry) override;
  void Close() override;
  bool Send(const std::string& text) override;
  void SendBreak() override;
  // While the modem is sent its commands or dials, what arrives are its
  // responses, not the host's prompts.
  bool Dialling() const override;

 private:
  void Dropped();

  TMyComm* FModem;
  bool FActive = false;  // a call is carried: dialling or up
  bool FUp = false;
};

// The entry's port text names the modem; its number is dialled with the
// entry's city and country codes.
class TTelephonyModemTransport : public TQueuedTransport {
 public:
  explicit TTelephonyModemTransport(QObject* parent = nullptr);

  bool Open(const TAPData& entry) override;
  void Close() override;
  bool Send(const std::string& text) override;
  void SendBreak() override;

 private:
  void Event(const QString& message);
  void Ended(const QString& reason);

  TTapiTerminal* FTerminal;
  bool FActive = false;
  bool FUp = false;
};
