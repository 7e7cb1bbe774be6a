// The whole program on the headless backend and a virtual clock: minutes (and
// a day) of intro in seconds, checked against the numbers the intro is made of.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "headless_backend.hpp"
#include "intro.hpp"
#include "text.hpp"

namespace zenora {
namespace {

namespace fs = std::filesystem;
using Kind = tk::MouseEvent::Kind;
const fs::path kBuildDir = ZENORA_BUILD_DIR;
constexpr tk::Pixel kBlack = 0x000000, kWhite = 0xFFFFFF, kGrey = 0xA5A5A5;

// Pixels of this colour in rows y0 to y1 - 1.
int Count(const tk::Surface& f, int y0, int y1, tk::Pixel colour) {
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = 0; x < 320; ++x) n += f.At(x, y) == colour;
  }
  return n;
}

const Assets& Art() {
  static const Assets assets = LoadAssets();
  return assets;
}

using Bytes = std::span<const unsigned char>;
std::uint32_t Le16(Bytes b, std::size_t at) { return b[at] | b[at + 1] << 8; }
std::uint32_t Le32(Bytes b, std::size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }

// The running form, driven and read through its state.
struct Intro {
  ZENOrA& form;
  tk::HeadlessBackend& backend;

  void RunUntil(std::int64_t ms) { form.Loop().RunUntil(backend.Clock(), ms); }
  const tk::Surface& Frame() const { return backend.LastFrame(); }
  void Mouse(Kind kind, int x, int y, std::int16_t button = 1) {
    backend.Inject(tk::MouseEvent{kind, x, y, button, 0});
    form.Loop().DoEvents();
  }
  FormState State() const { return form.Snapshot(); }
};

// Runs the program from folder as main does; body gets the running intro.
int RunHeadless(tk::HeadlessBackend& backend, const fs::path& folder, const std::function<void(Intro&)>& body) {
  return RunIntro(backend, folder, [&](ZENOrA& form) {
    Intro intro{form, backend};
    body(intro);
    return 0;
  });
}

// The window's images as the program decodes them, and the bytes of their
// files where the format binds.
TEST(Assets, SizesDepthsAndColoursOfTheWindowsImages) {
  // The window picture: 320 x 130 in 256 colours, opaque, plain light grey
  // under the wireframe.
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
      const auto c = static_cast<int>(Art().window.At(x, y));
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

// What holds in every frame: the picture shows except for one logo, black, in
// the top right (its points lie within 4.9 units of the origin, so the
// projection keeps it in x 231-318, y 32-110; the start figure of the first
// frame in x 255-291, y 40-58), nothing shows on the frame rows of the strips,
// and repainting only what changed equals painting everything.
void ExpectSoundFrame(const Intro& in, std::int64_t ms) {
  const tk::Surface& f = in.Frame();
  tk::Surface full;
  in.form.Form().Compose(full);
  ASSERT_EQ(f, full) << "at " << ms;
  const bool first = ms == 20;
  int logo = 0;
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 320; ++x) {
      if ((x >= 304 && x < 313 && y >= 8 && y < 17) || f.At(x, y) == Art().window.At(x, y)) continue;
      const bool inside = first ? x >= 255 && x <= 291 && y >= 40 && y <= 58 : x >= 231 && y >= 32 && y <= 110;
      ASSERT_TRUE(f.At(x, y) == kBlack && inside) << x << "," << y << " at " << ms;
      ++logo;
    }
  }
  ASSERT_TRUE(ms == 0 || (logo > 40 && logo < 600)) << logo << " logo pixels at " << ms;
  for (const int y : {128, 138, 139, 173, 174, 184, 185, 188}) ASSERT_EQ(Count(f, y, y + 1, kBlack), 320) << y;
}

// The window as it shows before the first tick.
void ExpectWindowAtStart(const Intro& in) {
  const tk::Surface& f = in.Frame();
  ASSERT_EQ(f.Width() * 1000 + f.Height(), 320'189);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 9; ++x) ASSERT_EQ(f.At(304 + x, 8 + y), Art().close_normal.At(x, y)) << x << "," << y;
  }
  for (const int top : {129, 175}) {  // white text on black in both banners
    EXPECT_EQ(Count(f, top, top + 9, kBlack) + Count(f, top, top + 9, kWhite), 9 * 320) << top;
    EXPECT_GT(Count(f, top, top + 9, kWhite), 200) << top;
  }
  // Every star in the strip's inner area shows; stars 4, 7, 13 and 16 lie below it.
  EXPECT_EQ(Count(f, 140, 173, kGrey), 25 - 4);
  EXPECT_EQ(Count(f, 140, 173, kWhite), 18);
  EXPECT_EQ(f.At(1 + 12, 140 + 21), kGrey);   // star 0 at (180, 315) twips
  EXPECT_EQ(f.At(1 + 28, 140 + 13), kWhite);  // star 25 at (420, 195)
  ExpectSoundFrame(in, 0);
}

