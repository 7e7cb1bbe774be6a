#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <utility>
#include <vector>

#include "app/intro.hpp"
#include "intro_fixture.hpp"
#include "toolkit/errors.hpp"

namespace zenora::testing {
namespace {

using Kind = tk::MouseEvent::Kind;
constexpr tk::Pixel kBlack = 0x000000, kWhite = 0xFFFFFF, kGrey = 0xA5A5A5;

TEST(Window, DefinitionAtStart) {
  ProgramFolder folder("layout");
  HeadlessIntro intro(folder);
  intro.RunUntil(0);
  const tk::Surface& f = intro.Frame();
  const Assets& assets = SharedAssets();
  ASSERT_EQ(f.Width(), 320);
  ASSERT_EQ(f.Height(), 189);
  EXPECT_EQ(intro.Backend().Title(), ":: ZENOrA ::");
  EXPECT_EQ(intro.Backend().WindowX(), 341);
  EXPECT_EQ(intro.Backend().WindowY(), 265);

  // The picture shows above the banner strip; the normal close glyph over it.
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 320; ++x) {
      const bool glyph = x >= 304 && x < 313 && y >= 8 && y < 17;
      const tk::Pixel want = glyph ? assets.close_normal.At(x - 304, y - 8) : assets.window.At(x, y);
      ASSERT_EQ(f.At(x, y), want) << x << "," << y;
    }
  }
  // Frames of the two strips, the gaps around the star strip, the form's own rows.
  for (const int y : {128, 138, 139, 173, 174, 184, 185, 186, 187, 188}) {
    for (int x = 0; x < 320; ++x) ASSERT_EQ(f.At(x, y), kBlack) << x << "," << y;
  }
  // Banners: white text on black in rows 129-137 and 175-183.
  for (const int top : {129, 175}) {
    int white = 0;
    for (int y = top; y < top + 9; ++y) {
      for (int x = 1; x < 320; ++x) {
        ASSERT_TRUE(f.At(x, y) == kBlack || f.At(x, y) == kWhite) << x << "," << y;
        white += f.At(x, y) == kWhite;
      }
    }
    EXPECT_GT(white, 200) << "banner at " << top;
  }
  // Every star in the strip's inner area shows at its place; those below it never.
  int grey = 0, white = 0;
  for (int y = 140; y < 173; ++y) {
    for (int x = 1; x < 320; ++x) {
      grey += f.At(x, y) == kGrey;
      white += f.At(x, y) == kWhite;
    }
  }
  EXPECT_EQ(grey, 25 - 4);  // stars 4, 7, 13 and 16 lie below the inner area
  EXPECT_EQ(white, 18);
  EXPECT_EQ(f.At(1 + 12, 140 + 21), kGrey);   // star 0 at (180, 315) twips
  EXPECT_EQ(f.At(1 + 28, 140 + 13), kWhite);  // star 25 at (420, 195)
}

// Pixels of the picture area (outside the glyph) that differ from the picture.
std::vector<std::pair<int, int>> LogoPixels(const tk::Surface& f) {
  std::vector<std::pair<int, int>> changed;
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 320; ++x) {
      const bool glyph = x >= 304 && x < 313 && y >= 8 && y < 17;
      if (!glyph && f.At(x, y) != SharedAssets().window.At(x, y)) changed.emplace_back(x, y);
    }
  }
  return changed;
}

