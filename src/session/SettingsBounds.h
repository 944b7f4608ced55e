#pragma once
// The ranges of the settings that the user sets: what the loader takes from
// the settings file and what the dialogs take from the user. A value out of
// range becomes the nearest bound, or the default where a bound would mean
// nothing; none of them is an error.

#include <QFont>
#include <QList>
#include <QRect>
#include <QSize>

#include "session/GenRegist.h"

// At most this many emphasised words are read.
inline constexpr int kMaxAccentWords = 1000;
inline constexpr int kMinFontPoints = 6;
inline constexpr int kMaxFontPoints = 72;
// Extra pixels between lines, both views.
inline constexpr int kMaxVSpace = 99;
inline constexpr int kMinMotionInterval = 50;
inline constexpr int kMaxMotionInterval = 10000;
inline constexpr int kDefaultMotionInterval = 300;
// Seconds before a silent telnet line is restarted; 0 is never.
inline constexpr int kMaxTimeOut = 86400;

// 0 to kMaxVSpace.
int BoundVSpace(int pixels);
// kMinMotionInterval to kMaxMotionInterval; 0 or less is the default.
int BoundMotionInterval(int milliseconds);
// 0 to kMaxTimeOut.
int BoundTimeOut(int seconds);
// A stored font size in points: kMinFontPoints to kMaxFontPoints; 0 or less
// stays, as it means that the height decides.
int BoundFontSize(int points);
// A stored character height in pixels (negative as the platform gives it,
// 0 for none): its size kept within the heights of the point range at `dpi`,
// its sign kept.
int BoundFontHeight(int height, int dpi);
// The font with its size within the point range (pixel sizes at `dpi`).
QFont BoundFont(const QFont& font, int dpi);
// A colour as stored (0x00BBGGRR, or a system colour the palette names);
// anything else gives the default.
TColor BoundColor(TColor color, TColor defaultValue);

// Stored window bounds, in any range, as a rectangle: the size kept within
// what a screen can hold, so that no sum of them overflows.
QRect StoredBounds(int left, int top, int width, int height);
// The index of the area that `bounds` overlaps most, else of the nearest
// one; -1 for no areas.
int NearestArea(const QRect& bounds, const QList<QRect>& areas);
// `bounds` moved and sized into `available`: never larger than it, never
// smaller than `minimum` (which wins where the two disagree), and fully
// inside it wherever it fits.
QRect FitToArea(const QRect& bounds, const QRect& available, const QSize& minimum);
