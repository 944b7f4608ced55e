#pragma once
// The back buffer of a view: one band of pixels per line of the page. Every
// band remembers what it shows (its key), so that bringing the page up to
// date draws only the lines that are new or changed; lines that merely moved
// (the page scrolled) keep their pixels and only change places.

#include <QImage>
#include <QRect>
#include <cstdint>
#include <functional>
#include <vector>

class QPainter;

// Identifies everything a band's pixels depend on. Equal keys, equal pixels.
struct TRowKey {
  uint64_t Line = 0;      // the stored line's serial; 0 for a row below the last line
  uint64_t Before = 0;    // serial of the line it continues, or 0
  uint64_t After = 0;     // serial of the line it continues on, or 0
  uint32_t Color = 0;     // the line's base colour
  uint32_t SelFirst = 0;  // the selected bytes [SelFirst, SelLast), both 0 when none
  uint32_t SelLast = 0;

  bool operator==(const TRowKey&) const = default;
};

class TPageBuffer {
 public:
  // A fresh buffer of `rows` bands `width` pixels wide; nothing is valid yet.
  void Reset(int width, int lineHeight, int rows);
  // Forgets every band's content, so that the next update draws all rows.
  void Invalidate();

  // Brings the page to `keys` (one per row): each row takes a band that
  // holds its key, or else a free band that `drawRow(painter, row, top)`
  // draws. The painter is clipped to the band.
  void Update(const std::vector<TRowKey>& keys,
              const std::function<void(QPainter& painter, int row, int top)>& drawRow);

  // Copies the page's part under `target` (page coordinates shifted left by
  // `xOffset`) onto `painter`, row by row.
  void PaintTo(QPainter& painter, const QRect& target, int xOffset) const;

  // The page as one image, rows in order.
  QImage PageImage() const;

  int Width() const { return FImage.width(); }
  int Height() const { return FLineHeight * static_cast<int>(FRowBand.size()); }

 private:
  int FindBand(const TRowKey& key, int preferred, const std::vector<bool>& taken) const;

  QImage FImage;
  int FLineHeight = 0;
  std::vector<TRowKey> FBandKey;
  std::vector<bool> FBandValid;
  std::vector<int> FRowBand;  // the band that shows each row
};
