// ".ap" loading from any file content, then the loaded entry saved and loaded
// again at a clock the input chooses: the second load gives exactly what was
// saved, the password included, since the same machine and folder wrote it.

#include "access/AccessPoint.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "support/TempFolder.h"

namespace {

// A reading of the clock within its real ranges.
TClockReading ClockFrom(TFuzzInput& input) {
  return {1980 + input.Below(120), 1 + input.Below(12), 1 + input.Below(31), input.Below(24),
          input.Below(60),         input.Below(60),     input.Word() % 1000};
}

TAccessPoint FixedMachine(const std::string& folder, const TClockReading& clock) {
  TAccessPoint access;
  access.SetFolder(folder);
  access.ComputerName = [] { return std::string("fuzzhost"); };
  access.UserName = [] { return std::string("fuzz"); };
  access.Clock = [clock] { return clock; };
  return access;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TTempFolder folder;
  TFuzzInput input(data, size);
  TAccessPoint access = FixedMachine(folder.Path(), ClockFrom(input));
  WriteFileBytes(folder / "entry.ap", input.Rest());

  TAPData loaded;
  if (!access.Load("entry", loaded)) return 0;
  FUZZ_CHECK(access.Save("entry", loaded));
  TAPData reloaded;
  FUZZ_CHECK(access.Load("entry", reloaded));
  FUZZ_CHECK(reloaded == loaded);
  return 0;
}
