// A day of the intro on the virtual clock: about 4.3 million animation ticks
// and 320 music restarts. Memory stays flat and the logo stays where it belongs.
#include <gtest/gtest.h>

#include <fstream>

#include "intro_fixture.hpp"

namespace zenora::testing {
namespace {

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST(LongRun, TwentyFourHoursOfIntro) {
  ProgramFolder folder("day");
  HeadlessIntro intro(folder);
  constexpr std::int64_t kHour = 3'600'000;
  intro.RunUntil(kHour);
  const long settled = ResidentKiB();
  for (std::int64_t hour = 2; hour <= 24; ++hour) {
    intro.RunUntil(hour * kHour);
    const tk::Surface& f = intro.Frame();
    int black = 0;
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 300; ++x) {
        if (f.At(x, y) != SharedAssets().window.At(x, y)) {
          ASSERT_TRUE(x >= 231 && y >= 32 && y <= 110) << x << "," << y << " at hour " << hour;
          ++black;
        }
      }
    }
    ASSERT_GT(black, 40) << "hour " << hour;
    ASSERT_LT(ResidentKiB() - settled, 2048) << "hour " << hour;
  }
  EXPECT_EQ(intro.Field("EdgeCount"), "24");
  EXPECT_EQ(intro.Field("AngleA").size() >= 7, true) << intro.Field("AngleA");  // grown past a million degrees
  EXPECT_TRUE(intro.Backend().Boxes().empty());
  std::cout << "resident memory after 1 h: " << settled << " KiB, after 24 h: " << ResidentKiB() << " KiB\n";
}

}  // namespace
}  // namespace zenora::testing
