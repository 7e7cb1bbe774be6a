#include <gtest/gtest.h>

#include <limits>

#include "toolkit/controls.hpp"
#include "toolkit/rnd.hpp"
#include "toolkit/units.hpp"

namespace {

constexpr tk::Pixel kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

TEST(Units, TwipsRoundToNearestWithHalvesUp) {
  EXPECT_EQ(tk::TwipsToPixels(0), 0);
  EXPECT_EQ(tk::TwipsToPixels(7), 0);
  EXPECT_EQ(tk::TwipsToPixels(7.5), 1);  // half a pixel goes up
  EXPECT_EQ(tk::TwipsToPixels(22.4), 1);
  EXPECT_EQ(tk::TwipsToPixels(4790), 319);
  EXPECT_EQ(tk::TwipsToPixels(-7.5), 0);  // halves up, also below zero
  EXPECT_EQ(tk::TwipsToPixels(-13), -1);
  EXPECT_EQ(tk::TwipsToPixels(5115), 341);
}

TEST(Colours, IntegersAndSystemColoursResolve) {
  EXPECT_EQ(tk::ToPixel(tk::Rgb(0x12, 0x34, 0x56)), 0x123456u);
  EXPECT_EQ(tk::Rgb(165, 165, 165), 10855845u);
  EXPECT_EQ(tk::ToPixel(tk::SystemColor::kWindow), 0xFFFFFFu);
  EXPECT_EQ(tk::ToPixel(tk::SystemColor::kWindowText), 0u);
  EXPECT_EQ(tk::ToPixel(tk::SystemColor::kWindowFrame), 0u);
  EXPECT_EQ(tk::ToPixel(tk::SystemColor::kBtnText), 0u);
}

TEST(Rnd, UnseededSequenceIsTheSameInEveryRun) {
  tk::Rnd rnd;
  EXPECT_FLOAT_EQ(rnd.Next(), 0.7055475f);
  EXPECT_FLOAT_EQ(rnd.Next(), 0.533424f);
  EXPECT_FLOAT_EQ(rnd.Next(), 0.5795186f);
  for (int i = 0; i < 100000; ++i) {
    const float r = rnd.Next();
    ASSERT_GE(r, 0.0f);
    ASSERT_LT(r, 1.0f);
  }
}

TEST(Surface, LinesIncludeBothEndsAndClipToTheGrid) {
  tk::Surface s(10, 10);
  s.Line(1, 1, 8, 4, kWhite);
  EXPECT_EQ(s.At(1, 1), kWhite);
  EXPECT_EQ(s.At(8, 4), kWhite);
  int lit = 0;
  for (const tk::Pixel p : s.Pixels()) lit += p == kWhite;
  EXPECT_EQ(lit, 8);           // one pixel per column of the longer axis
  s.Line(-5, 5, 20, 5, kRed);  // runs off both sides without harm
  EXPECT_EQ(s.At(0, 5), kRed);
  EXPECT_EQ(s.At(9, 5), kRed);
  // Ends far off any screen: the visible part is drawn, and promptly.
  s.Line(0, 9, 2'000'000'000, 9, kGreen);
  EXPECT_EQ(s.At(9, 9), kGreen);
  s.Line(-2'000'000'000, -2'000'000'000, 2'000'000'000, 2'000'000'000, kBlue);
  EXPECT_EQ(s.At(3, 3), kBlue);
  tk::Form form("form");
  form.SetBounds(0, 0, 150, 150);
  form.SetPicture(tk::Surface(10, 10));
  form.Line(0, 0, 1e30f, 1e30f, tk::Rgb(255, 0, 0));
  form.Line(0, 0, -1e30f, std::numeric_limits<float>::quiet_NaN(), tk::Rgb(255, 0, 0));
  EXPECT_EQ(form.Canvas().At(9, 9), kRed);
}

// A 20 x 20 px form with a framed box holding a label and a child box.
struct Scene {
  tk::Form form{"form"};
  tk::PictureBox box{"box"};
  tk::PictureBox child{"child"};
  tk::Label label{"label"};
  tk::PictureBox overlay{"overlay"};

  Scene() {
    form.SetBounds(0, 0, 300, 300);
    form.SetPicture(tk::Surface(20, 10, kBlue));
    form.Add(overlay);
    form.Add(box);
    box.SetBounds(30, 150, 150, 75);  // (2, 10) 10 x 5 px
    box.SetBackColor(tk::Rgb(0, 0, 0));
    box.SetFramed(true);
    box.Add(label);
    box.Add(child);
    label.SetBounds(0, 0, 150, 45);
    label.SetBackColor(tk::Rgb(0, 255, 0));
    child.SetBounds(15, 15, 30, 15);  // (1, 1) 2 x 1 px in the inner area
    child.SetBackColor(tk::Rgb(255, 0, 0));
    overlay.SetBounds(120, 135, 60, 30);  // (8, 9) 4 x 2 px, over the box's corner
    overlay.SetBackColor(tk::SystemColor::kWindow);
  }
  tk::Surface Frame() const {
    tk::Surface frame;
    form.Compose(frame);
    return frame;
  }
};

TEST(Compositor, PaintsPictureFramesLabelsAndStackingInOrder) {
  Scene scene;
  const tk::Surface f = scene.Frame();
  ASSERT_EQ(f.Width(), 20);
  ASSERT_EQ(f.Height(), 20);
  EXPECT_EQ(f.At(0, 0), kBlue);  // picture at the top-left
  EXPECT_EQ(f.At(0, 19), 0u);    // back colour below the picture
  EXPECT_EQ(f.At(2, 10), 0u);    // frame inside the box's rectangle
  EXPECT_EQ(f.At(11, 14), 0u);
  EXPECT_EQ(f.At(3, 11), kGreen);  // label at the inner area's origin
  EXPECT_EQ(f.At(4, 12), kRed);    // the child box covers the label: labels paint below boxes
  EXPECT_EQ(f.At(5, 12), kRed);
  EXPECT_EQ(f.At(9, 10), kWhite);  // the earlier box covers the later one
  EXPECT_EQ(f.At(7, 10), 0u);
}

TEST(Compositor, ChildrenClipToTheInnerAreaOfTheirContainer) {
  Scene scene;
  scene.child.SetLeft(120);  // 8 px: past the inner area's right side (8 px wide)
  scene.child.SetTop(45);    // 3 px: the inner area is 3 px high
  const tk::Surface f = scene.Frame();
  for (int x = 0; x < 20; ++x) {
    for (int y = 0; y < 20; ++y) ASSERT_NE(f.At(x, y), kRed) << x << "," << y;
  }
  scene.child.SetLeft(105);  // 7 px: half in, half clipped
  scene.child.SetTop(0);
  const tk::Surface g = scene.Frame();
  EXPECT_EQ(g.At(10, 11), kRed);
  EXPECT_EQ(g.At(11, 11), 0u);  // the frame, not the child
}

TEST(Compositor, HiddenControlsNeitherPaintNorTakeTheMouse) {
  Scene scene;
  scene.overlay.SetVisible(false);
  EXPECT_EQ(scene.Frame().At(9, 10), 0u);
  EXPECT_EQ(scene.form.ChildAt(9, 10), &scene.box);
  scene.overlay.SetVisible(true);
  EXPECT_EQ(scene.form.ChildAt(9, 10), &scene.overlay);
  EXPECT_EQ(scene.form.ChildAt(4, 12), &scene.child);
  EXPECT_EQ(scene.form.ChildAt(3, 11), &scene.box);  // a label gives the point to its container
  EXPECT_EQ(scene.form.ChildAt(2, 10), &scene.box);  // on the frame
  EXPECT_EQ(scene.form.ChildAt(0, 0), nullptr);      // the form's own surface
  scene.box.SetEnabled(false);
  EXPECT_EQ(scene.form.ChildAt(4, 12), nullptr);
}

TEST(Compositor, CenteredTextAndClearingTheCanvas) {
  tk::Form form("form");
  form.SetBounds(0, 0, 900, 150);  // 60 x 10 px
  form.SetPicture(tk::Surface(60, 10, kBlue));
  form.Line(0, 0, 885, 135, tk::Rgb(255, 0, 0));
  EXPECT_EQ(form.Canvas().At(59, 9), kRed);
  form.Cls();
  EXPECT_EQ(form.Canvas().At(59, 9), kBlue);

  tk::Label label("label");
  form.Add(label);
  label.SetBounds(0, 0, 900, 135);
  label.SetBackColor(tk::Rgb(0, 0, 0));
  label.SetForeColor(tk::Rgb(255, 255, 255));
  label.SetAlignment(tk::Alignment::Center);
  label.SetCaption("II");  // 12 px of glyphs in 60: starts at x 24
  tk::Surface f;
  form.Compose(f);
  int first_lit = -1;
  for (int x = 0; x < 60 && first_lit < 0; ++x) {
    for (int y = 0; y < 9; ++y) {
      if (f.At(x, y) == kWhite) {
        first_lit = x;
        break;
      }
    }
  }
  EXPECT_GE(first_lit, 24);
  EXPECT_LT(first_lit, 30);
  EXPECT_EQ(f.At(0, 9), kBlue);  // the label is 9 px high
}

}  // namespace
