#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/clock.hpp"
#include "toolkit/timer.hpp"

namespace {

// Steps a virtual clock from due time to due time, as the headless loop does.
void RunUntil(tk::VirtualClock& clock, tk::TimerQueue& queue, std::int64_t ms) {
  queue.FireDue();
  for (auto next = queue.NextDue(); next && *next <= ms; next = queue.NextDue()) {
    clock.AdvanceTo(*next);
    queue.FireDue();
  }
  clock.AdvanceTo(ms);
}

struct Log {
  tk::VirtualClock& clock;
  std::vector<std::string> entries;
  void Hit(const std::string& name) { entries.push_back(name + "@" + std::to_string(clock.NowMs())); }
};

TEST(Timer, FiresEveryIntervalWhileEnabledAndNeverWithIntervalZero) {
  tk::VirtualClock clock;
  tk::TimerQueue queue(clock);
  Log log{clock, {}};
  tk::Timer a("a");
  tk::Timer idle("idle");  // designed enabled with interval 0
  a.OnTimer = [&] { log.Hit("a"); };
  idle.OnTimer = [&] { log.Hit("idle"); };
  queue.Add(a);
  queue.Add(idle);
  a.SetInterval(20);
  RunUntil(clock, queue, 65);
  EXPECT_EQ(log.entries, (std::vector<std::string>{"a@20", "a@40", "a@60"}));
  a.SetEnabled(false);
  RunUntil(clock, queue, 200);
  EXPECT_EQ(log.entries.size(), 3u);
  a.SetEnabled(true);  // counts afresh from now
  RunUntil(clock, queue, 225);
  EXPECT_EQ(log.entries.back(), "a@220");
  a.SetInterval(50);  // a new interval restarts the count too
  RunUntil(clock, queue, 300);
  EXPECT_EQ(log.entries.back(), "a@275");
}

TEST(Timer, TicksAtTheSameInstantRunInTheOrderTheirTimersWereArmed) {
  tk::VirtualClock clock;
  tk::TimerQueue queue(clock);
  Log log{clock, {}};
  tk::Timer text("text"), stars("stars"), tune("tune");
  for (auto* t : {&tune, &stars, &text}) queue.Add(*t);
  text.OnTimer = [&] { log.Hit("text"); };
  stars.OnTimer = [&] { log.Hit("stars"); };
  tune.OnTimer = [&] { log.Hit("tune"); };
  text.SetInterval(1000);
  stars.SetInterval(500);
  tune.SetInterval(1000);
  RunUntil(clock, queue, 1000);
  EXPECT_EQ(log.entries, (std::vector<std::string>{"stars@500", "text@1000", "stars@1000", "tune@1000"}));
}

TEST(Timer, AHandlerIsNeverReenteredAndMissedTicksAreNotCaughtUp) {
  tk::VirtualClock clock;
  tk::TimerQueue queue(clock);
  tk::Timer slow("slow");
  queue.Add(slow);
  int depth = 0;
  int max_depth = 0;
  std::vector<std::int64_t> starts;
  slow.OnTimer = [&] {
    starts.push_back(clock.NowMs());
    max_depth = std::max(max_depth, ++depth);
    if (starts.size() == 1) {
      // The handler takes 75 ms and lets messages run meanwhile.
      for (int ms = 5; ms <= 75; ms += 5) {
        clock.AdvanceTo(starts[0] + ms);
        queue.FireDue();
      }
    }
    --depth;
  };
  slow.SetInterval(20);
  RunUntil(clock, queue, 130);
  EXPECT_EQ(max_depth, 1);
  // Ticks due at 40, 60 and 80 fell due while it ran: one is held back and
  // runs on return (95), the rest are dropped; then the grid goes on.
  ASSERT_GE(starts.size(), 3u);
  EXPECT_EQ(starts[0], 20);
  EXPECT_EQ(starts[1], 95);
  EXPECT_EQ(starts[2], 100);
}

TEST(Timer, OtherTimersRunWhileAHandlerYields) {
  tk::VirtualClock clock;
  tk::TimerQueue queue(clock);
  tk::Timer outer("outer"), inner("inner");
  queue.Add(outer);
  queue.Add(inner);
  std::vector<std::string> seen;
  outer.OnTimer = [&] {
    seen.push_back("outer begins");
    queue.FireDue();  // a yield in the middle of the handler
    seen.push_back("outer ends");
  };
  inner.OnTimer = [&] { seen.push_back("inner"); };
  outer.SetInterval(100);
  inner.SetInterval(100);
  RunUntil(clock, queue, 100);
  EXPECT_EQ(seen, (std::vector<std::string>{"outer begins", "inner", "outer ends"}));
}

TEST(Timer, DisablingAnotherTimerDueAtTheSameInstantStopsIt) {
  tk::VirtualClock clock;
  tk::TimerQueue queue(clock);
  tk::Timer first("first"), second("second");
  queue.Add(first);
  queue.Add(second);
  int second_ticks = 0;
  first.OnTimer = [&] { second.SetEnabled(false); };
  second.OnTimer = [&] { ++second_ticks; };
  first.SetInterval(50);
  second.SetInterval(50);
  RunUntil(clock, queue, 500);
  EXPECT_EQ(second_ticks, 0);
}

}  // namespace
