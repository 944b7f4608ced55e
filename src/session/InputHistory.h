#pragma once
// The history of the input line: the lines the user has sent, newest first,
// at most 20. Duplicates are kept.

#include <string>
#include <vector>

class TInputHistory {
 public:
  static constexpr std::size_t MaxCount = 20;

  // Puts line at the top; the oldest line falls off beyond MaxCount.
  void Add(const std::string& line);
  void Clear() { FLines.clear(); }
  // Newest first.
  const std::vector<std::string>& Lines() const { return FLines; }

 private:
  std::vector<std::string> FLines;
};
