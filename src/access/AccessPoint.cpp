#include "access/AccessPoint.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "text/AtomicFile.h"
#include "text/Codec.h"
#include "text/Errors.h"

namespace {

constexpr unsigned char kAbsent = 0xFF;
constexpr size_t kMaxItem = 254;             // the length byte's limit; 255 marks an absent item
constexpr size_t kComputerNameBuffer = 128;  // the name and its terminating zero

struct TFieldItem {
  std::string TAPData::*Field;
  const char* Label;  // names the field in a message
};

// Items 4 to 11 of the plain record, in file order.
constexpr std::array<TFieldItem, 8> kFieldItems{{
    {&TAPData::ID, "ID"},
    {&TAPData::HostName, "ホスト名／電話番号"},
    {&TAPData::Port, "ポート番号／モデム"},
    {&TAPData::Password, "パスワード"},
    {&TAPData::Script, "接続スクリプト"},
    {&TAPData::LogName, "ログファイル名の接頭語"},
    {&TAPData::CityCode, "市外局番"},
    {&TAPData::CountryCode, "国番号"},
}};
constexpr size_t kPrefixItems = 3;

std::string Item(const std::string& bytes) {
  return static_cast<char>(bytes.size()) + bytes;
}

std::string OptionalItem(const std::optional<std::string>& bytes) {
  return bytes ? Item(*bytes) : std::string(1, static_cast<char>(kAbsent));
}

std::optional<std::string> HostComputerName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return std::nullopt;
  return Utf8ToCp932(name);
}

std::optional<std::string> EffectiveUserName() {
  const passwd* entry = getpwuid(geteuid());
  if (entry == nullptr || entry->pw_name == nullptr) return std::nullopt;
  return Utf8ToCp932(entry->pw_name);
}

// Replaces the entry file as a whole with one private to the user.
bool WriteEntryFile(const std::filesystem::path& path, const std::string& line) {
  try {
    WriteFileAtomically(path, line + "\r\n", TFileAccess::Private);
    return true;
  } catch (const EInOutError&) {
    return false;
  }
}

// Reads items from `text`: each is 0xFF (absent) or a length byte and that
// many bytes. A length past the end takes what remains.
class TItemReader {
 public:
  explicit TItemReader(const std::string& text) : FText(text) {}
  bool AtEnd() const { return FPos >= FText.size(); }
  std::string Next() {
    const auto length = static_cast<unsigned char>(FText[FPos++]);
    if (length == kAbsent) return {};
    std::string item = FText.substr(FPos, length);
    FPos += item.size();
    return item;
  }

 private:
  const std::string& FText;
  size_t FPos = 0;
};

}  // namespace

std::string ShownPort(const std::string& port) {
  return port.starts_with("COM") ? port.substr(0, 4) : port;
}

bool IsTelephoneNumber(const std::string& hostName) {
  for (char c : hostName) {
    if (!((c >= '0' && c <= '9') || c == ' ' || c == '#' || c == '*' || c == ',' || c == '-'))
      return false;
  }
  return true;
}

TClockReading LocalClockReading() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,       local.tm_hour,
          local.tm_min,         local.tm_sec,     static_cast<int>(ms)};
}

std::string TCodedString::Encode(const std::string& plain, const TClockReading& now) const {
  const int64_t dateSum = now.Year + now.Month + now.Day + now.Hour + now.Minute + now.Second;
  std::string out;
  out.reserve(plain.size() * 3);
  for (size_t index = 0; index < plain.size(); ++index) {
    const int64_t i = static_cast<int64_t>(index) + 1;
    const int t = static_cast<int>((dateSum * i + now.Millisecond + i) % 8);
    const int c = static_cast<unsigned char>(plain[index]);
    const int q = c / Divisors[t];
    const int r = c % Divisors[t];
    const int bits = q << 8 | t << 5 | r;
    out += static_cast<char>(32 + (bits >> 6));
    out += static_cast<char>(32 + (bits & 63));
    if (r % 5 == 0) {
      out += static_cast<char>(32 + (static_cast<int64_t>(now.Second) * now.Millisecond + i) % 64);
    }
  }
  return out;
}

std::string TCodedString::Decode(const std::string& scrambled) const {
  std::string out;
  size_t i = 0;
  while (i < scrambled.size()) {
    const int high = (static_cast<unsigned char>(scrambled[i]) - 32) & 63;
    const int low =
        i + 1 < scrambled.size() ? (static_cast<unsigned char>(scrambled[i + 1]) - 32) & 63 : 0;
    const int bits = high << 6 | low;
    const int q = bits >> 8;
    const int t = (bits >> 5) & 7;
    const int r = bits & 31;
    out += static_cast<char>((Divisors[t] * q + r) & 0xFF);
    i += r % 5 == 0 ? 3 : 2;
  }
  return out;
}

