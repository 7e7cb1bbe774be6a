#pragma once

#include <cstdint>
#include <vector>

namespace tk {

// One image of a window's icon with its transparency: 0xAARRGGBB pixels, row by row.
struct IconImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> argb;
};

}  // namespace tk
