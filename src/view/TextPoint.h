#pragma once
// A place in a view's text.

// Column is a 1-based byte index into a stored line, Line a 0-based store
// index.
struct TTextPoint {
  int Column = 0;
  int Line = 0;
  bool operator==(const TTextPoint&) const = default;
};
