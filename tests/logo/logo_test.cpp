#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "logo/edge_table.hpp"
#include "logo/logo_motion.hpp"
#include "logo/projection.hpp"
#include "toolkit/errors.hpp"

namespace logo {
namespace {

// Runs f, which must raise the run-time error with this number.
template <typename F>
void ExpectRuntimeError(int number, F&& f) {
  try {
    f();
    ADD_FAILURE() << "no run-time error raised";
  } catch (const tk::RuntimeError& e) {
    EXPECT_EQ(e.Number(), number) << e.what();
  }
}

using Row = std::array<std::int32_t, 6>;
Row AsRow(const Edge& e) { return {e.first.x, e.first.y, e.first.z, e.second.x, e.second.y, e.second.z}; }

TEST(EdgeTable, StartUpLogoIsTheExtrudedUAndASecondCallAppends) {
  const std::array<Row, 24> want{{
      {-2, -2, -2, -2, -2, -4}, {-2, -2, -2, -2, 2, -2}, {-2, -2, -2, 2, -2, -2},  {2, 2, -4, 2, 2, -2},
      {2, 2, -4, 2, -2, -4},    {1, -1, -2, 1, -1, -4},  {-1, -1, -2, -1, -1, -4}, {1, 2, -2, 1, 2, -4},
      {-1, 2, -2, -1, 2, -4},   {-1, -1, -2, 1, -1, -2}, {-1, -1, -2, -1, 2, -2},  {1, -1, -2, 1, 2, -2},
      {-2, 2, -2, -1, 2, -2},   {1, 2, -2, 2, 2, -2},    {-1, -1, -4, 1, -1, -4},  {-1, -1, -4, -1, 2, -4},
      {1, -1, -4, 1, 2, -4},    {-2, 2, -4, -1, 2, -4},  {1, 2, -4, 2, 2, -4},     {2, 2, -2, 2, -2, -2},
      {2, -2, -2, 2, -2, -4},   {-2, -2, -4, 2, -2, -4}, {-2, 2, -2, -2, 2, -4},   {-2, -2, -4, -2, 2, -4},
  }};
  EdgeTable table;
  table.BuildLogo(-2, -2, -2, 2, 2, -4);
  table.BuildLogo(-2, -2, -2, 2, 2, -4);
  ASSERT_EQ(table.EdgeCount(), 48);
  for (std::size_t i = 0; i < 48; ++i) EXPECT_EQ(AsRow(table.Edges()[i]), want[i % 24]) << "row " << i;
}

TEST(EdgeTable, OuterDepthEdgesRunFromZPToZQAndTheSlotToZPMinusTwoForAnyBox) {
  EdgeTable table;
  table.BuildLogo(5, -3, 9, -8, 4, -11);
  for (const std::size_t row : {0u, 3u, 20u, 22u}) {
    const Edge& e = table.Edges()[row];
    EXPECT_EQ(e.first.x, e.second.x) << "row " << row;
    EXPECT_EQ(e.first.y, e.second.y) << "row " << row;
    // Row 3 starts at the Q end, the others at the P end.
    EXPECT_EQ(row == 3 ? e.second.z : e.first.z, 9) << "row " << row;
    EXPECT_EQ(row == 3 ? e.first.z : e.second.z, -11) << "row " << row;
  }
  // The slot runs from zP to zP - 2 whatever zQ is.
  for (std::size_t row = 5; row <= 8; ++row) EXPECT_EQ(table.Edges()[row].second.z, 7) << "row " << row;
}

TEST(EdgeTable, AddEdgeStoresInOrderRoundingHalvesToEvenAndOverflowsOutOfRange) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  EdgeTable table;
  table.AddEdge(1, 2, 3, 4, 5, 6);
  table.AddEdge(2.5, 3.5, -2.5, -3.5, 0.5, 2.4999);
  table.AddEdge(2147483647.4, -2147483648.0, -2147483648.5, 1.5000001, -0.5, -0.7);
  EXPECT_EQ(AsRow(table.Edges()[0]), (Row{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(AsRow(table.Edges()[1]), (Row{2, 4, -2, -4, 0, 2}));
  EXPECT_EQ(AsRow(table.Edges()[2]), (Row{2147483647, kMin, kMin, 2, 0, -1}));

  // Each field, with values that leave the range only by rounding, and non-numbers.
  const double two31 = std::ldexp(1.0, 31), inf = std::numeric_limits<double>::infinity();
  const std::array<std::pair<int, double>, 6> bad{
      {{0, two31}, {5, two31}, {1, 2147483647.5}, {2, -2147483649.0}, {3, std::nan("")}, {4, -inf}}};
  for (const auto& [field, value] : bad) {
    std::array<double, 6> a{};
    a[static_cast<std::size_t>(field)] = value;
    ExpectRuntimeError(6, [&] { table.AddEdge(a[0], a[1], a[2], a[3], a[4], a[5]); });
  }
  EXPECT_EQ(table.EdgeCount(), 3);
  table.AddEdge(7, 8, 9, 10, 11, 12);  // takes the half-written entry
  EXPECT_EQ(AsRow(table.Edges()[3]), (Row{7, 8, 9, 10, 11, 12}));
}

TEST(EdgeTable, Holds101EdgesThenRaisesSubscriptOutOfRangeBeforeAnyConversion) {
  EdgeTable table;
  for (int i = 0; i < 4; ++i) table.BuildLogo(-2, -2, -2, 2, 2, -4);
  for (int i = 96; i < 100; ++i) table.AddEdge(i, 0, 0, 0, 0, -i);
  ExpectRuntimeError(9, [&] { table.BuildLogo(-2, -2, -2, 2, 2, -4); });  // stops after one more edge
  ASSERT_EQ(table.EdgeCount(), 101);
  EXPECT_EQ(table.Edges()[100], table.Edges()[0]);
  ExpectRuntimeError(9, [&] { table.AddEdge(std::ldexp(1.0, 40), 0, 0, 0, 0, 0); });
  EXPECT_EQ(table.EdgeCount(), 101);
  EXPECT_EQ(table.Edges()[99], (Edge{{99, 0, 0}, {0, 0, -99}}));
}

// Single precision rounds r * 2 + 3 up to 5 for r = 1 - 2^-24.
TEST(LogoMotion, DrawsJustBelowOneStayInTheTopChoice) {
  const float top = std::nextafter(1.0f, 0.0f);
  EXPECT_EQ(SpinFromDraw(top, 2, 3), 4);
  EXPECT_EQ(SpinFromDraw(top, 4, 2), 5);
  EXPECT_EQ(SpinFromDraw(top, 6, 1), 6);
  EXPECT_EQ(SpinFromDraw(0.0f, 6, 1), 1);
  EXPECT_EQ(SpinFromDraw(0.5f, 6, 1), 4);
}

// The intro's window, 4800 x 2835 twips, with a white picture so that every
// drawn pixel shows.
struct Window {
  Window() {
    form.SetBounds(0, 0, 4800, 2835);
    form.SetPicture(tk::Surface(320, 189, 0xFFFFFF));
  }
  tk::Form form{"ZENOrA"};
};

TEST(ProjectPoint, KnownPointsAndTurns) {
  struct Case {
    Point3D p;
    double a, b, c, x, y;
  };
  // The turned values come from an independent product Rz(B) * Ry(C) * Rx(A):
  // swapping two rotations or two angles moves a point by many twips.
  const Case cases[] = {
      {{-2, -2, -2}, 0, 0, 0, 3828.5714, 868.0495},
      {{2, 2, -4}, 0, 0, 0, 4354.0230, 612.9023},
      {{0, 0, 0}, 0, 0, 0, 4085.3933, 1080.4213},
      {{2, -1, -3}, 30, 45, 60, 4396.1034, 1089.7430},
      {{2, -1, -3}, 60, 45, 30, 4222.9086, 943.6799},
      {{-2, 2, -4}, 123, 456, 789, 3811.1249, 1044.8556},
      {{-2, 2, -4}, 123 + 3600, 456 - 360, 789 + 36000, 3811.1249, 1044.8556},  // never wrapped
  };
  Window w;
  for (const Case& c : cases) {
    auto at = [&](int flag) {
      return ProjectPoint(w.form, c.p, c.a, c.b, c.c, kShiftX, kShiftZ, kShiftY, kPerspective, flag);
    };
    EXPECT_NEAR(at(0), c.x, 1e-3) << c.p.x << "," << c.p.y << "," << c.p.z << " at " << c.a;
    EXPECT_NEAR(at(1), c.y, 1e-3) << c.p.x << "," << c.p.y << "," << c.p.z << " at " << c.a;
    EXPECT_EQ(at(-1), at(1));  // any non-zero flag is screen y
  }
  // Half the drawing area is read at each call.
  w.form.SetBounds(0, 0, 3000, 2001);
  EXPECT_NEAR(ProjectPoint(w.form, {0, 0, 0}, 0, 0, 0, kShiftX, kShiftZ, kShiftY, kPerspective, 0), 3185.3933, 1e-3);
  EXPECT_NEAR(ProjectPoint(w.form, {0, 0, 0}, 0, 0, 0, kShiftX, kShiftZ, kShiftY, kPerspective, 1), 663.4213, 1e-3);
}

TEST(DrawModel, ClearsThenDrawsEachProjectedLineAndYieldsAfterIt) {
  // All arguments differ, so one passed through in the wrong place shows
  // (k moves from fourth to eighth).
  const double a = 17, b = 250, c = 96, k = 900, xs = 12, zs = -5, ys = -70;
  EdgeTable table;
  table.AddEdge(-2, 1, -3, 3, -2, 1);
  table.AddEdge(1, 2, 0, -1, -2, -4);
  Window drawn, expected;
  const tk::Surface clean = drawn.form.Canvas();
  drawn.form.Line(0, 0, 4000, 2000, 0);
  int yields = 0;
  DrawModel(drawn.form, EdgeTable{}, a, b, c, k, xs, zs, ys, [&] { ++yields; });
  EXPECT_EQ(drawn.form.Canvas(), clean);
  EXPECT_EQ(yields, 0);

  // Each line is on the surface before its yield.
  std::vector<tk::Surface> at_yield, want;
  DrawModel(drawn.form, table, a, b, c, k, xs, zs, ys, [&] { at_yield.push_back(drawn.form.Canvas()); });
  for (const Edge& e : table.Edges()) {
    auto at = [&](const Point3D& p, int flag) {
      return static_cast<float>(ProjectPoint(expected.form, p, a, b, c, xs, zs, ys, k, flag));
    };
    expected.form.Line(at(e.first, 0), at(e.first, 1), at(e.second, 0), at(e.second, 1), 0);
    want.push_back(expected.form.Canvas());
  }
  EXPECT_EQ(at_yield, want);
  EXPECT_EQ(drawn.form.Canvas(), expected.form.Canvas());
}

TEST(DrawModel, DepthOfMinusOneDividesByZeroAndAPlaceBeyondASingleOverflows) {
  Window w;
  ExpectRuntimeError(11, [&] {
    ProjectPoint(w.form, {0, 89, 0}, 0, 0, 0, kShiftX, kShiftZ, kShiftY, kPerspective, 0);
  });
  EdgeTable table;
  table.AddEdge(0, 0, 0, 1, 1, 1);
  int yields = 0;
  ExpectRuntimeError(6,
                     [&] { DrawModel(w.form, table, 0, 0, 0, 1e300, kShiftX, kShiftZ, kShiftY, [&] { ++yields; }); });
  EXPECT_EQ(yields, 0);
}

}  // namespace
}  // namespace logo
