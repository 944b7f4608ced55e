#include "view/Motion.h"

#include <algorithm>
#include <optional>

namespace {

constexpr char SectionMark = '\x01';

bool IsCommand(char c) {
  return c >= '\x02' && c <= '\x07';
}

// The frame text padded with spaces to `width` bytes.
std::string Padded(std::string frame, int width) {
  if (static_cast<int>(frame.size()) < width) frame.resize(static_cast<size_t>(width), ' ');
  return frame;
}

// Collects frames while the section's bytes are walked.
class TFrameCollector {
 public:
  // A frame boundary made by `command` at 0-based `pos` of `text`.
  void Boundary(std::string_view text, size_t pos) {
    if (current_.empty()) {
      // Nothing new since the last boundary: hold the last frame once more.
      frames_.push_back(frames_.empty() ? std::string() : frames_.back());
      return;
    }
    if (deleteRun_ == 0) frames_.push_back(current_);
    widest_ = std::max(widest_, static_cast<int>(current_.size()));
    Act(text, pos);
  }
  void Append(char c) { current_ += c; }
  std::vector<std::string> TakeFrames() { return std::move(frames_); }
  int Widest() const { return widest_; }

 private:
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
  int widest_ = 0;
  int deleteRun_ = 0;
};

}  // namespace

TMotion ParseMotion(std::string& text) {
  // A section needs its opening and its closing byte.
  const size_t first = text.find(SectionMark);
  if (first == std::string::npos || text.find(SectionMark, first + 1) == std::string::npos)
    return {};
  TFrameCollector collector;
  std::optional<size_t> open;
  std::optional<size_t> close;
  for (size_t pos = 0; pos < text.size() && !close; ++pos) {
    const char c = text[pos];
    if (c == SectionMark && !open) {
      open = pos;
    } else if (c == SectionMark || IsCommand(c)) {
      collector.Boundary(text, pos);
      if (c == SectionMark) close = pos;
    } else if (open) {
      collector.Append(c);
    }
  }
  if (!close) return {};
  TMotion motion;
  motion.Width = collector.Widest();
  motion.Frames = collector.TakeFrames();
  motion.Start = static_cast<int>(*open) + 1;
  motion.Frame = 1;
  text =
      text.substr(0, *open) + Padded(motion.Frames.front(), motion.Width) + text.substr(*close + 1);
  return motion;
}

std::string NextMotionFrame(std::string_view line, TMotion& motion) {
  motion.Frame = motion.Frame >= static_cast<int>(motion.Frames.size()) ? 1 : motion.Frame + 1;
  const size_t start = std::min(line.size(), static_cast<size_t>(motion.Start - 1));
  const size_t after = std::min(line.size(), start + static_cast<size_t>(motion.Width));
  return std::string(line.substr(0, start)) +
         Padded(motion.Frames[static_cast<size_t>(motion.Frame - 1)], motion.Width) +
         std::string(line.substr(after));
}
