// The window's images, decoded with SDL2_image as the program decodes them,
// checked for what the window relies on: sizes, colour depth, the exact
// colours of the glyphs and stars, and the plain area under the wireframe.

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

struct SurfaceDeleter {
  void operator()(SDL_Surface* surface) const noexcept { SDL_FreeSurface(surface); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 0;
  bool operator==(const Rgba&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgba& c) {
  return out << "rgba(" << int{c.r} << ',' << int{c.g} << ',' << int{c.b} << ',' << int{c.a} << ')';
}

constexpr Rgba kBlack{0, 0, 0, 255};
constexpr Rgba kWhite{255, 255, 255, 255};

std::filesystem::path Asset(const std::string& name) { return std::filesystem::path(ZENORA_ASSETS_DIR) / name; }

Surface Load(const std::string& name) {
  Surface surface(IMG_Load(Asset(name).string().c_str()));
  EXPECT_NE(surface, nullptr) << name << ": " << IMG_GetError();
  return surface;
}

std::vector<std::uint8_t> ReadBytes(const std::string& name) {
  std::ifstream in(Asset(name), std::ios::binary);
  EXPECT_TRUE(in) << "cannot open " << name;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b.at(at) | (b.at(at + 1) << 8));
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return Le16(b, at) | (Le16(b, at + 2) << 16);
}

// Pixels as RGBA bytes, whatever the decoded format was.
class Pixels {
 public:
  explicit Pixels(SDL_Surface& surface)
      : rgba_(SDL_ConvertSurfaceFormat(&surface, SDL_PIXELFORMAT_RGBA32, 0)) {
    if (!rgba_) {
      ADD_FAILURE() << "conversion failed: " << SDL_GetError();
    }
  }
  int Width() const { return rgba_ ? rgba_->w : 0; }
  int Height() const { return rgba_ ? rgba_->h : 0; }
  Rgba At(int x, int y) const {
    const auto* row = static_cast<const std::uint8_t*>(rgba_->pixels) + static_cast<std::ptrdiff_t>(y) * rgba_->pitch;
    const auto* p = row + static_cast<std::ptrdiff_t>(x) * 4;
    return {p[0], p[1], p[2], p[3]};
  }
  double Grey(int x, int y) const {
    const Rgba c = At(x, y);
    return (c.r + c.g + c.b) / 3.0;
  }

 private:
  Surface rgba_;
};

bool IsPalettised(const SDL_Surface& surface) {
  return surface.format->BitsPerPixel == 8 && surface.format->palette != nullptr &&
         surface.format->palette->ncolors <= 256;
}

// --- window picture --------------------------------------------------------

TEST(WindowPicture, IsAn8BitPictureOfTheWindowWidthWithoutTransparency) {
  const auto bytes = ReadBytes("window.gif");
  ASSERT_GE(bytes.size(), 6u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "GIF8");

  const Surface picture = Load("window.gif");
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->w, 320);
  EXPECT_EQ(picture->h, 130);
  EXPECT_TRUE(IsPalettised(*picture));
  EXPECT_FALSE(SDL_HasColorKey(picture.get())) << "a transparent entry would let the black form show through";
}

TEST(WindowPicture, WireframeAreaIsPlainLightGrey) {
  const Surface picture = Load("window.gif");
  ASSERT_NE(picture, nullptr);
  const Pixels px(*picture);
  double sum = 0, sum_sq = 0, darkest = 255;
  int count = 0;
  for (int y = 25; y <= 75; ++y) {
    for (int x = 240; x <= 305; ++x) {
      const Rgba c = px.At(x, y);
      EXPECT_LE(std::abs(c.r - c.b), 16) << "not grey at " << x << ',' << y << ": " << c;
      const double v = px.Grey(x, y);
      sum += v;
      sum_sq += v * v;
      darkest = std::min(darkest, v);
      ++count;
    }
  }
  const double mean = sum / count;
  const double spread = std::sqrt(sum_sq / count - mean * mean);
  EXPECT_GE(mean, 160.0);
  EXPECT_LE(mean, 180.0);
  // The black lines drawn here must stand out everywhere: no artwork in the box.
  EXPECT_LT(spread, 12.0);
  EXPECT_GT(darkest, 120.0);
}

