#pragma once
// URLs and mail addresses in view text. Shared by the drawing (which colours
// them) and the selection (which opens them).

#include <string_view>
#include <vector>

enum TLinkKind : int { lkNoLink = 0, lkUrl = 1, lkMailAddress = 2 };

// Ends a word or link: space, apostrophe, ( ) , < > [ ], and every control
// byte (below 0x20, and 0x7F), so that no link holds one. The double quote is
// not a delimiter.
bool IsDelimiter(unsigned char c);

// True when `text` continues at `pos` with "http://", "https://", "ftp://"
// or "telnet://", in any letter case.
bool StartsWithLinkScheme(std::string_view text, size_t pos);

// A found link: bytes [Begin, End) of the scanned text.
struct TLinkSpan {
  size_t Begin;
  size_t End;
  TLinkKind Kind;
};

// Every URL and mail address in `text`, in order. A URL runs from its scheme
// to the first delimiter or double-byte character; a mail address is an "@"
// with a "." after it up to such a byte, taking the text before the "@" back
// to the previous delimiter or double-byte character.
std::vector<TLinkSpan> ScanLinks(std::string_view text);
