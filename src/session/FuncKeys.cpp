#include "session/FuncKeys.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "text/Errors.h"
#include "text/LightStrings.h"

namespace {

std::string ReadFileBytes(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw EInOutError(std::strerror(errno), errno);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw EInOutError(std::strerror(EIO), EIO);
  return bytes;
}

// The lines up to the first 0x1A; CR LF, CR and LF each end a line.
std::vector<std::string> FuncKeyLines(std::string_view text) {
  text = text.substr(0, text.find('\x1A'));
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
    lines.emplace_back(text.substr(0, end));
    std::size_t next = end + 1;
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++next;
    text.remove_prefix(std::min(next, text.size()));
  }
  return lines;
}

}  // namespace

int FuncKeyBank(bool shift, bool alt, bool ctrl) {
  if (shift && !alt && !ctrl) return 1;
  if (ctrl && !alt && !shift) return 2;
  return 0;
}

TButtonSpan FuncButtonSpan(int barWidth, int position) {
  const int width = barWidth / TFuncKeys::KeysPerBank;
  const int wider = barWidth % TFuncKeys::KeysPerBank;
  const int left = position * width + std::min(position, wider);
  return {left, position < wider ? width + 1 : width};
}

TFuncKeys::TFuncKeys() : Texts(MinCount) {}

void TFuncKeys::LoadFromFile(const std::string& fileName) {
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::path(fileName), error)) {
    // Until the file is read whole, a save of these texts would replace it.
    FStored = Texts;
    Texts = FuncKeyLines(ReadFileBytes(fileName));
  }
  PadToMinCount();
  if (FStored) FStored = Texts;
}

void TFuncKeys::SaveToFile(const std::string& fileName) {
  TLightStrings lines;
  lines.Assign(Texts);
  lines.SaveToFile(fileName);
  FStored = Texts;
}

bool TFuncKeys::Changed() const {
  return !FStored || *FStored != Texts;
}

void TFuncKeys::PadToMinCount() {
  if (Texts.size() < MinCount) Texts.resize(MinCount);
}

void TFuncKeys::SetShiftState(bool shift, bool alt, bool ctrl) {
  FBank = FuncKeyBank(shift, alt, ctrl);
}

std::optional<std::string> TFuncKeys::KeyText(int position) const {
  const std::size_t index = static_cast<std::size_t>(FBank * KeysPerBank + position);
  if (position < 0 || index >= Texts.size()) return std::nullopt;
  return Texts[index];
}

std::string TFuncKeys::Caption(int position) const {
  return KeyText(position).value_or("");
}