std::string TCodedString::IntToBin(int v, int n) {
  std::string bits;
  for (int k = 7; k >= 0; --k) bits += (v >> k & 1) ? '1' : '0';
  n = std::clamp(n, 0, 8);
  return bits.substr(8 - n);
}

int TCodedString::BinToInt(const std::string& text) {
  int value = 0;
  for (char c : text) value = value * 2 + (c == '1' ? 1 : 0);
  return value;
}

TAccessPoint::TAccessPoint()
    : ComputerName(HostComputerName), UserName(EffectiveUserName), Clock(LocalClockReading) {}

void TAccessPoint::SetFolder(const std::filesystem::path& folder) {
  FFolder = folder;
  if (!FFolder.empty()) FFolder /= "";
}

// The computer name (asked for with a 128-byte buffer), the user name (asked
// for with a buffer as long as the computer name, so it must be shorter than
// that name) and the folder. The folder is bound by its CP932 bytes, as the
// entry files have always stored it (a character outside CP932 stands as
// "?"); a folder too long for one item is bound by its last 254 bytes.
std::string TAccessPoint::BindingPrefix() const {
  std::optional<std::string> computer = ComputerName ? ComputerName() : std::nullopt;
  if (computer && computer->size() >= kComputerNameBuffer) computer.reset();
  std::optional<std::string> user = computer && UserName ? UserName() : std::nullopt;
  if (user && user->size() >= computer->size()) user.reset();
  const std::string folder = Utf8ToCp932(FFolder.string());
  const size_t folderStart = folder.size() > kMaxItem ? folder.size() - kMaxItem : 0;
  return OptionalItem(computer) + OptionalItem(user) + Item(folder.substr(folderStart));
}

// The file of an entry; none for a name that would leave the folder.
std::optional<std::filesystem::path> TAccessPoint::EntryPath(const std::string& name) const {
  if (name.find_first_of(std::string("/\0", 2)) != std::string::npos) return std::nullopt;
  return FFolder / Cp932ToUtf8(name + ".ap");
}

void TAccessPoint::Say(const std::string& name, const char* what) const {
  if (ShowMessage) ShowMessage(Cp932ToUtf8(name) + what);
}

bool TAccessPoint::Save(const std::string& name, const TAPData& record) {
  for (const TFieldItem& item : kFieldItems) {
    if ((record.*item.Field).size() > kMaxItem) {
      if (ShowMessage) {
        ShowMessage(Cp932ToUtf8(name) + "のデータが作成できませんでした。" + item.Label +
                    "が長すぎます（254バイトまで）。");
      }
      return false;
    }
  }
  std::string plain = BindingPrefix();
  for (const TFieldItem& item : kFieldItems) {
    const std::string& field = record.*item.Field;
    plain += field.empty() ? std::string(1, static_cast<char>(kAbsent)) : Item(field);
  }
  const std::string line = TCodedString().Encode(plain, Clock ? Clock() : LocalClockReading());

  const std::optional<std::filesystem::path> path = EntryPath(name);
  if (!path || !WriteEntryFile(*path, line)) {
    Say(name, "のデータが作成できませんでした。");
    return false;
  }
  return true;
}

bool TAccessPoint::Load(const std::string& name, TAPData& record) {
  const std::optional<std::filesystem::path> path = EntryPath(name);
  std::string line;
  bool found = false;
  if (path) {
    std::ifstream file(*path, std::ios::binary);
    found = file.is_open() && file.peek() != std::ifstream::traits_type::eof();
    if (found) std::getline(file, line, '\n');
    found = found && !file.bad();
  }
  if (!found) {
    Say(name, "のデータが見つかりません。");
    return false;
  }
  line = line.substr(0, line.find('\r'));

  std::string plain = TCodedString().Decode(line);
  const std::string prefix = BindingPrefix();
  const bool bound = plain.starts_with(prefix);
  size_t firstItem = 0;
  if (bound) {
    plain.erase(0, prefix.size());
    firstItem = kPrefixItems;
  }
  TItemReader reader(plain);
  for (size_t n = firstItem; n < kPrefixItems + kFieldItems.size() && !reader.AtEnd(); ++n) {
    std::string value = reader.Next();
    if (n < kPrefixItems) continue;
    const TFieldItem& item = kFieldItems[n - kPrefixItems];
    if (item.Field == &TAPData::Password && !bound) continue;
    record.*item.Field = std::move(value);
  }
  return true;
}

bool TAccessPoint::Delete(const std::string& name) {
  if (!Confirm || !Confirm(Cp932ToUtf8(name) + "のデータを削除してもよろしいですか？"))
    return false;
  if (const std::optional<std::filesystem::path> path = EntryPath(name)) {
    std::error_code error;
    std::filesystem::remove(*path, error);
    if (error) {
      Say(name, "のデータが削除できませんでした。");
      return false;
    }
  }
  if (OnDelete) OnDelete(*this, name, 1);
  return true;
}