TEST(Animation, FirstFramesSpinsAndTheStarStrip) {
  ProgramFolder folder("animation");
  HeadlessIntro intro(folder);
  intro.RunUntil(20);
  // The first frame: the start figure, in black, where the projection puts it.
  const auto first = LogoPixels(intro.Frame());
  EXPECT_GT(first.size(), 60u);
  for (const auto& [x, y] : first) {
    ASSERT_EQ(intro.Frame().At(x, y), kBlack);
    ASSERT_TRUE(x >= 255 && x <= 291 && y >= 40 && y <= 58) << x << "," << y;
  }
  EXPECT_EQ(intro.Field("AngleA"), "2");
  intro.RunUntil(40);  // drawn with 2, 3, 4; then advanced again
  EXPECT_EQ(intro.Field("AngleA") + " " + intro.Field("AngleB") + " " + intro.Field("AngleC"), "4 6 8");
  EXPECT_NE(LogoPixels(intro.Frame()), first);
  EXPECT_EQ(intro.Field("SpinA") + intro.Field("SpinB") + intro.Field("SpinC"), "234");
  intro.RunUntil(1000);
  EXPECT_EQ(intro.Field("SpinA") + intro.Field("SpinB") + intro.Field("SpinC"), "444");
  EXPECT_EQ(intro.Field("EdgeCount"), "24");

  // Over a minute of frames: the logo stays black in the top right (its points
  // lie within 4.9 units of the origin, so the projection keeps it inside
  // x 231-318, y 32-110), nothing
  // ever shows on the strip's frame row or below the banner strip.
  for (std::int64_t ms = 1020; ms <= 60000; ms += 1020) {
    intro.RunUntil(ms);
    const tk::Surface& f = intro.Frame();
    // Only what changed is repainted: it must match painting everything.
    tk::Surface full;
    intro.Form().Form().Compose(full);
    ASSERT_EQ(f, full) << "at " << ms;
    for (const auto& [x, y] : LogoPixels(f)) {
      ASSERT_EQ(f.At(x, y), kBlack) << ms;
      ASSERT_TRUE(x >= 231 && x <= 318 && y >= 32 && y <= 110) << x << "," << y << " at " << ms << intro.State();
    }
    for (const int y : {173, 174, 184, 185, 188}) {
      for (int x = 0; x < 320; ++x) ASSERT_EQ(f.At(x, y), kBlack) << x << "," << y << " at " << ms;
    }
    const int a = std::stoi(intro.Field("SpinA")), b = std::stoi(intro.Field("SpinB")),
              c = std::stoi(intro.Field("SpinC"));
    ASSERT_TRUE(a >= 3 && a <= 4 && b >= 2 && b <= 5 && c >= 1 && c <= 6) << intro.State();
  }
}

TEST(Animation, TickerStartsEmptyAndShowsItsFirstRowAfterTheFirstRamp) {
  ProgramFolder folder("ticker");
  HeadlessIntro intro(folder);
  intro.RunUntil(4999);
  EXPECT_EQ(intro.Field("lblInfos_Caption"), "\"\"");
  EXPECT_EQ(intro.Field("TimerText"), "{\"Enabled\": true");
  intro.RunUntil(5000);
  EXPECT_EQ(intro.Field("TimerFadeIn"), "{\"Enabled\": true");
  intro.RunUntil(5329);
  EXPECT_EQ(intro.Field("lblInfos_Caption"), "\"\"");
  intro.RunUntil(5330);
  EXPECT_EQ(intro.Field("lblInfos_Caption"), "\"Back from the old skool c64 scene...\"");
  EXPECT_EQ(intro.Field("lblInfos_ForeColor"), "0");
  intro.RunUntil(5660);
  EXPECT_EQ(intro.Field("lblInfos_ForeColor"), "16777215");
  // White text in the strip now, centred on the label.
  int white_left = 0, white_right = 0;
  for (int y = 150; y < 159; ++y) {
    for (int x = 17; x < 306; ++x) (x < 160 ? white_left : white_right) += intro.Frame().At(x, y) == kWhite;
  }
  EXPECT_GT(white_left, 50);
  EXPECT_GT(white_right, 50);
}

