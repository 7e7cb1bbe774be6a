// The window's images, decoded with SDL2_image as the program decodes them,
// checked for what the window relies on: sizes, colour depth, the exact
// colours of the glyphs and stars, and the plain area under the wireframe.

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

struct SurfaceDeleter {
  void operator()(SDL_Surface* surface) const noexcept { SDL_FreeSurface(surface); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Rgba& c) {
  return out << "rgba(" << int{c.r} << ',' << int{c.g} << ',' << int{c.b} << ',' << int{c.a} << ')';
}
constexpr Rgba kBlack{0, 0, 0}, kWhite{255, 255, 255};

std::filesystem::path Asset(const std::string& name) { return std::filesystem::path(ZENORA_ASSETS_DIR) / name; }

Surface Load(const std::string& name) {
  Surface surface(IMG_Load(Asset(name).string().c_str()));
  EXPECT_NE(surface, nullptr) << name << ": " << IMG_GetError();
  return surface;
}

std::vector<std::uint8_t> ReadBytes(const std::string& name) {
  std::ifstream in(Asset(name), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) { return Le16(b, at) | (Le16(b, at + 2) << 16); }

bool Is8Bit(const SDL_Surface& s) { return s.format->BitsPerPixel == 8 && s.format->palette != nullptr; }

// Pixels as RGBA, whatever the decoded format was.
class Pixels {
 public:
  explicit Pixels(SDL_Surface& surface) : rgba_(SDL_ConvertSurfaceFormat(&surface, SDL_PIXELFORMAT_RGBA32, 0)) {}
  Rgba At(int x, int y) const {
    const auto* p = static_cast<const std::uint8_t*>(rgba_->pixels) + y * rgba_->pitch + x * 4;
    return {p[0], p[1], p[2], p[3]};
  }

 private:
  Surface rgba_;
};

TEST(WindowPicture, Is320By130In256ColoursAndPlainLightGreyUnderTheWireframe) {
  const Surface picture = Load("window.gif");
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->w, 320);
  EXPECT_EQ(picture->h, 130);
  EXPECT_TRUE(Is8Bit(*picture));
  EXPECT_FALSE(SDL_HasColorKey(picture.get())) << "a transparent entry would let the black form show through";

  // The black lines drawn at x 240-305, y 25-75 must stand out everywhere.
  const Pixels px(*picture);
  double sum = 0, sum_sq = 0, darkest = 255;
  int count = 0;
  for (int y = 25; y <= 75; ++y) {
    for (int x = 240; x <= 305; ++x) {
      const Rgba c = px.At(x, y);
      ASSERT_LE(std::abs(c.r - c.b), 16) << "not grey at " << x << ',' << y << ": " << c;
      const double v = (c.r + c.g + c.b) / 3.0;
      sum += v;
      sum_sq += v * v;
      darkest = std::min(darkest, v);
      ++count;
    }
  }
  const double mean = sum / count;
  EXPECT_NEAR(mean, 170.0, 10.0);
  EXPECT_LT(std::sqrt(sum_sq / count - mean * mean), 12.0) << "artwork under the wireframe";
  EXPECT_GT(darkest, 120.0);
}

TEST(CloseGlyphs, AreAWhiteOrGreySquareCrossedInABlackMargin) {
  for (const auto& [file, square] : {std::pair{"close_normal.bmp", kWhite}, {"close_hover.bmp", Rgba{198, 198, 198}}}) {
    const Surface glyph = Load(file);
    ASSERT_NE(glyph, nullptr);
    ASSERT_EQ(glyph->w, 9);
    ASSERT_EQ(glyph->h, 9);
    EXPECT_TRUE(Is8Bit(*glyph)) << file;
    const Pixels px(*glyph);
    for (int y = 0; y < 9; ++y) {
      for (int x = 0; x < 9; ++x) {
        const bool black = x == 0 || y == 0 || x == 8 || y == 8 || x == y || x == 8 - y;
        EXPECT_EQ(px.At(x, y), black ? kBlack : square) << file << " at " << x << ',' << y;
      }
    }
  }
}

TEST(StarPixels, AreOneRle8PixelOfPaletteEntryZero) {
  for (const auto& [file, colour] : {std::pair{"star_grey.bmp", Rgba{165, 165, 165}}, {"star_white.bmp", kWhite}}) {
    SCOPED_TRACE(file);
    const auto b = ReadBytes(file);
    ASSERT_EQ(b.size(), 54u + 256u * 4u + 4u);
    EXPECT_EQ(Le32(b, 2), b.size()) << "file size field";
    EXPECT_EQ(Le32(b, 10), 54u + 256u * 4u) << "pixel data offset";
    // Width, height, bits per pixel, BI_RLE8, size of the pixel data.
    EXPECT_EQ((std::vector{Le32(b, 18), Le32(b, 22), Le16(b, 28), Le32(b, 30), Le32(b, 34)}),
              (std::vector<std::uint32_t>{1, 1, 8, 1, 4}));
    EXPECT_EQ(std::vector(b.end() - 4, b.end()), (std::vector<std::uint8_t>{0x01, 0x00, 0x00, 0x01}));
    for (std::size_t entry = 0; entry < 256; ++entry) {
      const std::size_t at = 54 + entry * 4;  // blue, green, red, reserved
      EXPECT_EQ((Rgba{b[at + 2], b[at + 1], b[at]}), entry == 0 ? colour : kWhite) << "palette entry " << entry;
    }
    const Surface star = Load(file);
    ASSERT_NE(star, nullptr);
    ASSERT_EQ(star->w * star->h, 1);
    EXPECT_EQ(Pixels(*star).At(0, 0), colour);
  }
}

// Each entry of the icon, decoded alone as a one-image icon file so the decoder
// has no choice, is an 8-bit square that shows the same as its desktop PNG.
TEST(WindowIcon, Holds16_32And48PixelEntriesOf256ColoursMatchingTheDesktopIcons) {
  const auto b = ReadBytes("zenora.ico");
  ASSERT_GE(b.size(), 6u);
  ASSERT_EQ(Le16(b, 4), 3u) << "entries";
  for (std::size_t i = 0; i < 3; ++i) {
    const int size = 16 * (static_cast<int>(i) + 1);
    SCOPED_TRACE("icon " + std::to_string(size));
    const std::size_t dir = 6 + 16 * i, bytes = Le32(b, dir + 8), offset = Le32(b, dir + 12);
    ASSERT_EQ(b.at(dir), size);
    ASSERT_LE(offset + bytes, b.size());
    EXPECT_EQ(Le16(b, dir + 6), 8u) << "directory: bits per pixel";
    EXPECT_EQ(Le16(b, offset + 14), 8u) << "image: bits per pixel";

    std::vector<std::uint8_t> single = {0, 0, 1, 0, 1, 0};
    single.insert(single.end(), b.begin() + dir, b.begin() + dir + 12);
    single.insert(single.end(), {22, 0, 0, 0});
    single.insert(single.end(), b.begin() + offset, b.begin() + offset + bytes);
    Surface icon(IMG_LoadTyped_RW(SDL_RWFromConstMem(single.data(), static_cast<int>(single.size())), 1, "ICO"));
    ASSERT_NE(icon, nullptr) << IMG_GetError();
    const Surface png = Load("icons/zenora-intro-" + std::to_string(size) + ".png");
    ASSERT_NE(png, nullptr);
    ASSERT_EQ(icon->w, size);
    ASSERT_EQ(icon->h, size);
    ASSERT_EQ(png->w, size);
    ASSERT_EQ(png->h, size);
    const Pixels from_ico(*icon), from_png(*png);
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        const Rgba a = from_ico.At(x, y), p = from_png.At(x, y);
        ASSERT_EQ(a.a, p.a) << "transparency differs at " << x << ',' << y;
        if (a.a != 0) {
          ASSERT_EQ(a, p) << "at " << x << ',' << y;
        }
      }
    }
    EXPECT_EQ(from_ico.At(0, 0).a, 0) << "the corners are cut off";
    EXPECT_EQ(from_ico.At(size / 2, size / 2).a, 255);
  }
}

}  // namespace
