// The line store's text forms: lines read from comma text or from plain text
// come back unchanged when written out and read in again. Comma text has no
// escape for a double quote and ends at a CR or NUL, and a final empty line
// leaves only a final comma, so those lines are outside its round trip.

#include <vector>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "text/LightStrings.h"

namespace {

std::vector<std::string> Lines(const TLightStrings& store) {
  std::vector<std::string> lines;
  store.AssignTo(lines);
  return lines;
}

bool FitsCommaText(const std::vector<std::string>& lines) {
  for (const std::string& line : lines)
    if (line.find_first_of(std::string("\"\r\0", 3)) != std::string::npos) return false;
  return lines.empty() || !lines.back().empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = TFuzzInput(data, size).Rest();
  TLightStrings store, again;

  store.SetCommaText(text);
  again.SetCommaText(store.GetCommaText());
  FUZZ_CHECK(Lines(again) == Lines(store) || !FitsCommaText(Lines(store)));

  store.SetText(text);
  again.SetText(store.GetText());
  FUZZ_CHECK(Lines(again) == Lines(store));
  return 0;
}
