#pragma once

#include <array>
#include <span>

#include "surface.hpp"

namespace tk {

// What changed on the window since it was last painted, kept per band of
// rows as one span of columns: cheap to mark, and few rectangles to repaint.
class Damage {
 public:
  static constexpr int kBandRows = 8;

  void Add(const Rect& area, const Rect& bounds);
  void AddAll(const Rect& bounds) { Add(bounds, bounds); }
  bool Empty() const { return !any_; }
  // The damaged rectangles, top to bottom, bands with the same columns
  // merged; then clear. The list stays valid until the next call.
  std::span<const Rect> Take();

 private:
  struct Band {
    int left = 0;
    int right = 0;  // one past the last column; left == right: clean
  };
  static constexpr int kMaxBands = 64;  // windows up to 512 rows
  std::array<Band, kMaxBands> bands_{};
  std::array<Rect, kMaxBands> taken_{};
  int height_ = 0;
  bool any_ = false;
};

}  // namespace tk
