#include "logo/edge_table.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "toolkit/errors.hpp"

namespace logo {
namespace {

// Runs f, which must raise the runtime error with this number.
template <typename F>
void ExpectRuntimeError(int number, F&& f) {
  try {
    f();
    ADD_FAILURE() << "no run-time error raised";
  } catch (const tk::RuntimeError& e) {
    EXPECT_EQ(e.Number(), number) << e.what();
  }
}

Edge MakeEdge(int x1, int y1, int z1, int x2, int y2, int z2) { return {{x1, y1, z1}, {x2, y2, z2}}; }

TEST(EdgeTable, StartUpLogoIsTheExtrudedU) {
  const std::vector<Edge> expected{
      MakeEdge(-2, -2, -2, -2, -2, -4), MakeEdge(-2, -2, -2, -2, 2, -2), MakeEdge(-2, -2, -2, 2, -2, -2),
      MakeEdge(2, 2, -4, 2, 2, -2),     MakeEdge(2, 2, -4, 2, -2, -4),   MakeEdge(1, -1, -2, 1, -1, -4),
      MakeEdge(-1, -1, -2, -1, -1, -4), MakeEdge(1, 2, -2, 1, 2, -4),    MakeEdge(-1, 2, -2, -1, 2, -4),
      MakeEdge(-1, -1, -2, 1, -1, -2),  MakeEdge(-1, -1, -2, -1, 2, -2), MakeEdge(1, -1, -2, 1, 2, -2),
      MakeEdge(-2, 2, -2, -1, 2, -2),   MakeEdge(1, 2, -2, 2, 2, -2),    MakeEdge(-1, -1, -4, 1, -1, -4),
      MakeEdge(-1, -1, -4, -1, 2, -4),  MakeEdge(1, -1, -4, 1, 2, -4),   MakeEdge(-2, 2, -4, -1, 2, -4),
      MakeEdge(1, 2, -4, 2, 2, -4),     MakeEdge(2, 2, -2, 2, -2, -2),   MakeEdge(2, -2, -2, 2, -2, -4),
      MakeEdge(-2, -2, -4, 2, -2, -4),  MakeEdge(-2, 2, -2, -2, 2, -4),  MakeEdge(-2, -2, -4, -2, 2, -4),
  };
  EdgeTable table;
  EXPECT_TRUE(table.Edges().empty());
  table.BuildLogo(-2, -2, -2, 2, 2, -4);
  ASSERT_EQ(table.EdgeCount(), 24);
  ASSERT_EQ(table.Edges().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(table.Edges()[i], expected[i]) << "row " << i;

  // A second call appends a second copy; nothing is replaced.
  table.BuildLogo(-2, -2, -2, 2, 2, -4);
  ASSERT_EQ(table.EdgeCount(), 48);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(table.Edges()[i], expected[i]) << "row " << i;
    EXPECT_EQ(table.Edges()[i + 24], expected[i]) << "row " << i + 24;
  }
}

TEST(EdgeTable, OuterDepthEdgesRunFromZPToZQForAnyBox) {
  struct Box {
    double xP, yP, zP, xQ, yQ, zQ;
  };
  for (const Box& b : {Box{-2, -2, -2, 2, 2, -4}, Box{0, 0, 0, 10, 7, 5}, Box{5, -3, 9, -8, 4, -11}}) {
    EdgeTable table;
    table.BuildLogo(b.xP, b.yP, b.zP, b.xQ, b.yQ, b.zQ);
    for (const std::size_t row : {0u, 3u, 20u, 22u}) {
      const Edge& e = table.Edges()[row];
      EXPECT_EQ(e.first.x, e.second.x) << "row " << row;
      EXPECT_EQ(e.first.y, e.second.y) << "row " << row;
      // Row 3 starts at the Q end; the others at the P end.
      const auto near = row == 3 ? e.second.z : e.first.z;
      const auto far = row == 3 ? e.first.z : e.second.z;
      EXPECT_EQ(near, b.zP) << "row " << row;
      EXPECT_EQ(far, b.zQ) << "row " << row;
    }
  }
}

TEST(EdgeTable, AddEdgeStoresArgumentsInOrderAndRoundsHalvesToEven) {
  EdgeTable table;
  table.AddEdge(1, 2, 3, 4, 5, 6);
  table.AddEdge(2.5, 3.5, -2.5, -3.5, 0.5, 2.4999);
  table.AddEdge(2147483647.4, -2147483648.0, -2147483648.5, 1.5000001, -0.5, -0.7);
  ASSERT_EQ(table.EdgeCount(), 3);
  EXPECT_EQ(table.Edges()[0], MakeEdge(1, 2, 3, 4, 5, 6));
  EXPECT_EQ(table.Edges()[1], MakeEdge(2, 4, -2, -4, 0, 2));
  EXPECT_EQ(table.Edges()[2], MakeEdge(2147483647, std::numeric_limits<std::int32_t>::min(),
                                       std::numeric_limits<std::int32_t>::min(), 2, 0, -1));
}

TEST(EdgeTable, ArgumentOutsideThe32BitRangeOverflowsWithoutAdvancing) {
  const double two31 = std::ldexp(1.0, 31);
  EdgeTable table;
  table.AddEdge(1, 2, 3, 4, 5, 6);
  // Each field position, and values that only leave the range by rounding.
  ExpectRuntimeError(6, [&] { table.AddEdge(two31, 0, 0, 0, 0, 0); });
  ExpectRuntimeError(6, [&] { table.AddEdge(0, 0, 0, 0, 0, two31); });
  ExpectRuntimeError(6, [&] { table.AddEdge(0, 2147483647.5, 0, 0, 0, 0); });
  ExpectRuntimeError(6, [&] { table.AddEdge(0, 0, -2147483649.0, 0, 0, 0); });
  ExpectRuntimeError(6, [&] { table.AddEdge(0, 0, 0, std::nan(""), 0, 0); });
  ExpectRuntimeError(6, [&] { table.AddEdge(0, 0, 0, 0, -std::numeric_limits<double>::infinity(), 0); });
  EXPECT_EQ(table.EdgeCount(), 1);
  EXPECT_EQ(table.Edges()[0], MakeEdge(1, 2, 3, 4, 5, 6));

  // The half-written entry is simply taken by the next good edge.
  table.AddEdge(7, 8, 9, 10, 11, 12);
  EXPECT_EQ(table.EdgeCount(), 2);
  EXPECT_EQ(table.Edges()[1], MakeEdge(7, 8, 9, 10, 11, 12));
}

TEST(EdgeTable, HoldsExactly101EdgesThenRaisesSubscriptOutOfRange) {
  EdgeTable table;
  for (int i = 0; i < 101; ++i) table.AddEdge(i, 0, 0, 0, 0, -i);
  ASSERT_EQ(table.EdgeCount(), 101);
  EXPECT_EQ(table.Edges()[100], MakeEdge(100, 0, 0, 0, 0, -100));

  const std::vector<Edge> before(table.Edges().begin(), table.Edges().end());
  ExpectRuntimeError(9, [&] { table.AddEdge(1, 1, 1, 1, 1, 1); });
  // The index is checked before any conversion.
  ExpectRuntimeError(9, [&] { table.AddEdge(std::ldexp(1.0, 40), 0, 0, 0, 0, 0); });
  ExpectRuntimeError(9, [&] { table.BuildLogo(-2, -2, -2, 2, 2, -4); });
  EXPECT_EQ(table.EdgeCount(), 101);
  EXPECT_EQ(std::vector<Edge>(table.Edges().begin(), table.Edges().end()), before);
}

TEST(EdgeTable, BuildLogoNearTheLimitStopsAtTheFullTable) {
  EdgeTable table;
  for (int i = 0; i < 4; ++i) table.BuildLogo(-2, -2, -2, 2, 2, -4);
  ASSERT_EQ(table.EdgeCount(), 96);
  ExpectRuntimeError(9, [&] { table.BuildLogo(-2, -2, -2, 2, 2, -4); });
  EXPECT_EQ(table.EdgeCount(), 101);
  EXPECT_EQ(table.Edges()[100], table.Edges()[4]);
}

}  // namespace
}  // namespace logo
