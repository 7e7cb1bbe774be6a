#include "toolkit/surface.hpp"

#include <algorithm>
#include <cstdlib>

namespace tk {

Rect Rect::Intersect(const Rect& other) const {
  const int left = std::max(x, other.x);
  const int top = std::max(y, other.y);
  const int right = std::min(x + w, other.x + other.w);
  const int bottom = std::min(y + h, other.y + other.h);
  if (right <= left || bottom <= top) return {left, top, 0, 0};
  return {left, top, right - left, bottom - top};
}

Surface::Surface(int width, int height, Pixel fill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill) {}

void Surface::Set(int x, int y, Pixel p) {
  if (Bounds().Contains(x, y)) pixels_[Index(x, y)] = p;
}

void Surface::Fill(const Rect& area, Pixel p) {
  const Rect r = area.Intersect(Bounds());
  for (int y = r.y; y < r.y + r.h; ++y) {
    std::fill_n(pixels_.begin() + static_cast<std::ptrdiff_t>(Index(r.x, y)), r.w, p);
  }
}

void Surface::Blit(const Surface& src, int x, int y, const Rect& clip) {
  const Rect r = Rect{x, y, src.width_, src.height_}.Intersect(clip).Intersect(Bounds());
  for (int row = r.y; row < r.y + r.h; ++row) {
    const auto from = src.pixels_.begin() + static_cast<std::ptrdiff_t>(src.Index(r.x - x, row - y));
    std::copy_n(from, r.w, pixels_.begin() + static_cast<std::ptrdiff_t>(Index(r.x, row)));
  }
}

void Surface::Line(int x1, int y1, int x2, int y2, Pixel p) {
  const int dx = std::abs(x2 - x1);
  const int dy = -std::abs(y2 - y1);
  const int sx = x1 < x2 ? 1 : -1;
  const int sy = y1 < y2 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    Set(x1, y1, p);
    if (x1 == x2 && y1 == y2) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x1 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y1 += sy;
    }
  }
}

}  // namespace tk
