#pragma once

#include <cstdint>

namespace tk {

// A colour as the window definition stores it: 0x00BBGGRR, or 0x80000000 plus a
// system colour index.
using OleColor = std::uint32_t;

// A pixel of a drawing surface: 0x00RRGGBB.
using Pixel = std::uint32_t;

constexpr OleColor Rgb(int r, int g, int b) {
  return static_cast<OleColor>((r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16);
}

namespace SystemColor {
inline constexpr OleColor kWindow = 0x80000005;
inline constexpr OleColor kWindowFrame = 0x80000006;
inline constexpr OleColor kWindowText = 0x80000008;
inline constexpr OleColor kBtnText = 0x80000012;
}  // namespace SystemColor

// Resolves system colours with the classic desktop scheme: window white, text
// and frames black.
constexpr Pixel ToPixel(OleColor colour) {
  if (colour & 0x80000000u) {
    return (colour & 0xFFu) == (SystemColor::kWindow & 0xFFu) ? 0xFFFFFFu : 0u;
  }
  return (colour & 0xFFu) << 16 | (colour & 0xFF00u) | (colour >> 16 & 0xFFu);
}

}  // namespace tk