TEST(WindowPicture, CarriesTheLogoOnTheLeftAndLettersAlongTheBottomRight) {
  const Surface picture = Load("window.gif");
  ASSERT_NE(picture, nullptr);
  const Pixels px(*picture);
  int outline = 0, highlight = 0;
  for (int y = 10; y < 105; ++y) {
    for (int x = 0; x < 235; ++x) {
      const double v = px.Grey(x, y);
      outline += v < 50 ? 1 : 0;
      highlight += v > 235 ? 1 : 0;
    }
  }
  EXPECT_GT(outline, 500) << "no dark outline of a logo on the left";
  EXPECT_GT(highlight, 500) << "no bright chrome on the left";

  int engraved = 0;
  for (int y = 105; y < 128; ++y) {
    for (int x = 213; x < 316; ++x) {
      engraved += px.Grey(x, y) < 125 ? 1 : 0;
    }
  }
  EXPECT_GT(engraved, 60) << "no line of letters along the bottom right";
}

// --- close glyphs ----------------------------------------------------------

TEST(CloseGlyphs, AreAWhiteOrGreySquareCrossedInABlackMargin) {
  const struct {
    const char* file;
    Rgba square;
  } cases[] = {{"close_normal.bmp", kWhite}, {"close_hover.bmp", {0xC6, 0xC6, 0xC6, 255}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const auto bytes = ReadBytes(c.file);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(Le32(bytes, 14), 40u) << "BITMAPINFOHEADER";
    EXPECT_EQ(Le32(bytes, 30), 0u) << "uncompressed";

    const Surface glyph = Load(c.file);
    ASSERT_NE(glyph, nullptr);
    ASSERT_EQ(glyph->w, 9);
    ASSERT_EQ(glyph->h, 9);
    EXPECT_TRUE(IsPalettised(*glyph));
    const Pixels px(*glyph);
    for (int y = 0; y < 9; ++y) {
      for (int x = 0; x < 9; ++x) {
        const bool margin = x == 0 || y == 0 || x == 8 || y == 8;
        const bool cross = x == y || x == 8 - y;
        EXPECT_EQ(px.At(x, y), margin || cross ? kBlack : c.square) << "at " << x << ',' << y;
      }
    }
  }
}

// --- star pixels -----------------------------------------------------------

TEST(StarPixels, AreOneRle8PixelOfPaletteEntryZero) {
  const struct {
    const char* file;
    Rgba colour;
  } cases[] = {{"star_grey.bmp", {0xA5, 0xA5, 0xA5, 255}}, {"star_white.bmp", kWhite}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const auto b = ReadBytes(c.file);
    ASSERT_GE(b.size(), 54u + 1024u + 4u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(Le32(b, 2), b.size()) << "file size field";
    EXPECT_EQ(Le32(b, 18), 1u) << "width";
    EXPECT_EQ(Le32(b, 22), 1u) << "height";
    EXPECT_EQ(Le16(b, 28), 8u) << "bits per pixel";
    EXPECT_EQ(Le32(b, 30), 1u) << "BI_RLE8";
    EXPECT_EQ(Le32(b, 34), 4u) << "size of the pixel data";
    const std::uint32_t offset = Le32(b, 10);
    ASSERT_EQ(offset + 4, b.size());
    const std::vector<std::uint8_t> data(b.begin() + offset, b.end());
    EXPECT_EQ(data, (std::vector<std::uint8_t>{0x01, 0x00, 0x00, 0x01}));
    ASSERT_GE(offset, 54u + 256u * 4u) << "room for a 256-entry palette";
    for (std::size_t entry = 0; entry < 256; ++entry) {
      const std::size_t at = 54 + entry * 4;  // blue, green, red, reserved
      const Rgba expected = entry == 0 ? c.colour : kWhite;
      EXPECT_EQ((Rgba{b[at + 2], b[at + 1], b[at], 255}), expected) << "palette entry " << entry;
    }

    const Surface star = Load(c.file);
    ASSERT_NE(star, nullptr);
    ASSERT_EQ(star->w, 1);
    ASSERT_EQ(star->h, 1);
    EXPECT_EQ(Pixels(*star).At(0, 0), c.colour);
  }
}

// --- window icon -----------------------------------------------------------

struct IconEntry {
  int size = 0;
  std::vector<std::uint8_t> directory;  // its 16-byte directory record
  std::vector<std::uint8_t> image;      // BITMAPINFOHEADER, palette, XOR and AND masks
};

std::vector<IconEntry> ReadIcon(const std::vector<std::uint8_t>& b) {
  std::vector<IconEntry> entries;
  if (b.size() < 6 || Le16(b, 0) != 0 || Le16(b, 2) != 1) {
    ADD_FAILURE() << "not an icon file";
    return entries;
  }
  for (std::uint32_t i = 0; i < Le16(b, 4); ++i) {
    const std::size_t dir = 6 + 16 * i;
    const std::uint32_t bytes = Le32(b, dir + 8), offset = Le32(b, dir + 12);
    if (offset + bytes > b.size()) {
      ADD_FAILURE() << "entry " << i << " runs past the end of the file";
      return {};
    }
    entries.push_back({b.at(dir) == 0 ? 256 : b.at(dir),
                       {b.begin() + static_cast<std::ptrdiff_t>(dir), b.begin() + static_cast<std::ptrdiff_t>(dir + 16)},
                       {b.begin() + offset, b.begin() + offset + bytes}});
  }
  return entries;
}

TEST(WindowIcon, HoldsThreeSquare256ColourImages) {
  const auto entries = ReadIcon(ReadBytes("zenora.ico"));
  std::set<int> sizes;
  for (const auto& e : entries) {
    SCOPED_TRACE("icon " + std::to_string(e.size));
    sizes.insert(e.size);
    EXPECT_EQ(Le16(e.directory, 6), 8u) << "directory: bits per pixel";
    const auto& img = e.image;
    ASSERT_GE(img.size(), 40u);
    EXPECT_EQ(Le32(img, 0), 40u);
    EXPECT_EQ(static_cast<int>(Le32(img, 4)), e.size);
    EXPECT_EQ(static_cast<int>(Le32(img, 8)), 2 * e.size) << "height counts the XOR and AND masks";
    EXPECT_EQ(Le16(img, 14), 8u);
    EXPECT_EQ(Le32(img, 16), 0u) << "uncompressed";
    const std::size_t xor_bytes = static_cast<std::size_t>((e.size + 3) / 4 * 4) * e.size;
    const std::size_t and_bytes = static_cast<std::size_t>((e.size + 31) / 32 * 4) * e.size;
    EXPECT_EQ(img.size(), 40 + 256 * 4 + xor_bytes + and_bytes);
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48}));

  const Surface whole = Load("zenora.ico");
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(whole->w, whole->h);
  EXPECT_TRUE(sizes.count(whole->w)) << "decoded icon is " << whole->w << " px";
}

