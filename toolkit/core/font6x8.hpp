#pragma once

#include <cstdint>

namespace tk {

// The labels' raster font: fixed pitch, 6 x 8 pixels a character, bold strokes.
// Capitals and digits stand on rows 0..6, lowercase on rows 2..6 with
// descenders in row 7; column 5 stays blank so neighbours never touch.
inline constexpr int kGlyphWidth = 6, kGlyphHeight = 8;

// Row r of character c, bit (5 - x) set = pixel at column x lit; characters
// outside 32..126 show as '?'. Rows outside 0..7 are empty.
std::uint8_t GlyphRow(char c, int row) noexcept;

}  // namespace tk
