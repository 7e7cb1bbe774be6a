#include "text.hpp"

#include "font6x8.hpp"

namespace tk {

int TextWidth(std::string_view text) { return static_cast<int>(text.size()) * kGlyphWidth; }

void DrawText(Surface& target, int x, int y, std::string_view text, Pixel colour, const Rect& clip) {
  const Rect area = clip.Intersect(target.Bounds());
  for (const char c : text) {
    if (x < area.x + area.w && x + kGlyphWidth > area.x) {
      for (int row = 0; row < kGlyphHeight; ++row) {
        const unsigned bits = GlyphRow(c, row);
        for (int col = 0; col < kGlyphWidth; ++col) {
          if (bits & (1u << (kGlyphWidth - 1 - col)) && area.Contains(x + col, y + row)) {
            target.Set(x + col, y + row, colour);
          }
        }
      }
    }
    x += kGlyphWidth;
  }
}

}  // namespace tk
