#pragma once
// The text side of a view's selection: the word and the link at a point
// (joined across folds), the selected text as it is copied, and the caret's
// steps by the arrow keys. Points are text points into a line store.

#include <optional>
#include <string>

#include "text/LightStrings.h"
#include "view/Links.h"
#include "view/TextPoint.h"

// A word found at a point. Both ends lie on Line (End is the column after
// the last byte); a column beyond the line's own text continues on the line
// it folds into.
struct TWord {
  TTextPoint Start;
  TTextPoint End;
  std::string Text;
  TLinkKind Kind = lkNoLink;
};

// A link and its kind; lkNoLink with an empty text when there is none.
struct TLink {
  TLinkKind Kind = lkNoLink;
  std::string Text;
  bool operator==(const TLink&) const = default;
};

// The kind of a word: a URL when it begins with a link scheme; a mail
// address when its first "@" stands after its first byte and before its
// first "."; otherwise none.
TLinkKind WordKind(std::string_view word);

// The word at a byte-aligned point: a delimiter alone, a double-byte
// character alone, or the run of single-byte non-delimiters around the
// point. A line folded into the next, or continuing the previous, is joined
// with it first. Nothing at a column below 1, outside the store or where no
// byte can be taken.
std::optional<TWord> WordAt(const TLightStrings& Lines, TTextPoint At);

// The link that is the word at the point.
TLink LinkAt(const TLightStrings& Lines, TTextPoint At);

// The link at the point or, failing that, the first link on the point's
// line (with the line it continues).
TLink LinkOnLineOf(const TLightStrings& Lines, TTextPoint At);

// The bytes of stored line `Line` that a selection between two points (in
// either order) covers: from the start column on the start line, up to the
// end column on the end line, whole lines between; nothing when the line is
// shorter than its first column. Decides both what is highlighted and what
// is copied.
std::optional<TByteRange> SelectedBytes(const TLightStrings& Lines, TTextPoint A, TTextPoint B,
                                        int Line);

// The text between two points, in either order, as it is copied: each
// line's piece without fold marks, CR LF between pieces except after a
// folded line; lines shorter than their start column give no piece. With a
// null buffer, an upper bound of its length. -1 when the points are equal
// or there are no lines.
int SelectionText(const TLightStrings& Lines, TTextPoint A, TTextPoint B, std::string* Buffer);

// Byte length of the character that starts at `pos` (1 or 2; a lead byte
// at the end of the text is 1).
int CharLength(std::string_view text, size_t pos);

// The point on the text nearest to Point: its line within the store, its
// column within 0 .. the line's length + 1; (0, 0) without lines.
TTextPoint ClampToText(const TLightStrings& Lines, TTextPoint Point);

enum TCaretMove { cmUp, cmDown, cmLeft, cmRight };

// Where the caret goes from `From` by one arrow key: a line up or down, a
// character left or right (across folds, one character per step), never
// onto the trail byte of a double-byte character nor beyond a line's end.
TTextPoint CaretStep(const TLightStrings& Lines, TTextPoint From, TCaretMove Move);
