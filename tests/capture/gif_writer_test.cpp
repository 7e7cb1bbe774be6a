// The GIF writer and the capture tool's options: what a decoder sees is what
// was captured, frame by frame, at 50 frames per second.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture_options.hpp"
#include "capture/gif_writer.hpp"
#include "toolkit/surface.hpp"

namespace {

using tk::Pixel;
using tk::Surface;

Pixel Rgb(int r, int g, int b) { return static_cast<Pixel>(r << 16 | g << 8 | b); }

int ChannelError(Pixel a, Pixel b) {
  int worst = 0;
  for (int shift : {0, 8, 16}) {
    worst = std::max(worst, std::abs(static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF)));
  }
  return worst;
}

class TempFolder {
 public:
  TempFolder() : path_(std::filesystem::temp_directory_path() / ("zenora-gif-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The animation as SDL_image decodes it: whole frames and their delays.
struct Decoded {
  int width = 0;
  int height = 0;
  std::vector<Surface> frames;
  std::vector<int> delays_ms;
};

Decoded Decode(const std::filesystem::path& path) {
  const std::unique_ptr<IMG_Animation, decltype(&IMG_FreeAnimation)> animation(IMG_LoadAnimation(path.c_str()),
                                                                               &IMG_FreeAnimation);
  if (!animation) throw std::runtime_error(std::string("cannot decode: ") + IMG_GetError());
  Decoded out{animation->w, animation->h, {}, {}};
  for (int i = 0; i < animation->count; ++i) {
    const std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> rgb(
        SDL_ConvertSurfaceFormat(animation->frames[i], SDL_PIXELFORMAT_RGB888, 0), &SDL_FreeSurface);
    Surface frame(rgb->w, rgb->h);
    for (int y = 0; y < rgb->h; ++y) {
      const auto* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(rgb->pixels) + y * rgb->pitch);
      for (int x = 0; x < rgb->w; ++x) frame.Set(x, y, row[x] & 0xFFFFFFu);
    }
    out.frames.push_back(std::move(frame));
    out.delays_ms.push_back(animation->delays[i]);
  }
  return out;
}

// 200 colours in bands, a picture a real palette holds exactly.
Surface Banded(int width, int height) {
  Surface s(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) s.Set(x, y, Rgb((x * 7) % 200, 40 + y % 3, 255 - (x * 7) % 200));
  }
  return s;
}

TEST(GifWriter, FramesDecodeExactlyWithTheirDelays) {
  TempFolder dir;
  std::vector<Surface> frames;
  frames.push_back(Banded(60, 40));
  frames.push_back(frames.back());  // nothing changes
  frames.push_back(frames.back());
  frames.back().Line(3, 5, 50, 30, 0);  // a black line: a small changed rectangle
  frames.push_back(frames.back());
  for (int i = 0; i < 40; ++i) frames.back().Set(10 + i, 20, Rgb(i, 250, i));  // colours outside the first palette
  frames.push_back(Banded(60, 40));                                            // and back

  zenora::GifWriter gif(dir / "a.gif", 60, 40, 2);
  for (const Surface& f : frames) gif.AddFrame(f);
  gif.Finish();
  EXPECT_EQ(gif.Frames(), 5);

  const Decoded decoded = Decode(dir / "a.gif");
  EXPECT_EQ(decoded.width, 60);
  EXPECT_EQ(decoded.height, 40);
  ASSERT_EQ(decoded.frames.size(), frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(decoded.frames[i], frames[i]) << "frame " << i;
    EXPECT_EQ(decoded.delays_ms[i], 20) << "frame " << i;
  }
}

TEST(GifWriter, CommonColoursStayExactWhenAFewRareOnesOverflowThePalette) {
  // 256 colours fill the picture; a few pixels of 8 more colours, one apart
  // from common ones, must take the nearest.
  Surface s(320, 10);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 320; ++x) s.Set(x, y, Rgb(x % 256, 100, 0));
  }
  for (int i = 0; i < 8; ++i) s.Set(i * 30, 9, Rgb(i * 30, 101, 0));

  const zenora::GifPalette palette = zenora::ChoosePalette(s);
  EXPECT_EQ(palette.colours.size(), 256u);
  TempFolder dir;
  {
    zenora::GifWriter gif(dir / "b.gif", 320, 10, 2);
    gif.AddFrame(s);
    gif.Finish();
  }
  const Decoded decoded = Decode(dir / "b.gif");
  ASSERT_EQ(decoded.frames.size(), 1u);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 320; ++x) {
      const bool rare = y == 9 && x % 30 == 0 && x < 240;
      if (rare) {
        EXPECT_EQ(decoded.frames[0].At(x, y), Rgb(x, 100, 0)) << x;
      } else {
        ASSERT_EQ(decoded.frames[0].At(x, y), s.At(x, y)) << x << "," << y;
      }
    }
  }
}

