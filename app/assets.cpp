#include "assets.hpp"

#include "image.hpp"

namespace zenora {

Assets LoadAssets() {
  return Assets{
      .window = tk::DecodeImage(embedded::window_gif),
      .icon = tk::DecodeIcon(embedded::zenora_ico),
      .close_normal = tk::DecodeImage(embedded::close_normal_bmp),
      .close_hover = tk::DecodeImage(embedded::close_hover_bmp),
      .star_grey = tk::DecodeImage(embedded::star_grey_bmp),
      .star_white = tk::DecodeImage(embedded::star_white_bmp),
  };
}

}  // namespace zenora
