// The motion parser: a closed section is replaced by its first frame padded
// to the widest frame, the rest of the line untouched; stepping through every
// frame keeps the line's length and comes back to the first frame.

#include <algorithm>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "view/Motion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string original = TFuzzInput(data, size).Rest();
  std::string text = original;
  TMotion motion = ParseMotion(text);
  const size_t open = original.find('\x01');
  const size_t close = open == std::string::npos ? open : original.find('\x01', open + 1);
  if (close == std::string::npos) {
    FUZZ_CHECK(motion.Empty() && text == original);
    return 0;
  }
  FUZZ_CHECK(!motion.Empty() && motion.Frame == 1);
  FUZZ_CHECK(motion.Start == static_cast<int>(open) + 1);
  for (const std::string& frame : motion.Frames)
    FUZZ_CHECK(static_cast<int>(frame.size()) <= motion.Width);
  FUZZ_CHECK(text.compare(0, open, original, 0, open) == 0);
  FUZZ_CHECK(text.substr(open + motion.Width) == original.substr(close + 1));

  std::string line = text;
  for (size_t step = 0; step < std::min<size_t>(motion.Frames.size(), 256); ++step) {
    line = NextMotionFrame(line, motion);
    FUZZ_CHECK(line.size() == text.size());
  }
  if (motion.Frames.size() <= 256) FUZZ_CHECK(line == text && motion.Frame == 1);
  return 0;
}
