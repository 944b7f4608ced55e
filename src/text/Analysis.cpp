#include "text/Analysis.h"

TLineKind TAnalysis::Analyze(std::string_view) {
  ID.clear();
  Handle.clear();
  Job.clear();
  Channel.clear();
  return lkNone;
}

std::string NormalizeText(std::string_view S) { return std::string(S); }

std::string NormalizeTextMap(std::string_view S, TPositionMap& Map) {
  Map.clear();
  for (size_t i = 0; i <= S.size(); ++i) Map.push_back(static_cast<uint32_t>(i + 1));
  return std::string(S);
}

std::string TrimWide(std::string_view S) { return std::string(S); }

bool IsTrailByte(std::string_view S, int P) {
  if (P < 1 || static_cast<size_t>(P) > S.size()) throw EIllegalIndex();
  return false;
}

bool IsUserID(std::string_view) { return false; }
bool IsJobNumber(std::string_view) { return false; }
bool IsChannelName(std::string_view) { return false; }
