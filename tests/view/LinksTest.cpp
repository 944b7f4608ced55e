// Finding URLs and mail addresses in view text.

#include <gtest/gtest.h>

#include "text/Codec.h"
#include "view/Links.h"

namespace {

struct Found {
  std::string text;
  TLinkKind kind;
  bool operator==(const Found&) const = default;
};

void PrintTo(const Found& found, std::ostream* out) {
  *out << found.kind << ":" << found.text;
}

std::vector<Found> Scan(const std::string& text) {
  std::vector<Found> found;
  for (const TLinkSpan& span : ScanLinks(text))
    found.push_back({text.substr(span.Begin, span.End - span.Begin), span.Kind});
  return found;
}

}  // namespace

TEST(ScanLinks, FindsUrlsAndMailAddresses) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<Found> found;
  };
  const std::string a = Sjis("あ");
  const std::vector<Case> cases = {
      {"url up to a delimiter", "see http://a.jp/x?y=1 now", {{"http://a.jp/x?y=1", lkUrl}}},
      {"scheme in any case", "(FTP://a.jp)", {{"FTP://a.jp", lkUrl}}},
      {"https as http", "go HTTPS://a.jp/x now", {{"HTTPS://a.jp/x", lkUrl}}},
      {"telnet and the double quote", "telnet://b.jp\"x'", {{"telnet://b.jp\"x", lkUrl}}},
      {"url up to a double-byte character", "http://a.jp" + a, {{"http://a.jp", lkUrl}}},
      {"mail address", "to foo.bar@baz.ne.jp,", {{"foo.bar@baz.ne.jp", lkMailAddress}}},
      {"no dot after the at sign", "foo@bar", {}},
      {"nothing before the at sign", "@x.jp", {{"@x.jp", lkMailAddress}}},
      {"address starts after a double-byte character",
       a + "foo@x.jp",
       {{"foo@x.jp", lkMailAddress}}},
      {"url then address",
       "http://x.jp <a@b.c>",
       {{"http://x.jp", lkUrl}, {"a@b.c", lkMailAddress}}},
      {"scheme alone is no url", "http:/", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Scan(c.text), c.found) << c.name;
}
