#include "damage.hpp"

#include <algorithm>

namespace tk {

void Damage::Add(const Rect& area, const Rect& bounds) {
  const Rect r = area.Intersect(bounds);
  if (r.Empty()) return;
  height_ = std::max(height_, std::min(bounds.h, kBandRows * kMaxBands));
  const int last = std::min((r.y + r.h - 1) / kBandRows, kMaxBands - 1);
  for (int b = r.y / kBandRows; b <= last; ++b) {
    Band& band = bands_[static_cast<std::size_t>(b)];
    if (band.left == band.right) {
      band = {r.x, r.x + r.w};
    } else {
      band = {std::min(band.left, r.x), std::max(band.right, r.x + r.w)};
    }
  }
  any_ = true;
}

std::span<const Rect> Damage::Take() {
  std::size_t count = 0;
  for (int b = 0; any_ && b * kBandRows < height_; ++b) {
    Band& band = bands_[static_cast<std::size_t>(b)];
    if (band.left == band.right) continue;
    const Rect next{band.left, b * kBandRows, band.right - band.left, std::min(kBandRows, height_ - b * kBandRows)};
    band = {};
    Rect* last = count > 0 ? &taken_[count - 1] : nullptr;
    if (last != nullptr && last->x == next.x && last->w == next.w && last->y + last->h == next.y) {
      last->h += next.h;  // the band below, same columns
    } else {
      taken_[count++] = next;
    }
  }
  any_ = false;
  return std::span<const Rect>(taken_.data(), count);
}

}  // namespace tk
