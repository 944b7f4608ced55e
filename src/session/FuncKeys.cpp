#include "session/FuncKeys.h"

#include <algorithm>
#include <filesystem>

#include "text/LightStrings.h"

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
    TLightStrings lines;
    lines.LoadFromFile(fileName);
    lines.AssignTo(Texts);
  }
  PadToMinCount();
}

void TFuncKeys::SaveToFile(const std::string& fileName) const {
  TLightStrings lines;
  lines.Assign(Texts);
  lines.SaveToFile(fileName);
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
