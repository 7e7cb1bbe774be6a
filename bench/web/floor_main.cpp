// The floor of the intro's page (make web-bench): a page doing the least the
// intro's page does, with the same parts. A 320 x 189 canvas whose every
// pixel changes 50 times a second, and LIGHT.S3M playing through the same
// music library into the same kind of audio node.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <array>
#include <cstdint>

#include "bassmod.h"
#include "bassmod.hpp"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 189;
constexpr double kFrameMs = 20;

struct Floor {
  std::array<std::uint32_t, kWidth * kHeight> pixels{};  // RGBA bytes, as the canvas takes them
  std::uint32_t frame = 0;
};

EM_JS(void, floor_present, (const void* data, int width, int height), {
  const canvas = document.getElementById('window');
  canvas.getContext('2d').putImageData(
      new ImageData(new Uint8ClampedArray(HEAPU8.buffer, data, width * height * 4), width, height), 0, 0);
});

// Every pixel another colour each frame.
void Draw(void* data) {
  auto& floor = *static_cast<Floor*>(data);
  ++floor.frame;
  for (std::size_t i = 0; i < floor.pixels.size(); ++i) {
    floor.pixels[i] = 0xFF000000U | ((static_cast<std::uint32_t>(i) + floor.frame) * 2654435761U >> 8U);
  }
  floor_present(floor.pixels.data(), kWidth, kHeight);
}

}  // namespace

int main() {
  if (!BASSMOD_Init(-1, sound::kOutputRate, 0) || !BASSMOD_MusicLoad(0, "LIGHT.S3M", 0, 0, sound::kMusicFlags) ||
      !BASSMOD_MusicPlay()) {
    return 1;
  }
  static Floor floor;
  emscripten_set_interval(&Draw, kFrameMs, &floor);
  return 0;
}