TEST(Music, RestartsEveryTuneLengthSecondsAndCountsInBetween) {
  ProgramFolder folder("music");
  HeadlessIntro intro(folder);
  EXPECT_EQ(intro.Field("MusicFile"), "\"" + folder.Path().string() + "/LIGHT.S3M\"");
  intro.RunUntil(269'000);
  EXPECT_EQ(intro.Field("TuneSeconds"), "269");
  intro.RunUntil(270'000);
  EXPECT_EQ(intro.Field("TuneSeconds"), "0");
  intro.RunUntil(271'000);
  EXPECT_EQ(intro.Field("TuneSeconds"), "1");
  EXPECT_TRUE(intro.Backend().Boxes().empty());
}

TEST(Music, AMissingFileGivesTheTwoBoxesAtStartAndAtEveryRestart) {
  ProgramFolder folder("nomusic", kBuildDir / "libbassmod.so", false);
  HeadlessIntro intro(folder);
  const auto& boxes = intro.Backend().Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, "Error");
  EXPECT_EQ(boxes[0].prompt, "Can't Load Music\r\n\r\nError Code : 2\r\nCan't Open the File");
  EXPECT_EQ(boxes[0].style, 16);
  EXPECT_EQ(boxes[1].prompt, "Can't play music\r\n\r\nError Code : 5\r\nInvalid Handle");
  intro.RunUntil(269'999);
  EXPECT_EQ(boxes.size(), 2u);
  intro.RunUntil(270'000);
  EXPECT_EQ(boxes.size(), 4u);
  intro.RunUntil(540'000);
  EXPECT_EQ(boxes.size(), 6u);
  EXPECT_EQ(boxes[5].prompt, boxes[1].prompt);
  EXPECT_EQ(intro.Field("TimerStars"), "{\"Enabled\": true");  // the window runs on
}

// Start-up through the program's own path: exit status, boxes, window.
struct StartUp {
  int status = -1;
  tk::HeadlessBackend backend;
  explicit StartUp(const ProgramFolder& folder) {
    status = RunIntro(backend, folder.Path(), [](ZENOrA&) { return 0; });
  }
};

TEST(StartUp, RefusesAnyLibraryVersionButExactlyOnePointSix) {
  for (const char* variant : {"v2_0", "v1_60"}) {
    ProgramFolder folder(variant, kBuildDir / "testlibs" / variant / "libbassmod.so");
    StartUp run(folder);
    EXPECT_EQ(run.status, 1) << variant;
    EXPECT_FALSE(run.backend.Shown()) << variant;
    ASSERT_EQ(run.backend.Boxes().size(), 1u) << variant;
    EXPECT_EQ(run.backend.Boxes()[0].prompt.substr(0, 40), "BASSMOD version 1.6 was not loaded\r\n\r\nEr");
    // Init was never called: the library still takes a first one.
    void* library = dlopen((folder.Path() / "libbassmod.so").c_str(), RTLD_NOW);
    ASSERT_NE(library, nullptr);
    auto* init = reinterpret_cast<int (*)(int, unsigned, unsigned)>(dlsym(library, "BASSMOD_Init"));
    auto* free_library = reinterpret_cast<int (*)()>(dlsym(library, "BASSMOD_Free"));
    EXPECT_NE(init(0, 44100, 0) & 0xFFFF, 0) << variant;
    free_library();
    dlclose(library);
  }
}

TEST(StartUp, FailuresOfTheLibraryEndBeforeAnyWindowShows) {
  {
    ProgramFolder folder("initfail", kBuildDir / "testlibs" / "initfail" / "libbassmod.so");
    StartUp run(folder);
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(run.backend.Shown());
    ASSERT_EQ(run.backend.Boxes().size(), 1u);
    EXPECT_EQ(run.backend.Boxes()[0].prompt,
              "Can't initialize digital sound system\r\n\r\nError Code : 3\r\nCan't Find a Free Sound Driver");
  }
  {
    ProgramFolder folder("nolib", "");
    StartUp run(folder);
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.backend.Boxes().size(), 1u);
    EXPECT_EQ(run.backend.Boxes()[0].title, "ZENOrA_intro");
    EXPECT_EQ(run.backend.Boxes()[0].prompt, "Run-time error '53':\r\n\r\nFile not found: libbassmod.so");
  }
  {
    ProgramFolder folder("noinit", kBuildDir / "testlibs" / "no_init" / "libbassmod.so");
    StartUp run(folder);
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(run.backend.Shown());
    ASSERT_EQ(run.backend.Boxes().size(), 1u);
    EXPECT_EQ(run.backend.Boxes()[0].prompt,
              "Run-time error '453':\r\n\r\nCan't find DLL entry point BASSMOD_Init in libbassmod.so");
  }
}

TEST(Mouse, AnyButtonDragsFromThePictureAndNowhereElse) {
  ProgramFolder folder("drag");
  HeadlessIntro intro(folder);
  for (const std::int16_t button : {1, 2, 4}) {
    const int left = std::stoi(intro.Field("Left")), top = std::stoi(intro.Field("Top"));
    intro.Mouse(Kind::Down, 100, 50, button);
    intro.Mouse(Kind::Move, 130, 60, button);
    intro.Mouse(Kind::Up, 100, 50, button);
    EXPECT_EQ(std::stoi(intro.Field("Left")), left + 30 * 15) << button;
    EXPECT_EQ(std::stoi(intro.Field("Top")), top + 10 * 15) << button;
  }
  const std::string before = intro.Field("Left") + "," + intro.Field("Top");
  for (const auto& [x, y] : {std::pair{100, 150}, {100, 132}, {100, 186 - 8}, {306, 10}}) {
    intro.Mouse(Kind::Down, x, y, 1);
    intro.Mouse(Kind::Move, x + 40, y + 5, 1);
    intro.Mouse(Kind::Up, x + 40, y + 5, 1);
  }
  EXPECT_EQ(intro.Field("Left") + "," + intro.Field("Top"), before);
  // Off the screen is allowed.
  intro.Mouse(Kind::Down, 10, 10, 1);
  intro.Mouse(Kind::Move, -2000, -900, 1);
  EXPECT_LT(std::stoi(intro.Field("Left")), 0);
  EXPECT_LT(intro.Backend().WindowY(), 0);
}

// Where a press drags the window, and what a Wayland compositor is told to drag.
TEST(Mouse, TheFormsOwnSurfaceIsThePictureAboveTheStripsAndTheBottomRows) {
  ProgramFolder folder("areas");
  HeadlessIntro intro(folder);
  // x, y: on the form's own surface; then on the glyph, the strips, the banners, outside.
  const int own[] = {0, 0, 100, 50, 319, 127, 303, 12, 313, 12, 160, 185, 319, 188};
  const int other[] = {304, 8, 312, 16, 0, 128, 160, 150, 160, 133, 200, 179, 319, 184, -1, 5, 320, 5, 5, 189};
  for (std::size_t i = 0; i < std::size(own); i += 2)
    EXPECT_TRUE(intro.Form().Form().OwnSurfaceAt(own[i], own[i + 1])) << i;
  for (std::size_t i = 0; i < std::size(other); i += 2) {
    EXPECT_FALSE(intro.Form().Form().OwnSurfaceAt(other[i], other[i + 1])) << other[i] << "," << other[i + 1];
  }
}

TEST(Mouse, NestedMovesEachReadThePositionAfresh) {
  ProgramFolder folder("nested");
  HeadlessIntro intro(folder);
  intro.Mouse(Kind::Down, 100, 50, 1);
  // Three moves queued at once: the first one's yield handles the others
  // inside it. Each sees the pointer 10 px right of the grab point.
  for (int i = 0; i < 3; ++i) intro.Backend().Inject(tk::MouseEvent{Kind::Move, 110, 50, 1, 0});
  intro.Form().Loop().DoEvents();
  EXPECT_EQ(intro.Field("Left"), std::to_string(5115 + 3 * 150));
  // Ticks keep running during a drag.
  const std::string angle = intro.Field("AngleA");
  intro.RunUntil(200);
  intro.Mouse(Kind::Move, 110, 50, 1);
  EXPECT_NE(intro.Field("AngleA"), angle);
  EXPECT_EQ(intro.Field("Left"), std::to_string(5115 + 4 * 150));
}

TEST(Mouse, HoverCycleOfTheCloseGlyphAndTheClickThatEnds) {
  ProgramFolder folder("hover");
  HeadlessIntro intro(folder);
  EXPECT_EQ(intro.Field("cmdClose_Visible"), "false");
  intro.Mouse(Kind::Move, 306, 10, 0);
  EXPECT_EQ(intro.Field("cmdClose_Visible"), "true");
  intro.RunUntil(100);
  tk::Surface hover = intro.Frame();
  EXPECT_EQ(hover.At(307, 10), 0xC6C6C6u);
  intro.Mouse(Kind::Move, 200, 10, 0);  // back over the picture
  EXPECT_EQ(intro.Field("cmdClose_Visible"), "false");
  intro.RunUntil(120);
  EXPECT_EQ(intro.Frame().At(307, 10), 0xFFFFFFu);
  intro.Mouse(Kind::Move, 306, 10, 0);
  intro.Mouse(Kind::Move, 306, 150, 0);  // onto the star strip: not the form's surface
  EXPECT_EQ(intro.Field("cmdClose_Visible"), "true");
  intro.Mouse(Kind::Move, 307, 12, 0);  // on the grey glyph nothing runs
  intro.Backend().Inject(tk::MouseEvent{Kind::Down, 307, 12, 1, 0});
  intro.Backend().Inject(tk::MouseEvent{Kind::Up, 307, 12, 1, 0});
  try {
    intro.Form().Loop().DoEvents();
    FAIL() << "the click did not end the program";
  } catch (const tk::ProgramEnd& end) {
    EXPECT_EQ(end.status, 0);
  }
}

}  // namespace
}  // namespace zenora::testing
