#include "view/PageBuffer.h"

#include <QPainter>

void TPageBuffer::Reset(int width, int lineHeight, int rows) {
  FLineHeight = lineHeight;
  FImage = QImage(std::max(width, 1), std::max(lineHeight * rows, 1), QImage::Format_RGB32);
  const auto count = static_cast<size_t>(std::max(rows, 0));
  FBandKey.assign(count, TRowKey{});
  FBandValid.assign(count, false);
  FRowBand.resize(count);
  for (size_t row = 0; row < count; ++row) FRowBand[row] = static_cast<int>(row);
}

void TPageBuffer::Invalidate() {
  FBandValid.assign(FBandValid.size(), false);
}

int TPageBuffer::FindBand(const TRowKey& key, int preferred, const std::vector<bool>& taken) const {
  auto holds = [&](int band) {
    return FBandValid[static_cast<size_t>(band)] && !taken[static_cast<size_t>(band)] &&
           FBandKey[static_cast<size_t>(band)] == key;
  };
  if (holds(preferred)) return preferred;
  for (int band = 0; band < static_cast<int>(FBandKey.size()); ++band)
    if (holds(band)) return band;
  return -1;
}

void TPageBuffer::Update(const std::vector<TRowKey>& keys,
                         const std::function<void(QPainter&, int, int)>& drawRow) {
  const size_t rows = FRowBand.size();
  std::vector<bool> taken(rows, false);
  std::vector<int> rowBand(rows, -1);
  std::vector<int> stale;
  for (size_t row = 0; row < rows; ++row) {
    rowBand[row] = FindBand(keys[row], FRowBand[row], taken);
    if (rowBand[row] >= 0)
      taken[static_cast<size_t>(rowBand[row])] = true;
    else
      stale.push_back(static_cast<int>(row));
  }
  FRowBand = std::move(rowBand);
  if (stale.empty()) return;

  size_t freeBand = 0;
  QPainter painter(&FImage);
  for (int row : stale) {
    while (taken[freeBand]) ++freeBand;
    taken[freeBand] = true;
    const int band = static_cast<int>(freeBand);
    const int top = band * FLineHeight;
    painter.save();
    painter.setClipRect(0, top, FImage.width(), FLineHeight);
    drawRow(painter, row, top);
    painter.restore();
    FRowBand[static_cast<size_t>(row)] = band;
    FBandKey[freeBand] = keys[static_cast<size_t>(row)];
    FBandValid[freeBand] = true;
  }
}

void TPageBuffer::PaintTo(QPainter& painter, const QRect& target, int xOffset) const {
  // Only the part of the target that the buffer covers.
  const QRect covered = target.intersected(QRect(-xOffset, 0, FImage.width(), Height()));
  for (size_t row = 0; row < FRowBand.size(); ++row) {
    const QRect rowRect(covered.left(), static_cast<int>(row) * FLineHeight, covered.width(),
                        FLineHeight);
    const QRect part = rowRect.intersected(covered);
    if (part.isEmpty()) continue;
    const int bandTop = FRowBand[row] * FLineHeight;
    painter.drawImage(part, FImage,
                      QRect(part.left() + xOffset, bandTop + part.top() - rowRect.top(),
                            part.width(), part.height()));
  }
}

QImage TPageBuffer::PageImage() const {
  QImage page(FImage.width(), std::max(Height(), 1), QImage::Format_RGB32);
  QPainter painter(&page);
  PaintTo(painter, page.rect(), 0);
  return page;
}
