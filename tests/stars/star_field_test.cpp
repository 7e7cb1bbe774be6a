#include "stars/star_field.hpp"

#include <gtest/gtest.h>

#include "toolkit/errors.hpp"

namespace stars {
namespace {

// The window and its 43 star controls at their starting places.
struct Field {
  Field() {
    form.SetBounds(0, 0, 4800, 2835);
    PlaceStars(star);
  }
  void Step(int ticks = 1) {
    for (int t = 0; t < ticks; ++t) StarStep(star, form);
  }
  float Left(std::size_t i) const { return star[i].Left(); }

  tk::Form form{"ZENOrA"};
  StarBoxes star = MakeStarBoxes();
};

TEST(StarStep, MovesThenWrapsAtTenOrLessDroppingTheOvershoot) {
  Field f;
  f.Step();
  // Stars 1 and 32 start at 0, fall to -2 and -13 and wrap in the first tick.
  EXPECT_EQ(f.Left(1), 4790);
  EXPECT_EQ(f.Left(32), 4790);
  EXPECT_EQ(f.Left(0), 179);
  EXPECT_EQ(f.Left(42), 4377);
  f.Step();  // a wrapped star moves from its new place on the next tick
  EXPECT_EQ(f.Left(1), 4788);
  EXPECT_EQ(f.Left(32), 4777);

  f.Step(25);
  EXPECT_EQ(f.Left(4), 15);
  f.Step();  // tick 28: star 4 comes to exactly 10 and wraps
  EXPECT_EQ(f.Left(4), 4790);

  f.Step(166 - 28);
  EXPECT_EQ(f.Left(39), 23);
  f.Step();  // tick 167: star 39 comes to 1 and wraps
  EXPECT_EQ(f.Left(39), 4790);
  f.Step(217);
  EXPECT_EQ(f.Left(39), 16);
  f.Step();  // down to -6: back to 4790 with nothing carried over
  EXPECT_EQ(f.Left(39), 4790);
  for (std::size_t i = 0; i < kStars.size(); ++i) EXPECT_EQ(f.star[i].Top(), kStars[i].top) << "star " << i;
}

TEST(StarStep, WrapReadsTheWindowWidth) {
  Field f;
  f.form.SetWidth(3000);
  f.Step();
  EXPECT_EQ(f.Left(1), 2990);
}

TEST(StarStep, TooFewControlsIsASubscriptErrorBeforeAnyMove) {
  Field f;
  try {
    StarStep(std::span<tk::PictureBox>(f.star.data(), 42), f.form);
    ADD_FAILURE() << "no error";
  } catch (const tk::RuntimeError& e) {
    EXPECT_EQ(e.Number(), 9);
  }
  EXPECT_EQ(f.Left(0), kStars[0].left);
}

}  // namespace
}  // namespace stars
