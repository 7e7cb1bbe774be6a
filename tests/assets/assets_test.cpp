// The window's images as the program decodes them, and the bytes of their
// files where the format binds.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <span>
#include <vector>

#include "app/assets.hpp"

namespace zenora {
namespace {

using Bytes = std::span<const unsigned char>;
std::uint32_t Le16(Bytes b, std::size_t at) { return b[at] | b[at + 1] << 8; }
std::uint32_t Le32(Bytes b, std::size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }

const Assets& Art() {
  static const Assets assets = LoadAssets();
  return assets;
}

TEST(WindowPicture, Is320By130In256ColoursOpaqueAndPlainLightGreyUnderTheWireframe) {
  const Bytes gif = embedded::window_gif;
  EXPECT_EQ(Le16(gif, 6) * 1000 + Le16(gif, 8), 320'130u);
  EXPECT_EQ(gif[10] & 0x87, 0x87) << "a palette of 256 colours";
  // The image follows the palette: no control block that could make a colour
  // transparent and let the black form show through.
  EXPECT_EQ(gif[13 + 3 * 256], 0x2C);
  ASSERT_EQ(Art().window.Width() * 1000 + Art().window.Height(), 320'130);

  // The black logo drawn at x 240-305, y 25-75 stands out everywhere.
  double sum = 0, sum_sq = 0, darkest = 255;
  for (int y = 25; y <= 75; ++y) {
    for (int x = 240; x <= 305; ++x) {
      const tk::Pixel c = Art().window.At(x, y);
      const int r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
      ASSERT_LE(std::abs(r - b), 16) << "not grey at " << x << ',' << y;
      const double v = (r + g + b) / 3.0;
      sum += v, sum_sq += v * v, darkest = std::min(darkest, v);
    }
  }
  const double n = 51 * 66, mean = sum / n;
  EXPECT_NEAR(mean, 170.0, 10.0);
  EXPECT_LT(std::sqrt(sum_sq / n - mean * mean), 12.0) << "artwork under the wireframe";
  EXPECT_GT(darkest, 120.0);
}

TEST(SmallImages, CloseGlyphsStarsAndIconHaveTheirSizesDepthsAndColours) {
  // A 7 x 7 square, white or light grey, crossed by a black diagonal cross in a black margin.
  for (const auto& [bmp, glyph, square] : {std::tuple{embedded::close_normal_bmp, &Art().close_normal, 0xFFFFFFu},
                                           {embedded::close_hover_bmp, &Art().close_hover, 0xC6C6C6u}}) {
    EXPECT_EQ(Le16(bmp, 28), 8u) << "bits per pixel";
    ASSERT_EQ(glyph->Width() * 10 + glyph->Height(), 99);
    for (int y = 0; y < 9; ++y) {
      for (int x = 0; x < 9; ++x) {
        const bool black = x == 0 || y == 0 || x == 8 || y == 8 || x == y || x == 8 - y;
        EXPECT_EQ(glyph->At(x, y), black ? 0u : square) << x << ',' << y;
      }
    }
  }
  // One RLE8 pixel of palette entry 0, grey or white; the other 255 entries white.
  for (const auto& [bmp, star, colour] : {std::tuple{embedded::star_grey_bmp, &Art().star_grey, 0xA5A5A5u},
                                          {embedded::star_white_bmp, &Art().star_white, 0xFFFFFFu}}) {
    ASSERT_EQ(bmp.size(), 54u + 256 * 4 + 4);
    EXPECT_EQ((std::vector{Le32(bmp, 2), Le32(bmp, 10), Le32(bmp, 18), Le32(bmp, 22), Le16(bmp, 28), Le32(bmp, 30),
                           Le32(bmp, 34), Le32(bmp, 54 + 256 * 4)}),
              (std::vector<std::uint32_t>{1082, 54 + 256 * 4, 1, 1, 8, 1, 4, 0x01000001}));
    for (std::size_t entry = 0; entry < 256; ++entry) {
      EXPECT_EQ(Le32(bmp, 54 + entry * 4), entry == 0 ? colour : 0xFFFFFFu) << "palette entry " << entry;
    }
    EXPECT_EQ(star->Width() * star->Height(), 1);
    EXPECT_EQ(star->At(0, 0), colour);
  }
  // The icon: 16, 32 and 48 pixel entries of 256 colours.
  const Bytes ico = embedded::zenora_ico;
  ASSERT_EQ(Le16(ico, 4), 3u) << "entries";
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(ico[6 + 16 * i] * 100 + Le16(ico, 6 + 16 * i + 6), (i + 1) * 1600 + 8);
    EXPECT_EQ(Le16(ico, Le32(ico, 6 + 16 * i + 12) + 14), 8u) << "bits per pixel of the image";
  }
}

}  // namespace
}  // namespace zenora
