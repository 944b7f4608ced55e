#include "session/InputHistory.h"

void TInputHistory::Add(const std::string& line) {
  FLines.insert(FLines.begin(), line);
  if (FLines.size() > MaxCount) FLines.pop_back();
}
