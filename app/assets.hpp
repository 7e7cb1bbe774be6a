#pragma once

#include <span>
#include <vector>

#include "image.hpp"
#include "surface.hpp"

namespace zenora {

// The window's images, embedded in the program at build time.
namespace embedded {
extern const std::span<const unsigned char> window_gif;
extern const std::span<const unsigned char> zenora_ico;
extern const std::span<const unsigned char> close_normal_bmp;
extern const std::span<const unsigned char> close_hover_bmp;
extern const std::span<const unsigned char> star_grey_bmp;
extern const std::span<const unsigned char> star_white_bmp;
}  // namespace embedded

struct Assets {
  tk::Surface window;
  std::vector<tk::IconImage> icon;
  tk::Surface close_normal;
  tk::Surface close_hover;
  tk::Surface star_grey;
  tk::Surface star_white;
};

// Decodes the embedded images.
Assets LoadAssets();

}  // namespace zenora
