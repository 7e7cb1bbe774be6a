#include "stars/star_field.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "toolkit/errors.hpp"

namespace stars {
namespace {

// The window and its 43 star controls at their starting places.
struct Field {
  Field() {
    form.SetBounds(0, 0, 4800, 2835);
    for (std::size_t i = 0; i < kStars.size(); ++i) {
      boxes[i] = std::make_unique<tk::PictureBox>("star");
      boxes[i]->SetBounds(kStars[i].left, kStars[i].top, 15, 15);
      star[i] = boxes[i].get();
    }
  }
  void Step(int ticks = 1) {
    for (int t = 0; t < ticks; ++t) StarStep(star, form);
  }
  float Left(std::size_t i) const { return star[i]->Left(); }

  tk::Form form{"ZENOrA"};
  std::array<std::unique_ptr<tk::PictureBox>, 43> boxes;
  std::array<tk::PictureBox*, 43> star{};
};

TEST(StarTable, FastStarsAreWhiteAndPlacesAreWholePixels) {
  const std::array<int, 43> speeds{1,  2,  3,  4,  5,  1,  2,  3,  4,  5,  1,  2,  3,  6,  7,  8,  9,  10, 6,  7,  8, 9,
                                   10, 6,  7,  11, 12, 13, 14, 15, 11, 12, 13, 16, 17, 18, 19, 20, 21, 22, 21, 16, 18};
  for (std::size_t i = 0; i < kStars.size(); ++i) {
    EXPECT_EQ(kStars[i].speed, speeds[i]) << "star " << i;
    EXPECT_EQ(kStars[i].white, kStars[i].speed >= 11) << "star " << i;
    EXPECT_EQ(std::fmod(kStars[i].left, 15.0f), 0) << "star " << i;
    EXPECT_EQ(std::fmod(kStars[i].top, 15.0f), 0) << "star " << i;
  }
}

TEST(StarStep, StarsAtTheLeftEdgeWrapOnTheFirstTick) {
  Field f;
  f.Step();
  EXPECT_EQ(f.Left(1), 4790);
  EXPECT_EQ(f.Left(32), 4790);
  for (std::size_t i = 0; i < kStars.size(); ++i) {
    if (i == 1 || i == 32) continue;
    EXPECT_EQ(f.Left(i), kStars[i].left - static_cast<float>(kStars[i].speed)) << "star " << i;
  }
  // A wrapped star moves from its new place on the next tick.
  f.Step();
  EXPECT_EQ(f.Left(1), 4788);
  EXPECT_EQ(f.Left(32), 4777);
}

TEST(StarStep, StarAtExactlyTenWraps) {
  Field f;
  f.Step(27);
  EXPECT_EQ(f.Left(4), 15);
  f.Step();
  EXPECT_EQ(f.Left(4), 4790);
}

TEST(StarStep, OvershootIsDroppedAndTopKept) {
  Field f;
  f.Step(166);
  EXPECT_EQ(f.Left(39), 23);
  f.Step();  // tick 167: down to 1, wraps
  EXPECT_EQ(f.Left(39), 4790);
  f.Step(217);
  EXPECT_EQ(f.Left(39), 16);
  f.Step();  // down to -6, wraps with nothing carried over
  EXPECT_EQ(f.Left(39), 4790);
  for (std::size_t i = 0; i < kStars.size(); ++i) {
    EXPECT_EQ(f.star[i]->Top(), kStars[i].top) << "star " << i;
    EXPECT_EQ(f.star[i]->Width(), 15) << "star " << i;
  }
}

TEST(StarStep, EveryStarRunsItsOwnPeriodWithinTheStrip) {
  // From 4790 a star of speed s wraps again after ceil(4780 / s) ticks.
  Field f;
  std::array<std::vector<int>, 43> wraps;
  for (int tick = 1; tick <= 12000; ++tick) {
    std::array<float, 43> before{};
    for (std::size_t i = 0; i < kStars.size(); ++i) before[i] = f.Left(i);
    f.Step();
    for (std::size_t i = 0; i < kStars.size(); ++i) {
      const float left = f.Left(i);
      ASSERT_GE(left, 11) << "star " << i << " tick " << tick;
      ASSERT_LE(left, 4790) << "star " << i << " tick " << tick;
      ASSERT_EQ(left, std::floor(left)) << "star " << i << " tick " << tick;
      if (left > before[i]) {
        ASSERT_EQ(left, 4790);
        wraps[i].push_back(tick);
      }
    }
  }
  for (std::size_t i = 0; i < kStars.size(); ++i) {
    const int period = (4780 + kStars[i].speed - 1) / kStars[i].speed;
    ASSERT_GE(wraps[i].size(), 2u) << "star " << i;
    for (std::size_t w = 1; w < wraps[i].size(); ++w) {
      EXPECT_EQ(wraps[i][w] - wraps[i][w - 1], period) << "star " << i;
    }
  }
}

TEST(StarStep, WrapReadsTheWindowWidthEachTime) {
  Field f;
  f.form.SetWidth(3000);
  f.Step();
  EXPECT_EQ(f.Left(1), 2990);
  EXPECT_EQ(f.Left(32), 2990);
}

TEST(StarStep, TooFewControlsIsASubscriptErrorBeforeAnyMove) {
  Field f;
  const std::span<tk::PictureBox* const> short_array(f.star.data(), 42);
  try {
    StarStep(short_array, f.form);
    ADD_FAILURE() << "no error";
  } catch (const tk::RuntimeError& e) {
    EXPECT_EQ(e.Number(), 9);
  }
  for (std::size_t i = 0; i < kStars.size(); ++i) EXPECT_EQ(f.Left(i), kStars[i].left) << "star " << i;
}

}  // namespace
}  // namespace stars
