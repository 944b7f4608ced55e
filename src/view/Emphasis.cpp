#include "view/Emphasis.h"

#include "text/Analysis.h"
#include "text/Codec.h"

std::vector<TByteSpan> FindAccentSpans(std::string_view line,
                                       const std::vector<std::string>& words) {
  std::vector<TByteSpan> spans;
  TPositionMap map;
  const std::string normalised = NormalizeTextMap(line, map);
  for (const std::string& word : words) {
    if (word.empty() || word.size() > normalised.size()) continue;
    size_t pos = 0;
    while (pos + word.size() <= normalised.size()) {
      if (normalised.compare(pos, word.size(), word) == 0)
        spans.push_back({map[pos] - 1, map[pos + word.size()] - 1});
      pos += IsLeadByte(static_cast<unsigned char>(normalised[pos])) ? 2 : 1;
    }
  }
  return spans;
}
