#pragma once

#include <cstdint>

namespace tk {

// Positions and sizes are kept in twips; the screen has 15 of them to the pixel.
inline constexpr int kTwipsPerPixel = 15;

// The one conversion used everywhere: round to nearest, halves up. Values far
// off any screen are held at +-2^30 pixels rather than overflowing.
inline int TwipsToPixels(double twips) {
  constexpr double kFar = 1 << 30;
  const double halves_up = twips / kTwipsPerPixel + 0.5;
  if (!(halves_up > -kFar)) return -(1 << 30);  // also NaN
  if (!(halves_up < kFar)) return 1 << 30;
  // floor, without a call into the maths library: every move and line converts.
  const int toward_zero = static_cast<int>(halves_up);
  return toward_zero > halves_up ? toward_zero - 1 : toward_zero;
}

inline constexpr float PixelsToTwips(int pixels) { return static_cast<float>(pixels * kTwipsPerPixel); }

// ScaleMode values the controls use.
enum class ScaleMode : std::int16_t { Twips = 1, Pixels = 3 };

}  // namespace tk
