#pragma once
// Serial lines for tests: a pseudo-terminal pair, and a Hayes modem of our own
// that answers on its master side while the code under test opens the slave
// device like a serial port.

#include <termios.h>

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

// A pseudo-terminal in raw mode. The slave side stays open here as well, so
// that the line stays up while the code under test closes and reopens it.
class TPseudoTerminal {
 public:
  TPseudoTerminal();  // throws std::runtime_error when no pseudo-terminal can be had
  ~TPseudoTerminal();
  TPseudoTerminal(const TPseudoTerminal&) = delete;
  TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

  // The device path to open as a serial port, e.g. "/dev/pts/3".
  const std::string& SlavePath() const { return FSlavePath; }
  int MasterFd() const { return FMaster; }
  // The line settings in force on the slave side.
  termios SlaveSettings() const;

  // Writes to the line as the far end (waits at most two seconds for room).
  void Write(std::string_view bytes);
  // What the near end has written: waits up to `waitMs` for the first byte,
  // running the event loop meanwhile, then takes whatever has arrived within
  // a further short settling time.
  std::string ReadAvailable(int waitMs = 1000);
  // The far end vanishes: both ends held here are closed, and the near end
  // sees a hang-up.
  void Close();

 private:
  int FMaster = -1;
  int FSlave = -1;
  std::string FSlavePath;
};

// A Hayes modem on a pseudo-terminal, on its own thread. In command mode it
// echoes what it receives (switchable, also by ATE0/ATE1; ATZ restores the
// setting made here), answers every command line with "OK" and the dial
// command (ATD...) after a short dialling time with the dial result. On
// "CONNECT ..." it turns into the host: it sends the login prompt, echoes what
// it receives and answers awaited texts with scripted replies. "+++" in the
// data phase returns to command mode.
class TFakeModem {
 public:
  // How the echo of the dial command reaches the line: as it is typed; in two
  // pieces, "AT" and a little later the rest (as a UART FIFO often delivers
  // it); or held back and sent in one piece with the dial result.
  enum class TDialEcho { AsTyped, Split, WithResult };

  TFakeModem();
  ~TFakeModem();
  TFakeModem(const TFakeModem&) = delete;
  TFakeModem& operator=(const TFakeModem&) = delete;

  const std::string& DevicePath() const { return FLine.SlavePath(); }

  // Settings; make them before the code under test starts talking.
  void SetEcho(bool on);                    // default on
  void SetDialEcho(TDialEcho mode);         // default AsTyped
  void SetDialResult(std::string result);   // default "CONNECT 115200"
  void SetLoginPrompt(std::string prompt);  // default "login: "
  void SetHostEcho(bool on);                // default on
  // When the host has received `awaited` (after the previous awaited text),
  // it sends `reply`. Replies are used in the order they were added.
  void AddHostReply(std::string awaited, std::string reply);

  // Every non-empty command line received in command mode, without its CR.
  std::vector<std::string> Commands() const;
  // Every byte received while the host was connected.
  std::string HostReceived() const;
  bool Connected() const;

  // The host sends bytes now.
  void SendFromHost(std::string bytes);
  // The remote end hangs up: "NO CARRIER", back to command mode.
  void DropCarrier();
  // The modem vanishes: its thread stops and the line is closed.
  void Vanish();

  // Bounded waits that keep the Qt event loop running.
  bool WaitForCommands(size_t count, int timeoutMs = 5000) const;
  bool WaitForHostReceived(std::string_view text, int timeoutMs = 5000) const;

 private:
  using TClock = std::chrono::steady_clock;

  void Run();
  void Wake();
  bool Stopping() const;
  int PollTimeoutMs() const;
  void FlushOutput();
  void ReceiveFromLine(std::string_view bytes);
  void CommandByte(char byte);
  void Command(const std::string& line);
  void HostBytes(std::string_view bytes);
  void EchoCommandByte(char byte);
  void EchoDialCommand(const std::string& line);
  void FinishDial();
  void Reply(std::string_view text);

  TPseudoTerminal FLine;
  int FWake = -1;
  std::thread FThread;

  mutable std::mutex FMutex;  // guards everything below
  bool FStop = false;
  bool FProfileEcho = true;
  bool FEcho = true;
  bool FHostEcho = true;
  bool FConnected = false;
  std::string FDialResult = "CONNECT 115200";
  std::string FLoginPrompt = "login: ";
  std::vector<std::pair<std::string, std::string>> FHostReplies;
  size_t FNextReply = 0;
  size_t FSearchFrom = 0;
  std::string FLineBuffer;
  std::string FOutput;
  std::vector<std::string> FCommands;
  std::string FHostReceived;
  TDialEcho FDialEcho = TDialEcho::AsTyped;
  std::string FLineEcho;  // the echo of the command line, held until its CR
  std::string FHeldEcho;  // the rest of the dial command's echo, sent later
  TClock::time_point FHeldEchoDue;
  bool FDialPending = false;
  TClock::time_point FDialDue;
};