TEST(WindowIcon, EachSizeShowsTheSameEmblemAsItsDesktopPng) {
  const auto entries = ReadIcon(ReadBytes("zenora.ico"));
  ASSERT_EQ(entries.size(), 3u);
  for (const auto& e : entries) {
    SCOPED_TRACE("icon " + std::to_string(e.size));
    // The entry alone, as a one-image icon file, so the decoder has no choice.
    std::vector<std::uint8_t> single = {0, 0, 1, 0, 1, 0};
    single.insert(single.end(), e.directory.begin(), e.directory.begin() + 12);
    single.insert(single.end(), {22, 0, 0, 0});
    single.insert(single.end(), e.image.begin(), e.image.end());
    Surface icon(IMG_LoadTyped_RW(SDL_RWFromConstMem(single.data(), static_cast<int>(single.size())), 1, "ICO"));
    ASSERT_NE(icon, nullptr) << IMG_GetError();
    const Surface png = Load("icons/zenora-intro-" + std::to_string(e.size) + ".png");
    ASSERT_NE(png, nullptr);
    ASSERT_EQ(icon->w, e.size);
    ASSERT_EQ(png->w, e.size);
    ASSERT_EQ(png->h, e.size);

    const Pixels from_ico(*icon), from_png(*png);
    int clear = 0;
    for (int y = 0; y < e.size; ++y) {
      for (int x = 0; x < e.size; ++x) {
        const Rgba a = from_ico.At(x, y), b = from_png.At(x, y);
        ASSERT_EQ(a.a, b.a) << "transparency differs at " << x << ',' << y;
        if (a.a != 0) {
          ASSERT_EQ(a, b) << "at " << x << ',' << y;
        }
        clear += a.a == 0 ? 1 : 0;
      }
    }
    EXPECT_EQ(from_ico.At(0, 0).a, 0) << "the corners are cut off";
    EXPECT_EQ(from_ico.At(e.size / 2, e.size / 2).a, 255);
    EXPECT_LT(clear, e.size * e.size / 4);
  }
}

}  // namespace
