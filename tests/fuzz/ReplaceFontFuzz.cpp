// "Replace.txt" from any bytes: loading keeps at most one entry per line, and
// every entry is found under the code it was loaded for.

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "support/TempFolder.h"
#include "text/LightStrings.h"
#include "text/ReplaceFont.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TTempFolder folder;
  const std::string path = folder / "Replace.txt";
  WriteFileBytes(path, TFuzzInput(data, size).Rest());

  TReplaceFontList fonts;
  fonts.LoadFromFile(path);
  TLightStrings lines;
  lines.LoadFromFile(path);
  FUZZ_CHECK(fonts.Count() <= lines.Count());
  for (int32_t code = 0; code <= 0xFFFF && fonts.Count() > 0; code += 0x101)
    FUZZ_CHECK(fonts.Find(code).Code == code);
  return 0;
}
