#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "headless_backend.hpp"
#include "layout.hpp"
#include "message_loop.hpp"
#include "rnd.hpp"

namespace {

constexpr tk::Pixel kRed = 0xFF0000, kGreen = 0xFF00, kBlue = 0xFF, kWhite = 0xFFFFFF, kYellow = 0xFFFF00, kBlack = 0;

TEST(Units, TwipsToPixelsAndTheUnseededGenerator) {
  // Round to nearest, halves up (below zero too); far off any screen held at 2^30.
  const std::pair<double, int> twips[] = {
      {0, 0},    {7, 0},      {7.5, 1},    {22.4, 1},       {4790, 319},         {-7.5, 0},
      {-13, -1}, {-22.6, -2}, {5115, 341}, {3e10, 1 << 30}, {-3e10, -(1 << 30)}, {std::nan(""), -(1 << 30)}};
  for (const auto& [value, pixels] : twips) EXPECT_EQ(tk::TwipsToPixels(value), pixels) << value;
  tk::Rnd rnd;
  for (const float first : {0.7055475f, 0.533424f, 0.5795186f}) EXPECT_FLOAT_EQ(rnd.Next(), first);
}

TEST(Desktop, ScaleWhereTheWindowOpensAndWhereTheFrameShowsInIt) {
  // A desktop's dots per inch: the scale.
  const std::pair<double, int> dpis[] = {{96, 1},  {191.9, 1},  {192, 2},         {288, 3},
                                         {-96, 1}, {1e300, 64}, {std::nan(""), 1}};
  for (const auto& [dpi, scale] : dpis) EXPECT_EQ(tk::ScaleOfDpi(dpi), scale) << dpi;
  // The window at 341, 265, 320 x 189 wanting a scale, on a work area: where it opens.
  const std::tuple<int, tk::Rect, tk::Opening> openings[] = {
      {1, {0, 0, 1024, 768}, {1, 341, 265}},    // fits: nothing changes
      {3, {0, 0, 2400, 1600}, {3, 1023, 795}},  // fits at 3x
      {3, {0, 0, 1920, 1080}, {2, 682, 530}},   // 3x would reach past the screen
      {64, {0, 0, 1920, 1080}, {2, 682, 530}},  // GDK_SCALE=99999
      {1, {0, 0, 640, 480}, {1, 320, 265}},     // moved left just enough
      {2, {0, 0, 640, 480}, {2, 0, 102}},       // fits nowhere at its place: the largest that fits
      {1, {0, 0, 320, 200}, {1, 0, 11}},        // moved left and up
      {1, {0, 0, 200, 100}, {1, -120, 0}},      // smaller: the top-right corner, and the glyph, on it
      {1, {0, 0, 1024, 150}, {1, 341, 0}},      // only too low
      {1, {0, 300, 1024, 468}, {1, 341, 300}},  // a work area below a panel
      {1, {1024, 0, 1280, 1024}, {1, 1024, 265}}};
  for (const auto& [wanted, area, opening] : openings) {
    EXPECT_EQ(tk::OpenOnScreen({341, 265, 320, 189}, wanted, area), opening)
        << wanted << "x on " << area.w << "x" << area.h << "+" << area.x << "+" << area.y;
  }
  // A window of any size shows the 320 x 189 frame at the largest whole scale, centred.
  const std::tuple<int, int, tk::FrameLayout> layouts[] = {
      {320, 189, {1, 0, 0}}, {640, 378, {2, 0, 0}},    {1280, 720, {3, 160, 76}}, {1024, 768, {3, 32, 100}},
      {321, 190, {1, 0, 0}}, {959, 566, {2, 159, 94}}, {200, 100, {1, -60, -44}}, {0, 0, {1, -160, -94}}};
  for (const auto& [w, h, layout] : layouts) EXPECT_EQ(tk::FitFrame(320, 189, w, h), layout) << w << "x" << h;
  // Window pixels to frame pixels, outside the frame too.
  const tk::FrameLayout at3{3, 160, 76};
  EXPECT_EQ((std::vector{at3.FrameX(159), at3.FrameX(160), at3.FrameX(162), at3.FrameX(163), at3.FrameX(1119),
                         at3.FrameX(1120), at3.FrameY(75), at3.FrameY(643)}),
            (std::vector{-1, 0, 0, 1, 319, 320, -1, 189}));
}

TEST(Surface, LinesIncludeBothEndsAndClipToTheGrid) {
  tk::Surface s(10, 10);
  // Colour, ends, a pixel drawn and how many (one per column of the longer axis).
  const std::array<int, 8> lines[] = {
      {0xFFFFFF, 1, 1, 8, 4, 8, 4, 8},
      {0xFF0000, -5, 5, 20, 5, 0, 5, 10},
      {0x00FF00, 0, 9, 2'000'000'000, 9, 9, 9, 10},
      {0x0000FF, -2'000'000'000, -2'000'000'000, 2'000'000'000, 2'000'000'000, 3, 3, 10}};
  for (const auto& l : lines) {
    const auto colour = static_cast<tk::Pixel>(l[0]);
    s.Line(l[1], l[2], l[3], l[4], colour);
    EXPECT_EQ(s.At(l[5], l[6]), colour);
    EXPECT_EQ(std::count(s.Pixels().begin(), s.Pixels().end(), colour), l[7]) << l[1];
  }
}

struct Look {
  std::array<std::array<float, 2>, 4> place{{{120, 135}, {30, 150}, {15, 15}, {15, 0}}};
  std::array<bool, 4> visible{true, true, true, true};
  bool box_framed = true, child_framed = false, child_pixels = false;
  std::string caption;
  std::vector<std::array<float, 4>> lines;
};

// A 20 x 20 px form, picture 20 x 10 blue; uppermost first a white overlay (8, 9) 4 x 2 px
// over the corner of a framed black box (2, 10) 10 x 5 px holding a green label at its
// inner origin and a red child (1, 1) 2 x 1 px, whose second pixel is a yellow dot.
struct Scene {
  tk::Form form{"form"};
  tk::PictureBox overlay{"overlay"}, box{"box"}, child{"child"}, dot{"dot"};
  tk::Label label{"label"};
  std::array<tk::PictureBox*, 4> boxes{&overlay, &box, &child, &dot};

  explicit Scene(const Look& look = {}) {
    form.SetBounds(0, 0, 300, 300);
    form.SetPicture(tk::Surface(20, 10, kBlue));
    form.Add(overlay);
    form.Add(box);
    box.Add(label);
    box.Add(child);
    child.Add(dot);
    label.SetBounds(0, 0, 150, 45);
    constexpr tk::OleColor kColours[4] = {tk::SystemColor::kWindow, 0, tk::Rgb(255, 0, 0), tk::Rgb(255, 255, 0)};
    for (std::size_t i = 0; i < boxes.size(); ++i) boxes[i]->SetBackColor(kColours[i]);
    label.SetBackColor(tk::Rgb(0, 255, 0));
    Apply(look);
    for (const auto& l : look.lines) Draw(l);
  }
  void Draw(const std::array<float, 4>& l) { form.Line(l[0], l[1], l[2], l[3], tk::Rgb(0, 0, 255)); }
  void Apply(const Look& look) {
    constexpr float kSizes[4][2] = {{60, 30}, {150, 75}, {30, 15}, {15, 15}};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      boxes[i]->SetBounds(look.place[i][0], look.place[i][1], kSizes[i][0], kSizes[i][1]);
      boxes[i]->SetVisible(look.visible[i]);
    }
    box.SetFramed(look.box_framed);
    child.SetFramed(look.child_framed);
    child.SetScaleMode(look.child_pixels ? tk::ScaleMode::Pixels : tk::ScaleMode::Twips);
    label.SetCaption(look.caption);
  }
  std::string NameAt(int x, int y) {
    const tk::Control* hit = form.ChildAt(x, y);
    return hit ? hit->Name() : "";  // "" is the form's own surface
  }
};

TEST(Compositor, StackingFramesLabelsClippingAndWhatTakesThePointer) {
  const struct {
    void (*change)(Scene&);
    std::vector<std::tuple<int, int, tk::Pixel>> pixels;
    int reds;  // pixels of the child that show
    std::vector<std::tuple<int, int, std::string>> hits;
  } cases[] = {
      // Picture, back colour, frame, the label under the boxes, an earlier box over a later one.
      {[](Scene&) {},
       {{0, 0, kBlue}, {0, 19, kBlack}, {2, 10, kBlack}, {11, 14, kBlack}, {3, 11, kGreen}, {5, 12, kYellow}},
       1,
       {{9, 10, "overlay"}, {4, 12, "child"}, {5, 12, "dot"}, {3, 11, "box"}, {2, 10, "box"}, {0, 0, ""}}},
      {[](Scene&) {}, {{4, 12, kRed}, {9, 10, kWhite}, {7, 10, kBlack}}, 1, {}},
      // Children clip to the inner area of their container (8 x 3 px).
      {[](Scene& s) { s.child.SetBounds(120, 45, 30, 15); }, {{11, 13, kBlack}}, 0, {{10, 13, "box"}}},
      {[](Scene& s) { s.child.SetLeft(105); }, {{10, 12, kRed}, {11, 12, kBlack}}, 1, {{10, 12, "child"}}},
      {[](Scene& s) { s.overlay.SetVisible(false); }, {{9, 10, kBlack}}, 1, {{9, 10, "box"}}},
      {[](Scene& s) { s.box.SetEnabled(false); }, {{4, 12, kRed}}, 1, {{4, 12, ""}}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    Scene scene;
    cases[i].change(scene);
    tk::Surface f;
    scene.form.Compose(f);
    for (const auto& [x, y, pixel] : cases[i].pixels) EXPECT_EQ(f.At(x, y), pixel) << i << ": " << x << "," << y;
    EXPECT_EQ(std::count(f.Pixels().begin(), f.Pixels().end(), kRed), cases[i].reds) << i;
    for (const auto& [x, y, name] : cases[i].hits) EXPECT_EQ(scene.NameAt(x, y), name) << i << ": " << x << "," << y;
  }
}

// Controls keep their rectangles and mark what changed: the window repainted
// and presented only there must equal a twin built afresh in the same state
// and painted whole, and the pointer must find the same control in both.
TEST(Compositor, RepaintingTheDamageEqualsATwinPaintedWhole) {
  tk::HeadlessBackend backend;
  Look look;
  Scene live(look);
  tk::MessageLoop loop(backend, live.form);
  loop.Show();
  std::uint32_t seed = 12345;
  const auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(n));
  };
  const float far[] = {1e30f, -1e30f, std::nanf("")};  // now and then an end far off any screen, or no number
  const auto coordinate = [&] { return next(10) == 0 ? far[next(3)] : static_cast<float>(next(300)); };
  for (int step = 0; step < 4000; ++step) {
    const auto i = static_cast<std::size_t>(next(4));
    const float scale = i == 3 && look.child_pixels ? 1 : 15;  // the dot's place is in the child's scale
    switch (next(8)) {
      case 0:
      case 1: look.place[i][static_cast<std::size_t>(next(2))] = static_cast<float>(next(24) - 4) * scale; break;
      case 2: look.visible[i] = !look.visible[i]; break;
      case 3: (i % 2 == 0 ? look.box_framed : look.child_framed) ^= true; break;
      case 4: look.child_pixels = !look.child_pixels; break;
      case 5: look.caption = std::string(static_cast<std::size_t>(next(4)), static_cast<char>('A' + next(26))); break;
      case 6: look.lines.clear(), live.form.Cls(); break;
      default:
        look.lines.push_back({coordinate(), coordinate(), coordinate(), coordinate()});
        live.Draw(look.lines.back());
    }
    live.Apply(look);
    if (next(2) != 0) continue;
    Scene twin(look);
    tk::Surface whole;
    twin.form.Compose(whole);
    // Painted but not yet shown, or shown: both must be whole frames.
    const bool show = next(2) == 0;
    if (show) loop.RunUntil(backend.Clock(), step);
    ASSERT_EQ(show ? backend.LastFrame() : loop.Compose(), whole) << "after step " << step;
    const int x = next(20), y = next(20);
    ASSERT_EQ(live.NameAt(x, y), twin.NameAt(x, y)) << x << "," << y << " after step " << step;
  }
}

