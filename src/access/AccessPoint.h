#pragma once
// An access list entry and its file: the entry "name" lives in Folder +
// name + ".ap" as one scrambled line. The password is bound to the machine,
// the user and the folder that wrote it; every other field always loads.
// The scrambling is reversible from the file alone, so entry files are
// private to their owner (0600).

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// One access list entry; every field holds CP932 bytes.
struct TAPData {
  std::string ID;           // $I of a login script
  std::string Password;     // $P of a login script
  std::string HostName;     // a host for telnet, or a telephone number
  std::string Port;         // TCP port, serial modem settings or modem name
  std::string Script;       // the login script
  std::string LogName;      // prefix of the log file names
  std::string CityCode;     // area code for telephony dialing
  std::string CountryCode;  // country code for telephony dialing

  bool operator==(const TAPData&) const = default;
};

// True when every byte of `hostName` is a digit, a space, "#", "*", "," or
// "-" (the empty text included): the entry dials a modem instead of telnet.
bool IsTelephoneNumber(const std::string& hostName);

// The port as the window shows it and the transports read it: a serial
// modem's settings cut to "COMn", any other port text unchanged.
std::string ShownPort(const std::string& port);

// The local date and time, read once per encoding.
struct TClockReading {
  int Year, Month, Day, Hour, Minute, Second, Millisecond;
};
TClockReading LocalClockReading();

// Scrambles a byte string into printable bytes 0x20-0x5F and back. Each byte
// becomes two bytes, or three when its remainder is a multiple of 5; the
// divisor chosen per byte depends on the time, so one text scrambles
// differently each time.
class TCodedString {
 public:
  std::array<int32_t, 8> Divisors{23, 25, 26, 27, 28, 29, 30, 31};

  std::string Encode(const std::string& plain, const TClockReading& now) const;
  std::string Encode(const std::string& plain) const { return Encode(plain, LocalClockReading()); }
  // Never fails: damaged input decodes to some bytes.
  std::string Decode(const std::string& scrambled) const;

  // The last n characters of the 8-digit base-2 form of v (0-255).
  static std::string IntToBin(int v, int n);
  // The value of a text of "0" and "1" characters read as base 2.
  static int BinToInt(const std::string& text);
};

class TAccessPoint {
 public:
  TAccessPoint();

  // Reads the entry into `record` (the caller passes an empty one). A
  // missing or empty file shows a message and returns false.
  bool Load(const std::string& name, TAPData& record);
  // Writes the entry, replacing its file as a whole with a file private to
  // the user. A field longer than 254 bytes, or a file that cannot be
  // written, shows a message, leaves the old file as it was and returns
  // false.
  bool Save(const std::string& name, const TAPData& record);
  // Asks first; deletes the file and raises OnDelete with kind 1. False when
  // the user declines or the file cannot be removed.
  bool Delete(const std::string& name);

  const std::filesystem::path& Folder() const { return FFolder; }
  // The access list folder, a path as the file system names it; a final "/"
  // is added when missing.
  void SetFolder(const std::filesystem::path& folder);

  // Raised after an entry was deleted, with kind 1 (kind 0, "add the name",
  // is the handler's other case and is not raised here).
  std::function<void(TAccessPoint& sender, const std::string& name, int kind)> OnDelete;
  // Shows a UTF-8 message; empty = dropped.
  std::function<void(const std::string& utf8Text)> ShowMessage;
  // Asks a Yes/No question in UTF-8; true for Yes. Empty = No.
  std::function<bool(const std::string& utf8Text)> Confirm;

  // Sources of the binding and of the scrambling; tests replace them.
  std::function<std::optional<std::string>()> ComputerName;
  std::function<std::optional<std::string>()> UserName;
  std::function<TClockReading()> Clock;

 private:
  std::string BindingPrefix() const;
  std::optional<std::filesystem::path> EntryPath(const std::string& name) const;
  void Say(const std::string& name, const char* what) const;

  std::filesystem::path FFolder;
};
