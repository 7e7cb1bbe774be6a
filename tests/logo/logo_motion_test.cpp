#include "logo/logo_motion.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace logo {
namespace {

TEST(LogoMotion, StartSpinsTurnTheAnglesWithoutWrapping) {
  LogoMotion motion;
  motion.SetStartSpins();
  EXPECT_EQ(motion.SpinA(), 2);
  EXPECT_EQ(motion.SpinB(), 3);
  EXPECT_EQ(motion.SpinC(), 4);
  EXPECT_EQ(motion.AngleA(), 0);
  EXPECT_EQ(motion.AngleB(), 0);
  EXPECT_EQ(motion.AngleC(), 0);
  motion.AdvanceAngles();
  EXPECT_EQ(motion.AngleA(), 2);
  EXPECT_EQ(motion.AngleB(), 3);
  EXPECT_EQ(motion.AngleC(), 4);
  for (int tick = 1; tick < 500; ++tick) motion.AdvanceAngles();
  EXPECT_EQ(motion.AngleA(), 1000);
  EXPECT_EQ(motion.AngleB(), 1500);
  EXPECT_EQ(motion.AngleC(), 2000);
}

TEST(LogoMotion, FirstPickFromTheUnseededGeneratorIsFourFourFour) {
  LogoMotion motion;
  motion.SetStartSpins();
  motion.AdvanceAngles();
  tk::Rnd rnd;
  motion.PickSpins(rnd);
  EXPECT_EQ(motion.SpinA(), 4);
  EXPECT_EQ(motion.SpinB(), 4);
  EXPECT_EQ(motion.SpinC(), 4);
  // The angles keep their values.
  EXPECT_EQ(motion.AngleA(), 2);
  EXPECT_EQ(motion.AngleB(), 3);
  EXPECT_EQ(motion.AngleC(), 4);
  motion.AdvanceAngles();
  EXPECT_EQ(motion.AngleA(), 6);
  EXPECT_EQ(motion.AngleB(), 7);
  EXPECT_EQ(motion.AngleC(), 8);
}

TEST(LogoMotion, DrawsJustBelowOneStayInTheTopChoice) {
  // In single precision r * 2 + 3 for r = 1 - 2^-24 comes to exactly 5.
  const float top = std::nextafter(1.0f, 0.0f);
  const float below_top = std::nextafter(top, 0.0f);
  EXPECT_EQ(SpinFromDraw(top, 2, 3), 4);
  EXPECT_EQ(SpinFromDraw(below_top, 2, 3), 4);
  EXPECT_EQ(SpinFromDraw(top, 4, 2), 5);
  EXPECT_EQ(SpinFromDraw(top, 6, 1), 6);
  EXPECT_EQ(SpinFromDraw(0.0f, 2, 3), 3);
  EXPECT_EQ(SpinFromDraw(0.0f, 4, 2), 2);
  EXPECT_EQ(SpinFromDraw(0.0f, 6, 1), 1);
  EXPECT_EQ(SpinFromDraw(0.5f, 6, 1), 4);
}

TEST(LogoMotion, SpinsStayInRangeOverWholeGeneratorPeriods) {
  // 2^24 picks use every state of the generator for each of A, B and C.
  LogoMotion motion;
  tk::Rnd rnd;
  std::set<int> seen_a, seen_b, seen_c;
  for (int pick = 0; pick < (1 << 24); ++pick) {
    motion.PickSpins(rnd);
    if (motion.SpinA() < 3 || motion.SpinA() > 4 || motion.SpinB() < 2 || motion.SpinB() > 5 ||
        motion.SpinC() < 1 || motion.SpinC() > 6) {
      FAIL() << "pick " << pick << ": " << motion.SpinA() << ", " << motion.SpinB() << ", " << motion.SpinC();
    }
    if (pick < 1000) {
      seen_a.insert(motion.SpinA());
      seen_b.insert(motion.SpinB());
      seen_c.insert(motion.SpinC());
    }
  }
  EXPECT_EQ(seen_a, (std::set<int>{3, 4}));
  EXPECT_EQ(seen_b, (std::set<int>{2, 3, 4, 5}));
  EXPECT_EQ(seen_c, (std::set<int>{1, 2, 3, 4, 5, 6}));
}

}  // namespace
}  // namespace logo
