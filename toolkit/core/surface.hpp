#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "colour.hpp"

namespace tk {

struct Rect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;

  constexpr bool Empty() const { return w <= 0 || h <= 0; }
  constexpr bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
  // Inline: the compositor cuts every control against every damaged band.
  constexpr Rect Intersect(const Rect& other) const {
    const int left = std::max(x, other.x);
    const int top = std::max(y, other.y);
    const int right = std::min(x + w, other.x + other.w);
    const int bottom = std::min(y + h, other.y + other.h);
    if (right <= left || bottom <= top) return {left, top, 0, 0};
    return {left, top, right - left, bottom - top};
  }
  // The smallest rectangle holding both; an empty one adds nothing.
  constexpr Rect Bounding(const Rect& other) const {
    if (other.Empty()) return *this;
    if (Empty()) return other;
    const int left = std::min(x, other.x);
    const int top = std::min(y, other.y);
    const int right = std::max(x + w, other.x + other.w);
    const int bottom = std::max(y + h, other.y + other.h);
    return {left, top, right - left, bottom - top};
  }
  constexpr Rect Offset(int dx, int dy) const { return {x + dx, y + dy, w, h}; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A plain RGB pixel grid; every operation clips to the grid and to the clip
// rectangle it is given.
class Surface {
 public:
  Surface() = default;
  Surface(int width, int height, Pixel fill = 0);

  int Width() const { return width_; }
  int Height() const { return height_; }
  Rect Bounds() const { return {0, 0, width_, height_}; }

  Pixel At(int x, int y) const { return pixels_[Index(x, y)]; }
  void Set(int x, int y, Pixel p);
  void Fill(const Rect& area, Pixel p);
  // Copies src with its top-left at (x, y), only inside clip.
  void Blit(const Surface& src, int x, int y, const Rect& clip);
  // One-pixel solid line, both ends included (Bresenham).
  void Line(int x1, int y1, int x2, int y2, Pixel p);

  const std::vector<Pixel>& Pixels() const { return pixels_; }
  friend bool operator==(const Surface&, const Surface&) = default;

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
  }

  int width_ = 0;
  int height_ = 0;
  std::vector<Pixel> pixels_;
};

}  // namespace tk
