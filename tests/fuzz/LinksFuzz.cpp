// Link scanning: links come in order without overlap, a URL starts with its
// scheme, a mail address holds an "@", and no link holds a delimiter.

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "view/Links.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = TFuzzInput(data, size).Rest();
  size_t previousEnd = 0;
  for (const TLinkSpan& link : ScanLinks(text)) {
    FUZZ_CHECK(previousEnd <= link.Begin && link.Begin < link.End && link.End <= text.size());
    const std::string_view body = std::string_view(text).substr(link.Begin, link.End - link.Begin);
    for (char c : body) FUZZ_CHECK(!IsDelimiter(static_cast<unsigned char>(c)));
    if (link.Kind == lkUrl) FUZZ_CHECK(StartsWithLinkScheme(text, link.Begin));
    else FUZZ_CHECK(link.Kind == lkMailAddress && body.find('@') != std::string_view::npos);
    previousEnd = link.End;
  }
  return 0;
}
