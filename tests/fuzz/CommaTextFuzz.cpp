// The line store's text forms: lines read from comma text or from plain text
// come back unchanged when written out and read in again.

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = TFuzzInput(data, size).Rest();
  TLightStrings store, again;

  store.SetCommaText(text);
  again.SetCommaText(store.GetCommaText());
  FUZZ_CHECK(Lines(again) == Lines(store));

  store.SetText(text);
  again.SetText(store.GetText());
  FUZZ_CHECK(Lines(again) == Lines(store));
  return 0;
}
