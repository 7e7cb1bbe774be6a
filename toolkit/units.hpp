#pragma once

#include <cmath>
#include <cstdint>

namespace tk {

// Positions and sizes are kept in twips; the screen has 15 of them to the pixel.
inline constexpr int kTwipsPerPixel = 15;

// The one conversion used everywhere: round to nearest, halves up.
inline int TwipsToPixels(double twips) {
  return static_cast<int>(std::floor(twips / kTwipsPerPixel + 0.5));
}

inline constexpr float PixelsToTwips(int pixels) {
  return static_cast<float>(pixels * kTwipsPerPixel);
}

// ScaleMode values the controls use.
enum class ScaleMode : std::int16_t { Twips = 1, Pixels = 3 };

}  // namespace tk
