#pragma once
// Line animation: a section of a received line, between two bytes 0x01,
// holds frames separated by command bytes 0x02 to 0x07. The view shows the
// frames one after another in place of the section.

#include <string>
#include <string_view>
#include <vector>

// Opens and closes a section.
inline constexpr char MotionSectionMark = '\x01';

// The bytes 0x02 to 0x07: frame boundaries with their actions.
inline bool IsMotionCommand(char c) {
  return c >= '\x02' && c <= '\x07';
}

// The animation state of one stored line. Empty (no frames) for a line
// without animation.
struct TMotion {
  int Start = 0;  // 1-based byte index in the stored line where the region begins
  int Width = 0;  // the region's length in bytes (the widest frame)
  int Frame = 0;  // the frame shown, 1-based
  std::vector<std::string> Frames;

  bool Empty() const { return Frames.empty(); }
};

// The frames of `section`, which runs from its opening 0x01 to its closing
// one; `held` command bytes before the opening each add an empty frame
// first. The motion shows frame 1; its Start is left to the caller. Frames
// beyond a bounded total size are dropped.
TMotion ParseSection(std::string_view section, size_t held);

// The frame shown, padded with spaces to the region's width.
std::string PaddedFrame(const TMotion& motion);

// Looks for a closed section in `text`. When there is one, replaces it by its
// first frame padded with spaces to the widest frame's width and returns the
// motion showing frame 1; otherwise leaves `text` unchanged and returns an
// empty motion (an unclosed section keeps its control bytes).
TMotion ParseMotion(std::string& text);

// Advances `motion` to its next frame (after the last comes the first) and
// returns `line` with that frame written into the region.
std::string NextMotionFrame(std::string_view line, TMotion& motion);