TEST(MouseRouting, TheControlUnderThePointerInItsOwnScaleAndThePressedOneUntilRelease) {
  using enum tk::MouseEvent::Kind;
  const struct {
    std::vector<tk::MouseEvent> events;
    std::vector<std::string> log;
  } cases[] = {
      // A label gives the pointer to its container; the dot has no handlers.
      {{{Move, 2, 3, 0}, {Move, 3, 11, 0}, {Move, 5, 12, 0}, {Move, 4, 12, 0}},
       {"form move 0 30,45", "box move 0 15,15", "child move 0 0,0"}},
      // Pressed on the form: its moves over the child and outside the window, until released.
      // A second press out there is on no control's surface: no press, only its release.
      {{{Down, 1, 1, 2},
        {Move, 4, 12, 2},
        {Move, -40, 90, 2},
        {Down, -40, 90, 1},
        {Up, -40, 90, 1},
        {Up, 4, 12, 2},
        {Move, 4, 12, 0}},
       {"form down 2 15,15", "form move 2 60,180", "form move 2 -600,1350", "form up 1 -600,1350", "form up 2 60,180",
        "child move 0 0,0"}},
      // Outside the window a move reaches only a control holding the pointer.
      {{{Move, 25, 5, 0}, {Move, -1, 5, 0}, {Down, 5, 5, 1}, {Move, 25, 5, 1}},
       {"form down 1 75,75", "form move 1 375,75"}},
      // A click is a press and a release on the same control.
      {{{Down, 4, 12, 1}, {Up, 4, 12, 1}, {Down, 4, 12, 1}, {Up, 0, 0, 1}},
       {"child down 1 0,0", "child up 1 0,0", "child click", "child down 1 0,0", "child up 1 -60,-180"}},
  };
  for (const auto& c : cases) {
    tk::HeadlessBackend backend;
    Scene scene;
    tk::MessageLoop loop(backend, scene.form);
    std::vector<std::string> log;
    for (tk::Control* control : std::array<tk::Control*, 3>{&scene.form, &scene.box, &scene.child}) {
      using C = tk::Control;
      for (auto [handler, what] :
           {std::pair{&C::MouseDown, " down "}, {&C::MouseMove, " move "}, {&C::MouseUp, " up "}}) {
        control->*handler = [&log, text = control->Name() + what](std::int16_t button, std::int16_t, float x, float y) {
          log.push_back(text + std::to_string(button) + " " + std::to_string(static_cast<int>(x)) + "," +
                        std::to_string(static_cast<int>(y)));
        };
      }
    }
    scene.child.Click = [&log] { log.emplace_back("child click"); };
    for (const tk::MouseEvent& e : c.events) backend.Inject(e);
    loop.DoEvents();
    EXPECT_EQ(log, c.log);
    backend.InjectQuit();  // the window closed by the desktop
    EXPECT_EQ(loop.Run(), 0);
  }
}

}  // namespace
