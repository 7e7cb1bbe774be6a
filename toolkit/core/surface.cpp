#include "surface.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace tk {

Surface::Surface(int width, int height, Pixel fill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill) {}

void Surface::Set(int x, int y, Pixel p) {
  if (Bounds().Contains(x, y)) pixels_[Index(x, y)] = p;
}

void Surface::Fill(const Rect& area, Pixel p) {
  const Rect r = area.Intersect(Bounds());
  if (r.Empty()) return;
  // One pixel stored, the rest of its row copied from what is done in doubling
  // blocks, the other rows copied whole: every frame fills the strips'
  // backgrounds, and block copies are far faster than single stores.
  const auto first = pixels_.begin() + static_cast<std::ptrdiff_t>(Index(r.x, r.y));
  *first = p;
  for (int done = 1; done < r.w; done *= 2) std::copy_n(first, std::min(done, r.w - done), first + done);
  for (int y = r.y + 1; y < r.y + r.h; ++y) {
    std::copy_n(first, r.w, pixels_.begin() + static_cast<std::ptrdiff_t>(Index(r.x, y)));
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
  // Nothing to draw when both ends lie beyond one side of the grid.
  if ((x1 < 0 && x2 < 0) || (y1 < 0 && y2 < 0) || (x1 >= width_ && x2 >= width_) || (y1 >= height_ && y2 >= height_)) {
    return;
  }
  // Far-off ends are first cut to a box a few grids wide, so the walk below
  // stays short; lines inside that box are drawn point by point, exactly.
  constexpr double kNear = 1 << 14;
  if (std::abs(x1) > kNear || std::abs(y1) > kNear || std::abs(x2) > kNear || std::abs(y2) > kNear) {
    const double ax = x1, ay = y1, bx = x2 - ax, by = y2 - ay;
    double t0 = 0, t1 = 1;
    // Liang-Barsky against -kNear <= x, y <= kNear.
    for (const auto& [q, d] : {std::pair{ax + kNear, -bx}, {kNear - ax, bx}, {ay + kNear, -by}, {kNear - ay, by}}) {
      if (d == 0) {
        if (q < 0) return;
      } else if (const double t = q / d; d < 0) {
        t0 = std::max(t0, t);
      } else {
        t1 = std::min(t1, t);
      }
    }
    if (t0 > t1) return;
    x2 = static_cast<int>(std::lround(ax + bx * t1));
    y2 = static_cast<int>(std::lround(ay + by * t1));
    x1 = static_cast<int>(std::lround(ax + bx * t0));
    y1 = static_cast<int>(std::lround(ay + by * t0));
  }
  const int dx = std::abs(x2 - x1);
  const int dy = -std::abs(y2 - y1);
  const int sx = x1 < x2 ? 1 : -1;
  const int sy = y1 < y2 ? 1 : -1;
  int err = dx + dy;
  if (Bounds().Contains(x1, y1) && Bounds().Contains(x2, y2)) {
    // A line between two points of the grid stays on it: no test per pixel,
    // and the pixel's place follows the steps.
    Pixel* at = pixels_.data() + Index(x1, y1);
    const std::ptrdiff_t row = sy * static_cast<std::ptrdiff_t>(width_);
    for (;;) {
      *at = p;
      if (x1 == x2 && y1 == y2) break;
      const int e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        x1 += sx;
        at += sx;
      }
      if (e2 <= dx) {
        err += dx;
        y1 += sy;
        at += row;
      }
    }
    return;
  }
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
