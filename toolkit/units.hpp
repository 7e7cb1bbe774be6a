#pragma once

#include <cmath>
#include <cstdint>

namespace tk {

// Positions and sizes are kept in twips; the screen has 15 of them to the pixel.
inline constexpr int kTwipsPerPixel = 15;

// The one conversion used everywhere: round to nearest, halves up. Values far
// off any screen are held at +-2^30 pixels rather than overflowing.
inline int TwipsToPixels(double twips) {
  constexpr double kFar = 1 << 30;
  const double pixels = std::floor(twips / kTwipsPerPixel + 0.5);
  if (!(pixels > -kFar)) return -(1 << 30);  // also NaN
  return pixels < kFar ? static_cast<int>(pixels) : 1 << 30;
}

inline constexpr float PixelsToTwips(int pixels) { return static_cast<float>(pixels * kTwipsPerPixel); }

// ScaleMode values the controls use.
enum class ScaleMode : std::int16_t { Twips = 1, Pixels = 3 };

}  // namespace tk
