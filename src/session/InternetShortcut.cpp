#include "session/InternetShortcut.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "text/Codec.h"
#include "text/Errors.h"
#include "text/LightStrings.h"

const char* const InternetShortcutFailedMessage = "ｲﾝﾀｰﾈｯﾄｼｮｰﾄｶｯﾄが作成できませんでした";

namespace {

constexpr std::string_view kSection = "[InternetShortcut]";
constexpr std::string_view kUrlKey = "URL";
constexpr std::string_view kRemovedFromName = "*./:<>?\\~";

bool IsTrailByte(unsigned char c) {
  return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

// The link text without the bytes a file name may not hold, control bytes
// included. "\" and "~" can be the second byte of a double-byte character;
// such a pair is kept whole.
std::string ShortcutName(const std::string& linkText) {
  std::string name;
  for (size_t i = 0; i < linkText.size(); ++i) {
    const auto c = static_cast<unsigned char>(linkText[i]);
    if (IsLeadByte(c) && i + 1 < linkText.size() &&
        IsTrailByte(static_cast<unsigned char>(linkText[i + 1]))) {
      name.append(linkText, i, 2);
      ++i;
    } else if (c >= 0x20 && c != 0x7F &&
               kRemovedFromName.find(static_cast<char>(c)) == std::string_view::npos) {
      name += static_cast<char>(c);
    }
  }
  return name;
}

std::filesystem::path ShortcutPath(const std::filesystem::path& folder,
                                   const std::string& linkText) {
  return folder / Cp932ToUtf8(ShortcutName(linkText) + ".url");
}

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

// The value of a "key=value" line when its key is `key`.
std::optional<std::string_view> ValueOf(std::string_view line, std::string_view key) {
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos || !EqualsIgnoringCase(Trimmed(line.substr(0, equals)), key))
    return std::nullopt;
  return Trimmed(line.substr(equals + 1));
}

}  // namespace

bool SaveInternetShortcut(const std::filesystem::path& folder, uint8_t linkKind,
                          const std::string& linkText,
                          const std::function<void(const std::string& utf8Text)>& showMessage) {
  if (linkKind != 1 && linkKind != 2) return false;
  TLightStrings lines;
  lines.Add(kSection);
  lines.Add((linkKind == 2 ? "URL=mailto:" : "URL=") + linkText);
  try {
    lines.SaveToFile(ShortcutPath(folder, linkText).string());
  } catch (const EInOutError&) {
    if (showMessage) showMessage(InternetShortcutFailedMessage);
    return false;
  }
  return true;
}

std::optional<std::string> ReadInternetShortcutUrl(const std::filesystem::path& fileName) {
  std::ifstream file(fileName, std::ios::binary);
  if (!file) return std::nullopt;
  TLightStrings lines;
  lines.LoadFromStream(file);
  bool inSection = false;
  for (int32_t i = 0; i < lines.Count(); ++i) {
    const std::string_view line = Trimmed(lines.View(i));
    if (line.starts_with('[')) {
      inSection = EqualsIgnoringCase(line, kSection);
    } else if (inSection) {
      const std::optional<std::string_view> url = ValueOf(line, kUrlKey);
      if (url && !url->empty()) return std::string(*url);
    }
  }
  return std::nullopt;
}
