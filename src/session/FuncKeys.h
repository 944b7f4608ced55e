#pragma once
// The function key texts: F1 to F12 in three banks (plain, with Shift, with
// Ctrl), kept in "FuncKey.txt" one text per line. Entries 0-11 are F1-F12,
// 12-23 Shift+F1 to Shift+F12, 24-35 Ctrl+F1 to Ctrl+F12; entries beyond 36
// are kept and saved but no key uses them.

#include <optional>
#include <string>
#include <vector>

inline constexpr char FuncKeyFileName[] = "FuncKey.txt";

// The bank that a modifier state selects: Shift alone 1, Ctrl alone 2,
// anything else (none, Alt, several) 0.
int FuncKeyBank(bool shift, bool alt, bool ctrl);

// The horizontal place of the button at position (0-11) in a bar of the given
// width: the buttons fill the bar without gaps, the first (width mod 12) of
// them one pixel wider than the rest.
struct TButtonSpan {
  int Left;
  int Width;
};
TButtonSpan FuncButtonSpan(int barWidth, int position);

class TFuncKeys {
 public:
  static constexpr int KeysPerBank = 12;
  static constexpr std::size_t MinCount = 36;

  // 36 empty texts.
  TFuncKeys();

  // The texts; at least MinCount after construction and after loading.
  std::vector<std::string> Texts;

  // Replaces the texts by the lines of the file when it exists (lines end at
  // CR LF, CR or LF; 0x1A ends the file), then pads to MinCount. A file that
  // cannot be read raises EInOutError and leaves the texts as they were.
  void LoadFromFile(const std::string& fileName);
  // Writes every text followed by CR LF, replacing the file; EInOutError on failure.
  void SaveToFile(const std::string& fileName);
  // The texts differ from those last loaded or saved, or no file was there:
  // only then is the file written, so that what the texts do not hold (bytes
  // after 0x1A, LF line ends) is never lost to a save of the same texts.
  bool Changed() const;

  // The modifier state last seen by a key-down or key-up; selects the bank.
  void SetShiftState(bool shift, bool alt, bool ctrl);
  int Bank() const { return FBank; }

  // The caption of the button at position (0-11) in the current bank: its
  // text, or empty when the list is shorter.
  std::string Caption(int position) const;
  // The text that the button at position inserts in the current bank;
  // nothing when the index lies outside the list.
  std::optional<std::string> KeyText(int position) const;

 private:
  void PadToMinCount();

  int FBank = 0;
  // The texts as the file holds them; empty while no file was read or saved.
  std::optional<std::vector<std::string>> FStored;
};
