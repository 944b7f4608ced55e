#include "view/Motion.h"

#include <algorithm>
#include <climits>

#include "view/LineFolder.h"

namespace {

// Frames kept per section: a section that repeats a long frame many times
// would otherwise take memory in proportion to the square of its length.
constexpr size_t MostFrameBytes = 64 * 1024;

// The frame text padded with spaces to `width` bytes.
std::string Padded(std::string frame, int width) {
  if (static_cast<int>(frame.size()) < width) frame.resize(static_cast<size_t>(width), ' ');
  return frame;
}

// Collects frames while the section's bytes are walked.
class TFrameCollector {
 public:
  // A frame boundary made by the command at `pos` of `text`.
  void Boundary(std::string_view text, size_t pos) {
    if (current_.empty()) {
      // Nothing new since the last boundary: hold the last frame once more.
      Keep(frames_.empty() ? std::string() : frames_.back());
      return;
    }
    if (deleteRun_ == 0) Keep(current_);
    widest_ = std::max(widest_, static_cast<int>(current_.size()));
    Act(text, pos);
  }
  void Append(char c) { current_ += c; }
  std::vector<std::string> TakeFrames() { return std::move(frames_); }
  int Widest() const { return widest_; }

 private:
  void Keep(const std::string& frame) {
    if (!frames_.empty() && kept_ + frame.size() > MostFrameBytes) return;
    kept_ += frame.size();
    frames_.push_back(frame);
  }

  void Act(std::string_view text, size_t pos) {
    switch (text[pos]) {
      case '\x02':
      case '\x07':
        current_.clear();
        break;
      case '\x04':
        // A run of 0x04 is one boundary that deletes one byte per 0x04.
        ++deleteRun_;
        if (pos + 1 < text.size() && text[pos + 1] != '\x04') {
          current_.resize(current_.size() - std::min(current_.size(), size_t(deleteRun_)));
          deleteRun_ = 0;
        }
        break;
      case '\x05':
        current_.assign(current_.size(), ' ');
        break;
      default:  // 0x03, 0x06 and the closing 0x01 continue from the current text
        break;
    }
  }

  std::string current_;
  std::vector<std::string> frames_;
  size_t kept_ = 0;
  int widest_ = 0;
  int deleteRun_ = 0;
};

}  // namespace

TMotion ParseSection(std::string_view section, size_t held) {
  TFrameCollector collector;
  for (size_t i = 0; i < held; ++i) collector.Boundary(section, 0);
  for (size_t pos = 1; pos < section.size(); ++pos) {
    const char c = section[pos];
    if (c == MotionSectionMark || IsMotionCommand(c))
      collector.Boundary(section, pos);
    else
      collector.Append(c);
  }
  TMotion motion;
  motion.Width = collector.Widest();
  motion.Frames = collector.TakeFrames();
  motion.Frame = 1;
  return motion;
}

std::string PaddedFrame(const TMotion& motion) {
  return Padded(motion.Frames[static_cast<size_t>(motion.Frame - 1)], motion.Width);
}

TMotion ParseMotion(std::string& text) {
  TLineFolder folder(std::move(text), INT_MAX, true);
  TStoredPiece piece = folder.Next();
  text = std::move(piece.Text);
  return std::move(piece.Motion);
}

std::string NextMotionFrame(std::string_view line, TMotion& motion) {
  motion.Frame = motion.Frame >= static_cast<int>(motion.Frames.size()) ? 1 : motion.Frame + 1;
  const size_t start = std::min(line.size(), static_cast<size_t>(motion.Start - 1));
  const size_t after = std::min(line.size(), start + static_cast<size_t>(motion.Width));
  return std::string(line.substr(0, start)) + PaddedFrame(motion) +
         std::string(line.substr(after));
}
