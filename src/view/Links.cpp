#include "view/Links.h"

#include <array>
#include <cctype>
#include <string_view>

#include "text/Codec.h"

namespace {

constexpr std::array<std::string_view, 4> LinkSchemes = {"http://", "https://", "ftp://",
                                                         "telnet://"};

// Bytes that end a link or an address.
bool EndsLink(unsigned char c) {
  return IsDelimiter(c) || IsLeadByte(c);
}

// A link scheme can start here: F, H or T in either case.
bool IsSchemeInitial(unsigned char c) {
  const int lower = std::tolower(c);
  return lower == 'f' || lower == 'h' || lower == 't';
}

size_t LinkEnd(std::string_view text, size_t pos) {
  while (pos < text.size() && !EndsLink(static_cast<unsigned char>(text[pos]))) ++pos;
  return pos;
}

}  // namespace

bool IsDelimiter(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case ' ':
    case '\'':
    case '(':
    case ')':
    case ',':
    case '<':
    case '>':
    case '[':
    case ']':
      return true;
    default:
      return false;
  }
}

bool StartsWithLinkScheme(std::string_view text, size_t pos) {
  for (std::string_view scheme : LinkSchemes) {
    if (text.size() - pos < scheme.size()) continue;
    bool equal = true;
    for (size_t i = 0; i < scheme.size() && equal; ++i)
      equal = std::tolower(static_cast<unsigned char>(text[pos + i])) == scheme[i];
    if (equal) return true;
  }
  return false;
}

std::vector<TLinkSpan> ScanLinks(std::string_view text) {
  std::vector<TLinkSpan> links;
  size_t earliestAddressStart = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    const auto c = static_cast<unsigned char>(text[pos]);
    if (IsLeadByte(c)) {
      pos += 2;
      earliestAddressStart = pos;
    } else if (IsSchemeInitial(c) && StartsWithLinkScheme(text, pos)) {
      const size_t end = LinkEnd(text, pos + 6);
      links.push_back({pos, end, lkUrl});
      pos = end;
    } else if (c == '@') {
      const size_t end = LinkEnd(text, pos + 1);
      if (text.substr(pos + 1, end - pos - 1).find('.') != std::string_view::npos) {
        size_t begin = pos;
        while (begin > earliestAddressStart &&
               !IsDelimiter(static_cast<unsigned char>(text[begin - 1])))
          --begin;
        links.push_back({begin, end, lkMailAddress});
      }
      pos = end;
    } else {
      ++pos;
    }
  }
  return links;
}