// One run of the form, checked in turn at the instants where its numbers show.
TEST(Intro, WindowLogoStarsTickerAndMusicKeepTheirTimeline) {
  using State = const FormState&;
  struct Expect {
    std::int64_t ms;
    std::function<void(State)> check;
  };
  std::vector<Expect> timeline{
      {0,
       [](State s) {
         EXPECT_EQ(s.EdgeCount, 24);
         EXPECT_EQ(s.MusicFile, kBuildDir.string() + "/LIGHT.S3M");
       }},
      // The first frame is drawn with the angles at 0, then they grow by the
      // start spins 2, 3, 4 each tick until TimerTune picks 4, 4, 4 at 1 s.
      {20, [](State s) { EXPECT_EQ(s.AngleA, 2); }},
      {40, [](State s) { EXPECT_EQ(s.AngleB, 6); }},
      {980,
       [](State s) {
         EXPECT_EQ(s.AngleC, 196);
         EXPECT_EQ(s.SpinA, 2);
       }},
      {1000,
       [](State s) {
         EXPECT_EQ((std::vector{s.SpinA, s.SpinB, s.SpinC}), (std::vector<std::int16_t>{4, 4, 4}));
       }},
      {1020, [](State s) { EXPECT_EQ(s.AngleC, 204); }},
      // Stars 1 and 32 fall below 0 and wrap in the first tick; star 4 comes
      // to exactly 10 and wraps in tick 28, star 39 from 1 in tick 167 and
      // from -6 in tick 385; a wrapped star moves from 4790 on the next tick.
      {20,
       [](State s) {
         EXPECT_EQ((std::vector{s.star_Left[0], s.star_Left[1], s.star_Left[32]}),
                   (std::vector<float>{179, 4790, 4790}));
       }},
      {40, [](State s) { EXPECT_EQ(s.star_Left[32], 4777); }},
      {540, [](State s) { EXPECT_EQ(s.star_Left[4], 15); }},
      {560, [](State s) { EXPECT_EQ(s.star_Left[4], 4790); }},
      {3320, [](State s) { EXPECT_EQ(s.star_Left[39], 23); }},
      {3340, [](State s) { EXPECT_EQ(s.star_Left[39], 4790); }},
      {7680, [](State s) { EXPECT_EQ(s.star_Left[39], 16); }},
      {7700, [](State s) { EXPECT_EQ(s.star_Left[39], 4790); }},
      // The ticker shows row 1 after the first hold and step down, and again a pass later.
      {5329, [](State s) { EXPECT_EQ(s.InfoIndex, 0); }},
      {5330, [](State s) { EXPECT_EQ(s.InfoIndex, 1); }},
      {90300, [](State s) { EXPECT_EQ(s.InfoIndex, 1); }},
      // The music restarts on the 270th TimerTune tick.
      {269000, [](State s) { EXPECT_EQ(s.TuneSeconds, 269); }},
      {270000, [](State s) { EXPECT_EQ(s.TuneSeconds, 0); }},
      {271000, [](State s) { EXPECT_EQ(s.TuneSeconds, 1); }}};
  // The first ramps tick by tick, through the greys to black and back.
  const tk::OleColor ramp[] = {0xFFFFFF, 0xE0E0E0, 0xC0C0C0, 0x808080, 0x404040, 0,
                               0,        0x404040, 0x808080, 0xC0C0C0, 0xE0E0E0, 0xFFFFFF};
  for (std::int64_t i = 0; i < std::ssize(ramp); ++i) {
    timeline.push_back({5055 + 55 * i, [colour = ramp[i]](State s) { EXPECT_EQ(s.lblInfos_ForeColor, colour); }});
  }
  // Two passes through the rows: each comes up, black, 330 ms after its
  // predecessor's hold of five ticks (250 ms for the pauses 3, 7 and 13, else
  // 1000 ms) ended, and is held once the colour is back to white.
  std::string caption;
  for (std::int64_t k = 1, at = 5330; k <= 35; ++k, at += 330) {
    const std::size_t row = k % 17;
    const int hold = row == 3 || row == 7 || row == 13 ? 250 : 1000;
    EXPECT_LE(tk::TextWidth(ticker::kInfoTexts[row]), 289) << row;
    timeline.push_back({at - 1, [caption](State s) { EXPECT_EQ(s.lblInfos_Caption, caption); }});
    caption = ticker::kInfoTexts[row];
    timeline.push_back({at, [caption](State s) {
                          EXPECT_EQ(s.lblInfos_Caption, caption);
                          EXPECT_EQ(s.lblInfos_ForeColor, 0u);
                        }});
    timeline.push_back({at + 330, [hold](State s) {
                          EXPECT_TRUE(s.TimerText.Enabled);
                          EXPECT_EQ(s.TimerText.Interval, hold);
                        }});
    at += 330 + 5 * hold;
  }
  for (const std::size_t row : {0, 3, 7, 13}) EXPECT_EQ(ticker::kInfoTexts[row], "");
  std::stable_sort(timeline.begin(), timeline.end(), [](const Expect& a, const Expect& b) { return a.ms < b.ms; });

  tk::HeadlessBackend backend;
  const int status = RunHeadless(backend, kBuildDir, [&](Intro& in) {
    in.RunUntil(0);
    ExpectWindowAtStart(in);
    for (const auto& [ms, check] : timeline) {
      in.RunUntil(ms);
      const FormState s = in.State();
      ASSERT_EQ(s.time_ms, ms);
      check(s);
      ASSERT_FALSE(::testing::Test::HasFailure()) << "at " << ms << " ms";
      ASSERT_EQ(s.TimerText.Enabled + s.TimerFadeIn.Enabled + s.TimerFadeOut.Enabled, 1) << "at " << ms;
      ASSERT_TRUE(ms < 1000 ||
                  (s.SpinA >= 3 && s.SpinA <= 4 && s.SpinB >= 2 && s.SpinB <= 5 && s.SpinC >= 1 && s.SpinC <= 6))
          << ms;
      ExpectSoundFrame(in, ms);
    }
  });
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(backend.Boxes().empty());
}

