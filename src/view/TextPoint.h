#pragma once
// A place in a view's text, and a stretch of one line.

#include <cstddef>

// Column is a 1-based byte index into a stored line, Line a 0-based store
// index.
struct TTextPoint {
  int Column = 0;
  int Line = 0;
  bool operator==(const TTextPoint&) const = default;
};

// The bytes [First, Last) of a stored line.
struct TByteRange {
  size_t First;
  size_t Last;
  bool operator==(const TByteRange&) const = default;
};
