#include "text/Codec.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace {

// An iconv handle per direction and thread, opened once: conversions run on
// the drawing path.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
    if (handle_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
  }
  ~Converter() { iconv_close(handle_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; at a sequence that cannot be converted, appends
  // `replacement` and skips `skip(rest)` bytes of input.
  template <typename Skip>
  std::string Run(std::string_view in, std::string_view replacement, Skip skip) {
    std::string out;
    out.resize(in.size() * 2 + 8);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t done = 0;
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    while (srcLeft > 0) {
      char* dst = out.data() + done;
      size_t dstLeft = out.size() - done;
      size_t rc = iconv(handle_, &src, &srcLeft, &dst, &dstLeft);
      done = out.size() - dstLeft;
      if (rc != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      // EILSEQ or EINVAL (a truncated sequence at the end).
      if (out.size() - done < replacement.size()) out.resize(out.size() * 2 + replacement.size());
      std::copy(replacement.begin(), replacement.end(), out.begin() + static_cast<std::ptrdiff_t>(done));
      done += replacement.size();
      size_t n = skip(std::string_view(src, srcLeft));
      src += n;
      srcLeft -= n;
    }
    out.resize(done);
    return out;
  }

 private:
  iconv_t handle_;
};

size_t SkipCp932(std::string_view rest) {
  auto lead = static_cast<unsigned char>(rest[0]);
  if (IsLeadByte(lead) && rest.size() >= 2) {
    auto trail = static_cast<unsigned char>(rest[1]);
    if (trail >= 0x40 && trail != 0x7F && trail <= 0xFC) return 2;
  }
  return 1;
}

size_t SkipUtf8(std::string_view rest) {
  size_t n = 1;
  while (n < rest.size() && (static_cast<unsigned char>(rest[n]) & 0xC0) == 0x80) ++n;
  return n;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
  thread_local Converter converter("UTF-8", "CP932");
  return converter.Run(cp932, "\xEF\xBF\xBD", SkipCp932);
}

std::string Utf8ToCp932(std::string_view utf8) {
  thread_local Converter converter("CP932", "UTF-8");
  return converter.Run(utf8, "?", SkipUtf8);
}

std::vector<std::string> UnmappableCharacters(std::string_view utf8) {
  std::vector<std::string> found;
  for (std::size_t pos = 0; pos < utf8.size();) {
    const std::string character(utf8.substr(pos, SkipUtf8(utf8.substr(pos))));
    pos += character.size();
    if (character != "?" && Utf8ToCp932(character) == "?" &&
        std::find(found.begin(), found.end(), character) == found.end())
      found.push_back(character);
  }
  return found;
}
