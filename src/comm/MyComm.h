#pragma once
// The AT-command modem dialer on a serial port: opens the port, walks the
// modem through its initialisation commands (each modem reply line sends the
// next command), dials by tone or pulse, reports the connection, passes the
// received text to its owner and hangs up.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "comm/Comm.h"

enum TDialOperate { doPulse, doTone };

class TMyComm : public TComm {
 public:
  // Watches the carrier (EventMask [evRlsd]) and dials by tone.
  explicit TMyComm(QObject* parent = nullptr);

  // The number to dial, sent unchanged after the dial command.
  const std::string& PhoneNumber() const { return FPhoneNumber; }
  void SetPhoneNumber(const std::string& number) { FPhoneNumber = number; }
  TDialOperate DialOperate() const { return FDialOperate; }
  void SetDialOperate(TDialOperate operate) { FDialOperate = operate; }
  // The modem commands to send before dialling, without their CR; filled by
  // the owner before Dial. Empty: "ATZ".
  std::vector<std::string> InitCommands;

  // 0: no command outstanding (the data phase, or idle); 1: a command was
  // sent and its echo is awaited; 2: the echo was seen, the reply is awaited.
  int DialState() const { return FDialState; }

  // Starts the call: with no PhoneNumber the message "電話番号が入力されていません。"
  // goes to OnMessage and nothing else happens. Otherwise opens the port
  // (ECommOpenError passes to the caller) and returns; "AT" follows one
  // second later from the event loop.
  void Dial();
  // Ends the call: "ATZ" in the data phase, then the port is closed and,
  // when a call was in progress, OnDisconnect is raised.
  void HangUp();

  // The call is up: the modem answered the dial command with CONNECT (with
  // or without a speed) on a line of its own. Raised once per call, before
  // that line reaches OnReceiveData.
  std::function<void(QObject* Sender)> OnConnect;
  // The call ended: the user hung up, the modem answered the dial command
  // with BUSY, NO CARRIER, NO DIALTONE, NO ANSWER or ERROR (DialFailure
  // tells which), the carrier dropped after dialling, or the device or far
  // end vanished. Raised once per call; the port is closed by then.
  std::function<void(QObject* Sender)> OnDisconnect;
  // Received text followed by a zero byte (not counted in BufferLength); it
  // never holds LF or NUL. Until the call is up each modem line comes alone
  // with CR at its end (empty lines are left out); then the received blocks
  // as they come.
  std::function<void(QObject* Sender, const char* Buffer, uint16_t BufferLength)> OnReceiveData;

  // The result line by which the modem refused the last dial command
  // ("BUSY", "NO CARRIER", ...), or the error by which the port refused the
  // first command; empty while dialling, once the call is up, and when it
  // ended otherwise.
  const std::string& DialFailure() const { return FDialFailure; }

 protected:
  void CommEvent(unsigned bits) override;
  void CommReceive() override;

 private:
  std::string ReceiveText();
  void ModemLines();
  void CommandReply(const std::string& line);
  void SendFirstCommand();
  void SendNextCommand();
  void DialReply(const std::string& line);
  void PassOn(const std::string& text);
  void EndCall();

  std::string FPhoneNumber;
  TDialOperate FDialOperate = doTone;
  std::deque<std::string> FCommands;
  std::string FLineBuffer;
  int FDialState = 0;
  bool FActive = false;
  bool FDialling = false;
  std::string FDialFailure;
  QTimer FStartTimer;  // the second between opening the port and "AT"
};
