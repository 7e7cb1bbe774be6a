#pragma once

#include <string_view>

#include "surface.hpp"

namespace tk {

// Width in pixels of a line of text in the 6 x 8 font.
int TextWidth(std::string_view text);

// Draws the lit pixels of each glyph with its top-left at (x, y), inside clip.
void DrawText(Surface& target, int x, int y, std::string_view text, Pixel colour, const Rect& clip);

}  // namespace tk
