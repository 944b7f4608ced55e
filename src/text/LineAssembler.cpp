#include "text/LineAssembler.h"

#include <algorithm>
#include <iterator>

namespace {
constexpr char CR = '\r';
constexpr char LF = '\n';
}  // namespace

std::string WithoutLineFeeds(std::string_view text) {
  std::string result;
  AppendBlock(result, text);
  return result;
}

void AppendBlock(std::string& buffer, std::string_view block) {
  buffer.reserve(buffer.size() + block.size());
  std::copy_if(block.begin(), block.end(), std::back_inserter(buffer),
               [](char c) { return c != LF; });
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
