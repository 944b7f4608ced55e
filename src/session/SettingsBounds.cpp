#include "session/SettingsBounds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Larger than any screen, small enough that coordinates plus sizes stay int.
constexpr int kLargestExtent = 1 << 20;

int PixelsOfPoints(int points, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(points) * dpi / 72));
}

std::int64_t OverlapArea(const QRect& a, const QRect& b) {
  const QRect overlap = a.intersected(b);
  return overlap.isEmpty() ? 0 : std::int64_t{overlap.width()} * overlap.height();
}

// How far apart two rectangles lie, along each axis; 0 where they overlap.
std::int64_t Distance(const QRect& a, const QRect& b) {
  const std::int64_t dx = std::max({0, b.left() - a.right(), a.left() - b.right()});
  const std::int64_t dy = std::max({0, b.top() - a.bottom(), a.top() - b.bottom()});
  return dx * dx + dy * dy;
}

int Place(int position, int extent, int areaStart, int areaExtent) {
  if (extent >= areaExtent) return areaStart;
  return std::clamp(position, areaStart, areaStart + areaExtent - extent);
}

}  // namespace

int BoundVSpace(int pixels) {
  return std::clamp(pixels, 0, kMaxVSpace);
}

int BoundMotionInterval(int milliseconds) {
  if (milliseconds <= 0) return kDefaultMotionInterval;
  return std::clamp(milliseconds, kMinMotionInterval, kMaxMotionInterval);
}

int BoundTimeOut(int seconds) {
  return std::clamp(seconds, 0, kMaxTimeOut);
}

int BoundFontSize(int points) {
  if (points <= 0) return points;
  return std::clamp(points, kMinFontPoints, kMaxFontPoints);
}

int BoundFontHeight(int height, int dpi) {
  if (height == 0) return 0;
  const int pixels = std::clamp(std::abs(std::max(height, -kLargestExtent)),
                                PixelsOfPoints(kMinFontPoints, dpi),
                                PixelsOfPoints(kMaxFontPoints, dpi));
  return height < 0 ? -pixels : pixels;
}

QFont BoundFont(const QFont& font, int dpi) {
  QFont bounded = font;
  if (font.pixelSize() > 0)
    bounded.setPixelSize(BoundFontHeight(font.pixelSize(), dpi));
  else if (font.pointSizeF() > 0)
    bounded.setPointSizeF(std::clamp<qreal>(font.pointSizeF(), kMinFontPoints, kMaxFontPoints));
  return bounded;
}

TColor BoundColor(TColor color, TColor defaultValue) {
  if (color >= 0) return color <= 0xFFFFFF ? color : defaultValue;
  return IsSystemColor(color) ? color : defaultValue;
}

QRect StoredBounds(int left, int top, int width, int height) {
  auto position = [](int value) { return std::clamp(value, -kLargestExtent, kLargestExtent); };
  auto extent = [](int value) { return std::clamp(value, 0, kLargestExtent); };
  return QRect(position(left), position(top), extent(width), extent(height));
}

int NearestArea(const QRect& bounds, const QList<QRect>& areas) {
  // An empty window (a size of 0) is taken as its corner.
  const QRect window(bounds.topLeft(), bounds.size().expandedTo(QSize(1, 1)));
  int nearest = -1;
  std::int64_t largestOverlap = 0;
  std::int64_t shortestDistance = 0;
  for (int i = 0; i < areas.size(); ++i) {
    const std::int64_t overlap = OverlapArea(window, areas[i]);
    const std::int64_t distance = Distance(window, areas[i]);
    const bool better = nearest < 0 || overlap > largestOverlap ||
                        (largestOverlap == 0 && overlap == 0 && distance < shortestDistance);
    if (!better) continue;
    nearest = i;
    largestOverlap = overlap;
    shortestDistance = distance;
  }
  return nearest;
}

QRect FitToArea(const QRect& bounds, const QRect& available, const QSize& minimum) {
  const QSize size = bounds.size().boundedTo(available.size()).expandedTo(minimum);
  return QRect(Place(bounds.x(), size.width(), available.x(), available.width()),
               Place(bounds.y(), size.height(), available.y(), available.height()), size.width(),
               size.height());
}