TEST(GifWriter, ManyColoursAreReducedToNearbyOnes) {
  // 4096 colours: the first frame gets a quantised palette, the second one
  // (a shifted gradient) is drawn with it.
  Surface first(64, 64);
  Surface second(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      first.Set(x, y, Rgb(x * 4, y * 4, 128));
      second.Set(x, y, Rgb(y * 4, x * 4, 120));
    }
  }
  TempFolder dir;
  {
    zenora::GifWriter gif(dir / "c.gif", 64, 64, 2);
    gif.AddFrame(first);
    gif.AddFrame(second);
    gif.Finish();
  }
  const Decoded decoded = Decode(dir / "c.gif");
  ASSERT_EQ(decoded.frames.size(), 2u);
  for (std::size_t f = 0; f < 2; ++f) {
    const Surface& original = f == 0 ? first : second;
    long total = 0;
    int worst = 0;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) {
        const int e = ChannelError(decoded.frames[f].At(x, y), original.At(x, y));
        total += e;
        worst = std::max(worst, e);
      }
    }
    EXPECT_LE(worst, 40) << "frame " << f;
    EXPECT_LE(static_cast<double>(total) / (64 * 64), 12.0) << "frame " << f;
  }
}

TEST(GifWriter, RefusesWhatItCannotWriteAndLeavesNoBrokenFile) {
  TempFolder dir;
  EXPECT_THROW(zenora::GifWriter(dir / "no-such-folder" / "x.gif", 10, 10, 2), zenora::GifError);
  EXPECT_THROW(zenora::GifWriter(dir / "x.gif", 0, 10, 2), zenora::GifError);

  {
    zenora::GifWriter gif(dir / "wrong-size.gif", 10, 10, 2);
    EXPECT_THROW(gif.AddFrame(Surface(11, 10)), zenora::GifError);
    EXPECT_THROW(gif.Finish(), zenora::GifError);  // no frame yet
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "wrong-size.gif"));

  {
    zenora::GifWriter gif(dir / "unfinished.gif", 10, 10, 2);
    gif.AddFrame(Surface(10, 10));
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "unfinished.gif"));

  zenora::GifWriter gif(dir / "done.gif", 10, 10, 2);
  gif.AddFrame(Surface(10, 10));
  gif.Finish();
  EXPECT_THROW(gif.AddFrame(Surface(10, 10)), zenora::GifError);
  EXPECT_TRUE(std::filesystem::exists(dir / "done.gif"));
}

std::optional<zenora::CaptureOptions> Parse(std::vector<std::string> args) { return zenora::ParseCaptureOptions(args); }

TEST(CaptureOptions, GifAloneOrWithFrames) {
  const auto gif_only = Parse({"--out", "d", "--gif", "3"});
  ASSERT_TRUE(gif_only);
  EXPECT_EQ(gif_only->gif_seconds, 3);
  EXPECT_TRUE(gif_only->at_ms.empty());

  const auto both = Parse({"--gif", "1", "--at", "1000,25,10", "--out", "d"});
  ASSERT_TRUE(both);
  EXPECT_EQ(both->at_ms, (std::vector<std::int64_t>{10, 25, 1000}));
  const auto timeline = zenora::CaptureTimeline(*both);
  // 50 GIF frames (0 to 980 ms) plus 25 and 1000; 10 falls on no frame of
  // its own either, as frames are every 20 ms.
  EXPECT_EQ(timeline.size(), 53u);
  EXPECT_TRUE(std::is_sorted(timeline.begin(), timeline.end()));
  EXPECT_EQ(timeline.front(), 0);
  EXPECT_EQ(timeline.back(), 1000);

  const auto frames_only = Parse({"--out", "d", "--at", "0"});
  ASSERT_TRUE(frames_only);
  EXPECT_EQ(frames_only->gif_seconds, 0);
  EXPECT_EQ(zenora::CaptureTimeline(*frames_only), (std::vector<std::int64_t>{0}));
}

TEST(CaptureOptions, RefusesBadGifLengths) {
  for (const char* bad : {"0", "-1", "601", "2.5", "x", "", "3s"}) {
    EXPECT_FALSE(Parse({"--out", "d", "--gif", bad})) << '"' << bad << '"';
  }
  EXPECT_FALSE(Parse({"--out", "d", "--gif", "2", "--gif", "3"}));
  EXPECT_FALSE(Parse({"--out", "d"}));  // nothing to capture
  EXPECT_FALSE(Parse({"--gif", "2"}));  // nowhere to put it
  EXPECT_FALSE(Parse({"--out", "d", "--gif"}));
}

}  // namespace
