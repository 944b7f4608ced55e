#include "text/ReplaceFont.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <string_view>

#include "text/Errors.h"
#include "text/LightStrings.h"

namespace {

// The integer in `field`: leading spaces, an optional sign, then digits up
// to the end of the field.
std::optional<int32_t> ReadInteger(std::string_view field) {
  field.remove_prefix(std::min(field.find_first_not_of(' '), field.size()));
  if (field.starts_with('+')) field.remove_prefix(1);
  int32_t value = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (error != std::errc() || end != field.data() + field.size()) return std::nullopt;
  return value;
}

// 1-based columns [first, last] of `line`, cut short where the line ends.
std::string_view Columns(std::string_view line, size_t first, size_t last) {
  return line.substr(std::min(first - 1, line.size()), last - first + 1);
}

bool IsBlank(std::string_view line) {
  for (char c : line) {
    if (static_cast<unsigned char>(c) > 0x20) return false;
  }
  return true;
}

std::optional<TReplaceFont> ParseLine(std::string_view line) {
  const std::optional<int32_t> code = ReadInteger(Columns(line, 1, 5));
  const std::optional<int32_t> replaceCode = ReadInteger(Columns(line, 7, 11));
  if (!code || !replaceCode) return std::nullopt;
  return TReplaceFont{*code, *replaceCode,
                      std::string(line.substr(std::min<size_t>(12, line.size())))};
}

}  // namespace

void TReplaceFontList::LoadFromFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return;
  TLightStrings lines;
  try {
    lines.LoadFromFile(path);
  } catch (const EInOutError&) {
    // An unreadable table must not stop the program; the lines read so far count.
  }
  for (int32_t i = 0; i < lines.Count(); ++i) {
    const std::string_view line = lines.View(i);
    if (IsBlank(line)) continue;
    if (const std::optional<TReplaceFont> entry = ParseLine(line)) Add(*entry);
  }
}

void TReplaceFontList::Add(const TReplaceFont& entry) {
  const auto [present, added] = FEntries.try_emplace(entry.Code, entry);
  if (!added) present->second = entry;
  ++FVersion;
}

void TReplaceFontList::Update(int32_t code, const TReplaceFont& entry) {
  const auto present = FEntries.find(code);
  if (present == FEntries.end()) return;
  present->second = entry;
  ++FVersion;
}

const TReplaceFont& TReplaceFontList::Find(int32_t code) {
  const auto present = FEntries.find(code);
  FResult = present != FEntries.end() ? present->second : TReplaceFont{code, 0, {}};
  return FResult;
}
