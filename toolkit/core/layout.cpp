#include "layout.hpp"

#include <algorithm>
#include <cmath>

namespace tk {

FrameLayout FitFrame(int frame_w, int frame_h, int window_w, int window_h) {
  if (frame_w <= 0 || frame_h <= 0) return {};
  const int scale = std::max(1, std::min(window_w / frame_w, window_h / frame_h));
  // Halves of odd margins go to the right and the bottom.
  return {scale, (window_w - frame_w * scale) / 2, (window_h - frame_h * scale) / 2};
}

int ScaleOfDpi(double dpi) {
  if (std::isnan(dpi)) return 1;
  return static_cast<int>(std::clamp(std::floor(dpi / 96), 1.0, double{kMaxScale}));
}

Opening OpenOnScreen(Rect place, int wanted, Rect area) {
  if (place.w <= 0 || place.h <= 0) return {1, place.x, place.y};
  // In 64 bits: a place far off any screen must not overflow.
  const long long right = 1LL * area.x + area.w, bottom = 1LL * area.y + area.h;
  for (int n = std::max(wanted, 1); n >= 1; --n) {
    const long long x = 1LL * place.x * n, y = 1LL * place.y * n;
    if (x >= area.x && y >= area.y && x + 1LL * place.w * n <= right && y + 1LL * place.h * n <= bottom) {
      return {n, static_cast<int>(x), static_cast<int>(y)};
    }
  }
  if (const int n = std::min({wanted, area.w / place.w, area.h / place.h}); n >= 1) {
    const long long x = std::clamp(1LL * place.x * n, 1LL * area.x, right - 1LL * place.w * n);
    const long long y = std::clamp(1LL * place.y * n, 1LL * area.y, bottom - 1LL * place.h * n);
    return {n, static_cast<int>(x), static_cast<int>(y)};
  }
  // Smaller than the window: each way it does not fit, its top and right edges on the area's.
  const long long x = place.w > area.w ? right - place.w : std::clamp(1LL * place.x, 1LL * area.x, right - place.w);
  const long long y = place.h > area.h ? area.y : std::clamp(1LL * place.y, 1LL * area.y, bottom - place.h);
  return {1, static_cast<int>(x), static_cast<int>(y)};
}

}  // namespace tk
