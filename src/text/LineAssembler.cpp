#include "text/LineAssembler.h"

#include <algorithm>

#include "text/Codec.h"

namespace {
constexpr char CR = '\r';
constexpr char LF = '\n';

// The length of the piece cut from a line that starts at start: kMaxLineLength
// bytes, one fewer when the last of them is the lead byte of a character.
std::size_t CutLength(const std::string& buffer, std::size_t start) {
  std::size_t pos = start;
  const std::size_t end = start + kMaxLineLength;
  while (pos < end) pos += IsLeadByte(static_cast<unsigned char>(buffer[pos])) ? 2 : 1;
  return pos > end ? kMaxLineLength - 1 : kMaxLineLength;
}

}  // namespace

std::string WithoutLineFeeds(std::string_view text) {
  std::string result;
  AppendBlock(result, text);
  return result;
}

// The runs between LF bytes are appended whole.
void AppendBlock(std::string& buffer, std::string_view block) {
  buffer.reserve(buffer.size() + block.size());
  for (std::size_t pos = 0; pos < block.size();) {
    const std::size_t end = std::min(block.find(LF, pos), block.size());
    buffer.append(block.substr(pos, end - pos));
    pos = end + 1;
  }
}

bool HasNoLine(const std::string& buffer) {
  return buffer.find(CR) == std::string::npos;
}

void TakeLine(std::string& buffer, std::string& line) {
  const std::size_t end = buffer.find(CR);
  if (end == std::string::npos) {
    line.clear();
    return;
  }
  line.assign(buffer, 0, end);
  buffer.erase(0, end + 1);
}

void PendingText(const std::string& buffer, std::string& text) {
  text = buffer;
}

std::vector<std::string> TakeLines(std::string& buffer, std::size_t scanFrom) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t end = buffer.find(CR, scanFrom);
  for (;;) {
    const std::size_t stop = end == std::string::npos ? buffer.size() : end;
    if (stop - start > kMaxLineLength) {
      const std::size_t length = CutLength(buffer, start);
      lines.emplace_back(buffer, start, length);
      start += length;
    } else if (end != std::string::npos) {
      lines.emplace_back(buffer, start, end - start);
      start = end + 1;
      end = buffer.find(CR, start);
    } else {
      break;
    }
  }
  buffer.erase(0, start);
  return lines;
}
