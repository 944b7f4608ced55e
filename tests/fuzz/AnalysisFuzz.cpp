// Line analysis and normalisation on any bytes: a line without a class has no
// fields; the position map has one entry per normalised byte plus one, rising
// within the source; normalising twice changes nothing more; trimming gives a
// piece of the text; IsTrailByte answers inside the text and raises outside.

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "text/Analysis.h"

namespace {

void CheckAnalysis(const std::string& line) {
  TAnalysis analysis;
  if (analysis.Analyze(line) == lkNone) {
    FUZZ_CHECK(analysis.ID.empty() && analysis.Handle.empty() && analysis.Job.empty() &&
               analysis.Channel.empty());
  }
}

void CheckNormalisation(const std::string& text) {
  TPositionMap map;
  const std::string normal = NormalizeTextMap(text, map);
  FUZZ_CHECK(normal == NormalizeText(text));
  FUZZ_CHECK(map.size() == normal.size() + 1);
  for (size_t i = 0; i < map.size(); ++i) {
    FUZZ_CHECK(map[i] >= 1 && map[i] <= text.size() + 1);
    FUZZ_CHECK(i == 0 || map[i - 1] <= map[i]);
  }
  FUZZ_CHECK(NormalizeText(normal) == normal);
}

void CheckTrailBytes(const std::string& text) {
  const int length = static_cast<int>(text.size());
  for (int p = 1; p <= length; ++p) IsTrailByte(text, p);
  for (int p : {0, length + 1}) {
    bool raised = false;
    try {
      IsTrailByte(text, p);
    } catch (const EIllegalIndex&) {
      raised = true;
    }
    FUZZ_CHECK(raised);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = TFuzzInput(data, size).Rest();
  CheckAnalysis(text);
  CheckNormalisation(text);
  CheckTrailBytes(text);
  const std::string trimmed = TrimWide(text);
  FUZZ_CHECK(text.find(trimmed) != std::string::npos);
  IsUserID(text);
  IsJobNumber(text);
  IsChannelName(text);
  return 0;
}
