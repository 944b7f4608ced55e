// The line assembler against its model: blocks cut at points the input
// chooses give lines with neither CR nor LF, and the lines joined by CR, then
// the pending text, are the whole input without its LF bytes.

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "text/LineAssembler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput input(data, size);
  std::string buffer, line, joined, whole;
  while (!input.AtEnd()) {
    const std::string block = input.Text();
    whole += block;
    AppendBlock(buffer, block);
    while (!HasNoLine(buffer)) {
      TakeLine(buffer, line);
      FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
      joined += line + '\r';
    }
  }
  std::string pending;
  PendingText(buffer, pending);
  FUZZ_CHECK(pending.find_first_of("\r\n") == std::string::npos);
  FUZZ_CHECK(joined + pending == WithoutLineFeeds(whole));
  return 0;
}
