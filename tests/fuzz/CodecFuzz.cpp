// The CP932 codec: any bytes decode to valid UTF-8 of at most three bytes per
// byte, and one round trip settles the text: encoding what it decodes to gives
// the same CP932 bytes again. Any UTF-8 input (valid or not) encodes without
// fault.

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "text/Codec.h"

namespace {

// Well-formed UTF-8: shortest forms, no surrogates, nothing past U+10FFFF.
bool IsValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3
                        : lead < 0xF5 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = TFuzzInput(data, size).Rest();
  const std::string utf8 = Cp932ToUtf8(bytes);
  FUZZ_CHECK(IsValidUtf8(utf8));
  FUZZ_CHECK(utf8.size() <= 3 * bytes.size());
  const std::string settled = Utf8ToCp932(utf8);
  FUZZ_CHECK(Utf8ToCp932(Cp932ToUtf8(settled)) == settled);
  Utf8ToCp932(bytes);
  return 0;
}