// One session without the music file: two boxes at start and at every
// restart, the window runs on; then the mouse rules, up to the closing click.
TEST(Session, WithoutMusicBoxesAtEveryRestartDragHoverAndTheClosingClick) {
  const fs::path folder = fs::temp_directory_path() / ("zenora-nomusic-" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::create_symlink(kBuildDir / "libbassmod.so", folder / "libbassmod.so");
  tk::HeadlessBackend backend;
  const auto& boxes = backend.Boxes();
  const int status = RunHeadless(backend, folder, [&](Intro& in) {
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].prompt, "Can't Load Music\r\n\r\nError Code : 2\r\nCan't Open the File");
    EXPECT_EQ(boxes[1].prompt, "Can't play music\r\n\r\nError Code : 5\r\nInvalid Handle");
    for (const auto& [ms, count] : {std::pair{269'999, 2u}, {270'000, 4u}, {540'000, 6u}}) {
      in.RunUntil(ms);
      ASSERT_EQ(boxes.size(), count) << ms;
    }
    EXPECT_EQ(boxes[4].prompt + boxes[5].prompt, boxes[0].prompt + boxes[1].prompt);

    // The form's own surface: where a press drags, and what a Wayland compositor is told to drag.
    for (const auto& [x, y] : {std::pair{0, 0}, {319, 127}, {303, 12}, {313, 12}, {160, 185}, {319, 188}}) {
      EXPECT_TRUE(in.form.Form().OwnSurfaceAt(x, y)) << x << "," << y;
    }
    for (const auto& [x, y] :
         {std::pair{304, 8}, {312, 16}, {0, 128}, {160, 150}, {200, 179}, {319, 184}, {-1, 5}, {320, 5}, {5, 189}}) {
      EXPECT_FALSE(in.form.Form().OwnSurfaceAt(x, y)) << x << "," << y;
    }

    // Any button drags, the grabbed point staying under the pointer. Then
    // three moves at once: the first one's yield runs the others inside it,
    // and each reads the window's place afresh.
    for (const std::int16_t button : {std::int16_t{1}, std::int16_t{2}, std::int16_t{4}}) {
      const FormState before = in.State();
      in.Mouse(Kind::Down, 100, 50, button);
      in.Mouse(Kind::Move, 130, 60, button);
      EXPECT_EQ((in.State().Left - before.Left) * 1000 + in.State().Top - before.Top, 450'150) << button;
      for (int i = 0; i < 3; ++i) backend.Inject(tk::MouseEvent{Kind::Move, 110, 50, button, 0});
      in.Mouse(Kind::Up, 110, 50, button);
      EXPECT_EQ(in.State().Left - before.Left, 450 + 3 * 150) << button;
    }
    in.Mouse(Kind::Down, 100, 50);
    in.Mouse(Kind::Move, -2000, -900);  // off the screen is allowed
    EXPECT_LT(backend.WindowY(), 0);
    in.Mouse(Kind::Up, -2000, -900);
    // A release lost on its way: the first move without the button ends the
    // drag, and moves the window no more; the late release finds no drag.
    const float left = in.State().Left;
    in.Mouse(Kind::Down, 100, 50);
    in.Mouse(Kind::Move, 140, 50, 0);
    EXPECT_EQ(in.State().Dragging * 1000 + (in.State().Left - left), 0);
    in.Mouse(Kind::Up, 140, 50);

    // The hover glyph shows from a move over the normal one until the next
    // move over the form's own surface; moves over the star strip leave it.
    const std::tuple<int, int, bool> hover[] = {
        {306, 10, true}, {306, 150, true}, {200, 10, false}, {306, 150, false}, {306, 10, true}};
    for (const auto& [x, y, visible] : hover) {
      in.Mouse(Kind::Move, x, y, 0);
      EXPECT_EQ(in.State().cmdClose_Visible, visible) << x << "," << y;
    }
    in.Mouse(Kind::Move, 307, 12, 0);  // on the grey glyph nothing runs
    in.Mouse(Kind::Down, 307, 12);     // its release lost: no click
    in.Mouse(Kind::Move, 307, 12, 0);
    in.Mouse(Kind::Down, 307, 12);
    in.Mouse(Kind::Up, 307, 12);
    ADD_FAILURE() << "the click did not end the program";
  });
  EXPECT_EQ(status, 0);
  fs::remove_all(folder);
}

// The library's version text must be exactly "1.6": one box, no window,
// status 1, and Init never called, so the library still takes a first one.
TEST(StartUp, RefusesVersionsOtherThanExactlyOnePointSix) {
  for (const char* variant : {"v2_0", "v1_60"}) {
    const fs::path folder = kBuildDir / "testlibs" / variant;
    void* library = dlopen((folder / "libbassmod.so").c_str(), RTLD_NOW);  // the program's copy is this one
    ASSERT_NE(library, nullptr);
    tk::HeadlessBackend backend;
    EXPECT_EQ(RunHeadless(backend, folder, [](Intro&) { ADD_FAILURE() << "started"; }), 1) << variant;
    EXPECT_FALSE(backend.Shown()) << variant;
    ASSERT_EQ(backend.Boxes().size(), 1u) << variant;
    EXPECT_EQ(backend.Boxes()[0].prompt, "BASSMOD version 1.6 was not loaded\r\n\r\nError Code : 0\r\nAll is OK");
    auto* init = reinterpret_cast<int (*)(int, unsigned, unsigned)>(dlsym(library, "BASSMOD_Init"));
    EXPECT_NE(init(0, 44100, 0) & 0xFFFF, 0) << variant;
    reinterpret_cast<int (*)()>(dlsym(library, "BASSMOD_Free"))();
    dlclose(library);
  }
}

long ResidentKiB() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// A day of intro, about 4.3 million animation ticks and 320 music restarts:
// memory stays flat and the logo stays where it belongs.
TEST(LongRun, TwentyFourHoursOfIntro) {
  tk::HeadlessBackend backend;
  const int status = RunHeadless(backend, kBuildDir, [&](Intro& in) {
    constexpr std::int64_t kHour = 3'600'000;
    in.RunUntil(kHour);
    const long settled = ResidentKiB();
    for (std::int64_t hour = 2; hour <= 24; ++hour) {
      in.RunUntil(hour * kHour);
      ExpectSoundFrame(in, hour * kHour);
      ASSERT_LT(ResidentKiB() - settled, 2048) << "hour " << hour;
    }
    EXPECT_GE(in.State().AngleA, 1e6);  // past a million degrees, never wrapped
    std::cout << "resident memory after 1 h: " << settled << " KiB, after 24 h: " << ResidentKiB() << " KiB\n";
  });
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(backend.Boxes().empty());
}

}  // namespace
}  // namespace zenora
