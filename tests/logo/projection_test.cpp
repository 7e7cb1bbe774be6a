#include "logo/projection.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "toolkit/errors.hpp"

namespace logo {
namespace {

constexpr tk::Pixel kWhite = 0xFFFFFF;
constexpr tk::Pixel kBlack = 0x000000;

// The intro's window: 320 x 189 pixels, 4800 x 2835 twips, here with a white
// picture over its whole area so that every drawn pixel shows.
struct Window {
  Window() {
    form.SetBounds(0, 0, 4800, 2835);
    form.SetPicture(tk::Surface(320, 189, kWhite));
  }
  tk::Form form{"ZENOrA"};
};

double ScreenX(const tk::Form& form, const Point3D& p, double a = 0, double b = 0, double c = 0) {
  return ProjectPoint(form, p, a, b, c, kShiftX, kShiftZ, kShiftY, kPerspective, 0);
}
double ScreenY(const tk::Form& form, const Point3D& p, double a = 0, double b = 0, double c = 0) {
  return ProjectPoint(form, p, a, b, c, kShiftX, kShiftZ, kShiftY, kPerspective, 1);
}

EdgeTable StartUpLogo() {
  EdgeTable table;
  table.BuildLogo(-2, -2, -2, 2, 2, -4);
  return table;
}

TEST(ProjectPoint, KnownPointsAtRest) {
  Window w;
  EXPECT_NEAR(ScreenX(w.form, {-2, -2, -2}), 3828.5714, 1e-3);
  EXPECT_NEAR(ScreenY(w.form, {-2, -2, -2}), 868.0495, 1e-3);
  EXPECT_NEAR(ScreenX(w.form, {2, 2, -4}), 4354.0230, 1e-3);
  EXPECT_NEAR(ScreenY(w.form, {2, 2, -4}), 612.9023, 1e-3);
  EXPECT_NEAR(ScreenX(w.form, {0, 0, 0}), 4085.3933, 1e-3);
  EXPECT_NEAR(ScreenY(w.form, {0, 0, 0}), 1080.4213, 1e-3);
}

TEST(ProjectPoint, AnyNonZeroFlagSelectsScreenY) {
  Window w;
  const Point3D p{2, -1, -3};
  const double x = ProjectPoint(w.form, p, 10, 20, 30, 15, -3, -90, 1000, 0);
  const double y = ProjectPoint(w.form, p, 10, 20, 30, 15, -3, -90, 1000, 1);
  EXPECT_NE(x, y);
  for (const int flag : {2, -1, 255}) EXPECT_EQ(ProjectPoint(w.form, p, 10, 20, 30, 15, -3, -90, 1000, flag), y);
}

TEST(ProjectPoint, RotatesAboutXThenYThenZ) {
  // Values from an independent matrix product Rz(B) * Ry(C) * Rx(A); swapping
  // two rotations or two angles moves the point by many twips.
  Window w;
  const Point3D p{2, -1, -3};
  EXPECT_NEAR(ScreenX(w.form, p, 30, 45, 60), 4396.1034, 1e-3);
  EXPECT_NEAR(ScreenY(w.form, p, 30, 45, 60), 1089.7430, 1e-3);
  EXPECT_NEAR(ScreenX(w.form, p, 60, 45, 30), 4222.9086, 1e-3);
  EXPECT_NEAR(ScreenY(w.form, p, 60, 45, 30), 943.6799, 1e-3);
  // Angles are never wrapped; a large one is the same turn.
  EXPECT_NEAR(ScreenX(w.form, {-2, 2, -4}, 123, 456, 789), 3811.1249, 1e-3);
  EXPECT_NEAR(ScreenY(w.form, {-2, 2, -4}, 123, 456, 789), 1044.8556, 1e-3);
  EXPECT_NEAR(ScreenX(w.form, {-2, 2, -4}, 123 + 3600, 456 - 360, 789 + 36000), 3811.1249, 1e-3);
}

TEST(ProjectPoint, ReadsTheDrawingAreaAtEachCall) {
  Window w;
  const double x = ScreenX(w.form, {1, 1, 1});
  const double y = ScreenY(w.form, {1, 1, 1});
  w.form.SetBounds(0, 0, 3000, 2001);
  EXPECT_DOUBLE_EQ(ScreenX(w.form, {1, 1, 1}), x - 900);
  EXPECT_DOUBLE_EQ(ScreenY(w.form, {1, 1, 1}), y - 417);
}

TEST(ProjectPoint, DepthOfMinusOneIsDivisionByZero) {
  Window w;
  // Shifted depth 89 - 90 = -1.
  try {
    ScreenX(w.form, {0, 89, 0});
    ADD_FAILURE() << "no error";
  } catch (const tk::RuntimeError& e) {
    EXPECT_EQ(e.Number(), 11);
  }
  EXPECT_THROW(ProjectPoint(w.form, {5, 0, 0}, 0, 0, 0, 0, 0, -1, 1000, 1), tk::RuntimeError);
}

TEST(ProjectPoint, StartUpFigureLiesNearTheTopRight) {
  Window w;
  const EdgeTable logo = StartUpLogo();
  for (const Edge& e : logo.Edges()) {
    for (const Point3D& p : {e.first, e.second}) {
      EXPECT_GE(ScreenX(w.form, p), 3828);
      EXPECT_LE(ScreenX(w.form, p), 4355);
      EXPECT_GE(ScreenY(w.form, p), 612);
      EXPECT_LE(ScreenY(w.form, p), 869);
    }
  }
}

TEST(DrawModel, EmptyTableOnlyClears) {
  Window w;
  const tk::Surface clean = w.form.Canvas();
  w.form.Line(0, 0, 4000, 2000, 0);
  ASSERT_NE(w.form.Canvas(), clean);
  int yields = 0;
  DrawModel(w.form, EdgeTable{}, 0, 0, 0, kPerspective, kShiftX, kShiftZ, kShiftY, [&] { ++yields; });
  EXPECT_EQ(w.form.Canvas(), clean);
  EXPECT_EQ(yields, 0);
}

TEST(DrawModel, YieldsAfterEachLine) {
  Window w;
  const EdgeTable logo = StartUpLogo();
  std::vector<std::size_t> drawn_at_yield;
  DrawModel(w.form, logo, 0, 0, 0, kPerspective, kShiftX, kShiftZ, kShiftY, [&] {
    const auto& px = w.form.Canvas().Pixels();
    drawn_at_yield.push_back(static_cast<std::size_t>(std::count(px.begin(), px.end(), kBlack)));
  });
  ASSERT_EQ(drawn_at_yield.size(), 24u);
  // The first line is on the surface before the first yield, and no yield
  // comes before its line.
  EXPECT_GT(drawn_at_yield.front(), 0u);
  EXPECT_TRUE(std::is_sorted(drawn_at_yield.begin(), drawn_at_yield.end()));
}

TEST(DrawModel, FirstFrameIsBlackOnlyInsideTheLogoArea) {
  Window w;
  DrawModel(w.form, StartUpLogo(), 0, 0, 0, kPerspective, kShiftX, kShiftZ, kShiftY, [] {});
  const tk::Surface& canvas = w.form.Canvas();
  int black = 0;
  for (int y = 0; y < canvas.Height(); ++y) {
    for (int x = 0; x < canvas.Width(); ++x) {
      const tk::Pixel p = canvas.At(x, y);
      ASSERT_TRUE(p == kWhite || p == kBlack) << x << "," << y;
      if (p != kBlack) continue;
      ++black;
      EXPECT_TRUE(x >= 255 && x <= 290 && y >= 41 && y <= 58) << x << "," << y;
    }
  }
  EXPECT_GT(black, 100);
  // The projected corners (-2, -2, -2) and (2, 2, -4).
  EXPECT_EQ(canvas.At(255, 58), kBlack);
  EXPECT_EQ(canvas.At(290, 41), kBlack);
}

TEST(DrawModel, ClearsThePreviousFrame) {
  Window w;
  const EdgeTable logo = StartUpLogo();
  DrawModel(w.form, logo, 0, 0, 0, kPerspective, kShiftX, kShiftZ, kShiftY, [] {});
  const tk::Surface first = w.form.Canvas();
  DrawModel(w.form, logo, 40, 60, 80, kPerspective, kShiftX, kShiftZ, kShiftY, [] {});
  DrawModel(w.form, logo, 0, 0, 0, kPerspective, kShiftX, kShiftZ, kShiftY, [] {});
  EXPECT_EQ(w.form.Canvas(), first);
}

TEST(DrawModel, DrawsTheLinesProjectPointGives) {
  // Catches arguments passed through in the wrong places (k moves from fourth
  // to eighth) with values that are all different.
  const double a = 17, b = 250, c = 96, k = 900, xs = 12, zs = -5, ys = -70;
  EdgeTable table;
  table.AddEdge(-2, 1, -3, 3, -2, 1);
  table.AddEdge(1, 2, 0, -1, -2, -4);
  Window drawn;
  DrawModel(drawn.form, table, a, b, c, k, xs, zs, ys, [] {});
  Window expected;
  for (const Edge& e : table.Edges()) {
    auto at = [&](const Point3D& p, int flag) {
      return static_cast<float>(ProjectPoint(expected.form, p, a, b, c, xs, zs, ys, k, flag));
    };
    expected.form.Line(at(e.first, 0), at(e.first, 1), at(e.second, 0), at(e.second, 1), 0);
  }
  EXPECT_EQ(drawn.form.Canvas(), expected.form.Canvas());
  EXPECT_NE(drawn.form.Canvas(), Window{}.form.Canvas());
}

TEST(DrawModel, ErrorsGoToTheCaller) {
  Window w;
  EdgeTable table;
  table.AddEdge(0, 0, 0, 1, 1, 1);
  table.AddEdge(0, 89, 0, 1, 1, 1);
  int yields = 0;
  EXPECT_THROW(DrawModel(w.form, table, 0, 0, 0, kPerspective, kShiftX, kShiftZ, kShiftY, [&] { ++yields; }),
               tk::RuntimeError);
  EXPECT_EQ(yields, 1);
  // A point whose place does not fit a single is an overflow, not a wild line.
  EdgeTable far;
  far.AddEdge(0, 0, 0, 1, 1, 1);
  try {
    DrawModel(w.form, far, 0, 0, 0, 1e300, kShiftX, kShiftZ, kShiftY, [] {});
    ADD_FAILURE() << "no error";
  } catch (const tk::RuntimeError& e) {
    EXPECT_EQ(e.Number(), 6);
  }
}

}  // namespace
}  // namespace logo
