// The GIF writer: what a decoder shows is what was captured, frame by frame,
// whichever way each frame had to be written.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gif_writer.hpp"
#include "surface.hpp"

namespace {

using tk::Pixel;
using tk::Surface;

Pixel Rgb(int r, int g, int b) { return static_cast<Pixel>(r << 16 | g << 8 | b); }

int ChannelError(Pixel a, Pixel b) {
  int worst = 0;
  for (int shift : {0, 8, 16}) worst = std::max(worst, std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)));
  return worst;
}

// The animation as SDL_image decodes it: whole frames, each with its delay.
std::vector<std::pair<Surface, int>> Decode(const std::filesystem::path& path) {
  const std::unique_ptr<IMG_Animation, decltype(&IMG_FreeAnimation)> gif(IMG_LoadAnimation(path.c_str()),
                                                                         &IMG_FreeAnimation);
  if (!gif) throw std::runtime_error(std::string("cannot decode: ") + IMG_GetError());
  std::vector<std::pair<Surface, int>> frames;
  for (int i = 0; i < gif->count; ++i) {
    const std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> rgb(
        SDL_ConvertSurfaceFormat(gif->frames[i], SDL_PIXELFORMAT_RGB888, 0), &SDL_FreeSurface);
    Surface frame(rgb->w, rgb->h);
    for (int y = 0; y < rgb->h; ++y) {
      const auto* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(rgb->pixels) +
                                                        static_cast<std::ptrdiff_t>(y) * rgb->pitch);
      for (int x = 0; x < rgb->w; ++x) frame.Set(x, y, row[x] & 0xFFFFFFu);
    }
    frames.emplace_back(std::move(frame), gif->delays[i]);
  }
  return frames;
}

class GifFile : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }
  // Writes the frames at 2 cs each and decodes them again.
  std::vector<std::pair<Surface, int>> RoundTrip(const std::vector<Surface>& frames) {
    zenora::GifWriter gif(dir / "a.gif", frames[0].Width(), frames[0].Height(), 2);
    for (const Surface& f : frames) gif.AddFrame(f);
    EXPECT_FALSE(std::filesystem::exists(dir / "a.gif"));  // not before it is whole
    gif.Finish();
    return Decode(dir / "a.gif");
  }
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("gif-" + std::to_string(::getpid()));
};

// Frames 64 x 40 over 256 colours (a full palette, as the intro's picture
// gives) and 8 rare ones that must take their nearest, one step away.
TEST_F(GifFile, EveryWayOfWritingAFrameDecodesToIt) {
  Surface base(64, 40);
  for (int i = 0; i < 64 * 40; ++i) base.Set(i % 64, i / 64, Rgb(i % 256, 255 - i % 256, 100));
  Surface shown = base;  // what the palette can show of it
  for (int i = 0; i < 8; ++i) {
    base.Set(i * 8, 39, Rgb(i * 8 + 128, 127 - i * 8, 101));
    shown.Set(i * 8, 39, Rgb(i * 8 + 128, 127 - i * 8, 100));
  }
  std::vector<Surface> frames{base, base};  // the first, then no change
  frames.push_back(frames.back());
  frames.back().Line(3, 5, 50, 30, Rgb(9, 246, 100));  // palette colours only
  frames.push_back(frames.back());
  for (int i = 0; i < 40; ++i) frames.back().Set(10 + i, 20, Rgb(i, 7, 7));  // new colours: a palette of their own
  frames.push_back(frames.back());
  for (int i = 0; i < 300; ++i) {  // too many new colours
    frames.back().Set(i % 60, 2 + i / 60, Rgb(i % 128 * 2, 255 - i % 128 * 2, 103 + i / 128 % 2));
  }
  frames.push_back(base);  // and back

  const auto decoded = RoundTrip(frames);
  ASSERT_EQ(decoded.size(), frames.size());
  for (std::size_t f = 0; f < frames.size(); ++f) {
    EXPECT_EQ(decoded[f].second, 20) << "frame " << f;
    ASSERT_EQ(decoded[f].first.Width(), 64);
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 64; ++x) {
        const Pixel want = frames[f].At(x, y) == base.At(x, y) ? shown.At(x, y) : frames[f].At(x, y);
        const bool nearest = f == 4 && y >= 2 && y < 7;
        ASSERT_LE(ChannelError(decoded[f].first.At(x, y), want), nearest ? 4 : 0) << f << ": " << x << "," << y;
      }
    }
  }
}

TEST_F(GifFile, ManyColoursAreReducedToNearbyOnes) {
  std::vector<Surface> frames(2, Surface(64, 64));  // the second drawn with the first one's palette
  for (int i = 0; i < 64 * 64; ++i) {
    frames[0].Set(i % 64, i / 64, Rgb(i % 64 * 4, i / 64 * 4, 128));
    frames[1].Set(i % 64, i / 64, Rgb(i / 64 * 4, i % 64 * 4, 120));
  }
  const auto decoded = RoundTrip(frames);
  ASSERT_EQ(decoded.size(), 2u);
  for (std::size_t f = 0; f < 2; ++f) {
    int worst = 0;
    long total = 0;
    for (int i = 0; i < 64 * 64; ++i) {
      const int e = ChannelError(decoded[f].first.At(i % 64, i / 64), frames[f].At(i % 64, i / 64));
      worst = std::max(worst, e);
      total += e;
    }
    EXPECT_LE(worst, 40) << "frame " << f;
    EXPECT_LE(total / (64L * 64), 12) << "frame " << f;
  }
}

TEST_F(GifFile, RefusesWhatItCannotWriteAndLeavesNoBrokenFile) {
  EXPECT_THROW(zenora::GifWriter(dir / "no-such-folder" / "x.gif", 10, 10, 2), zenora::CaptureError);
  EXPECT_THROW(zenora::GifWriter(dir / "x.gif", 0, 10, 2), zenora::GifError);
  zenora::GifWriter(dir / "unfinished.gif", 10, 10, 2).AddFrame(Surface(10, 10));  // and dropped
  EXPECT_TRUE(std::filesystem::is_empty(dir));                                     // nothing left under any name
}

}  // namespace
