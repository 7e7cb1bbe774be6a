#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "edge_table.hpp"
#include "errors.hpp"
#include "logo_motion.hpp"
#include "projection.hpp"

namespace logo {
namespace {

// The number of the run-time error f raises; 0 for none.
template <typename F>
int ErrorOf(F&& f) try {
  f();
  return 0;
} catch (const tk::RuntimeError& e) {
  return e.Number();
}

using Row = std::array<std::int32_t, 6>;
Row AsRow(const Edge& e) { return {e.first.x, e.first.y, e.first.z, e.second.x, e.second.y, e.second.z}; }

TEST(EdgeTable, BuildLogoAppendsTheExtrudedUWithItsDepthsFromZPAndZQ) {
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
  table.BuildLogo(-2, -2, -2, 2, 2, -4);  // a second call appends a second copy
  ASSERT_EQ(table.EdgeCount(), 48);
  for (std::size_t i = 0; i < 48; ++i) EXPECT_EQ(AsRow(table.Edges()[i]), want[i % 24]) << "row " << i;

  // For any box the outer depth edges keep x and y and run between zP and zQ;
  // the slot's run from zP to zP - 2.
  EdgeTable odd;
  odd.BuildLogo(5, -3, 9, -8, 4, -11);
  EXPECT_EQ(AsRow(odd.Edges()[0]), (Row{5, -3, 9, 5, -3, -11}));
  EXPECT_EQ(AsRow(odd.Edges()[3]), (Row{-8, 4, -11, -8, 4, 9}));
  EXPECT_EQ(AsRow(odd.Edges()[20]), (Row{-8, -3, 9, -8, -3, -11}));
  EXPECT_EQ(AsRow(odd.Edges()[22]), (Row{5, 4, 9, 5, 4, -11}));
  for (std::size_t row = 5; row <= 8; ++row) EXPECT_EQ(odd.Edges()[row].first.z - odd.Edges()[row].second.z, 2);
}

TEST(EdgeTable, AddEdgeRoundsHalvesToEvenOverflowsFieldByFieldAndHolds101Edges) {
  EdgeTable table;
  table.AddEdge(1, 2, 3, 4, 5, 6);
  table.AddEdge(2.5, 3.5, -2.5, -3.5, 0.5, 2.4999);
  table.AddEdge(2147483647.4, -2147483648.0, -2147483648.5, 1.5000001, -0.5, -0.7);
  EXPECT_EQ(AsRow(table.Edges()[0]), (Row{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(AsRow(table.Edges()[1]), (Row{2, 4, -2, -4, 0, 2}));
  EXPECT_EQ(AsRow(table.Edges()[2]), (Row{2147483647, INT32_MIN, INT32_MIN, 2, 0, -1}));
  // Out of range (some only by rounding) or no number: an overflow at that field.
  const double two31 = std::ldexp(1.0, 31), inf = std::numeric_limits<double>::infinity();
  const std::array<std::pair<std::size_t, double>, 6> bad{
      {{0, two31}, {5, two31}, {1, 2147483647.5}, {2, -2147483649.0}, {3, std::nan("")}, {4, -inf}}};
  for (const auto& [field, value] : bad) {
    std::array<double, 6> a{};
    a[field] = value;
    EXPECT_EQ(ErrorOf([&] { table.AddEdge(a[0], a[1], a[2], a[3], a[4], a[5]); }), 6) << field;
  }
  // The count stayed at 3; the 101st edge lands at index 100, and the next
  // call fails before converting anything.
  while (table.EdgeCount() < 101) table.AddEdge(table.EdgeCount(), 0, 0, 0, 0, 0);
  EXPECT_EQ(AsRow(table.Edges()[3]), (Row{3, 0, 0, 0, 0, 0}));
  EXPECT_EQ(table.Edges()[100].first.x, 100);
  EXPECT_EQ(ErrorOf([&] { table.AddEdge(two31, 0, 0, 0, 0, 0); }), 9);
  EXPECT_EQ(table.EdgeCount(), 101);
}

// Single precision would round r * 2 + 3 up to 5 for the draw just below 1.
TEST(LogoMotion, SpinsOfTheLowestAndHighestDraws) {
  const float top = std::nextafter(1.0f, 0.0f);
  EXPECT_EQ(std::vector({SpinFromDraw(top, 2, 3), SpinFromDraw(top, 4, 2), SpinFromDraw(top, 6, 1),
                         SpinFromDraw(0.0f, 2, 3), SpinFromDraw(0.0f, 4, 2), SpinFromDraw(0.0f, 6, 1)}),
            (std::vector<std::int16_t>{4, 5, 6, 3, 2, 1}));
}

TEST(ProjectPoint, KnownPointsAndTurns) {
  // The turned values come from an independent product Rz(B) * Ry(C) * Rx(A):
  // swapping two rotations or two angles moves a point by many twips.
  const struct {
    Point3D p;
    double a, b, c, x, y;
  } cases[] = {
      {{-2, -2, -2}, 0, 0, 0, 3828.5714, 868.0495},
      {{2, 2, -4}, 0, 0, 0, 4354.0230, 612.9023},
      {{0, 0, 0}, 0, 0, 0, 4085.3933, 1080.4213},
      {{2, -1, -3}, 30, 45, 60, 4396.1034, 1089.7430},
      {{2, -1, -3}, 60, 45, 30, 4222.9086, 943.6799},
      {{-2, 2, -4}, 123, 456, 789, 3811.1249, 1044.8556},
      {{-2, 2, -4}, 123 + 3600, 456 - 360, 789 + 36000, 3811.1249, 1044.8556},  // never wrapped
  };
  tk::Form form{"ZENOrA"};  // the intro's 4800 x 2835 twips
  form.SetBounds(0, 0, 4800, 2835);
  for (const auto& c : cases) {
    auto at = [&](int flag) {
      return ProjectPoint(form, c.p, c.a, c.b, c.c, kShiftX, kShiftZ, kShiftY, kPerspective, flag);
    };
    EXPECT_NEAR(at(0), c.x, 1e-3) << c.p.x << "," << c.p.y << "," << c.p.z << " at " << c.a;
    EXPECT_NEAR(at(1), c.y, 1e-3) << c.p.x << "," << c.p.y << "," << c.p.z << " at " << c.a;
    EXPECT_EQ(at(-1), at(1));  // any non-zero flag is screen y
  }
  // A shifted depth of -1 divides by zero.
  EXPECT_EQ(ErrorOf([&] { ProjectPoint(form, {0, 89, 0}, 0, 0, 0, kShiftX, kShiftZ, kShiftY, kPerspective, 0); }), 11);
}

}  // namespace
}  // namespace logo
