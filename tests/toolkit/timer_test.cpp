#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "clock.hpp"
#include "errors.hpp"
#include "headless_backend.hpp"
#include "message_loop.hpp"
#include "timer.hpp"

namespace {

// Timers on a virtual clock stepped from due time to due time, as the headless
// loop steps it; every tick logged as name@ms.
struct Rig {
  tk::VirtualClock clock;
  tk::TimerQueue queue{clock};
  std::vector<std::string> log;

  void Add(tk::Timer& timer, const std::function<void()>& body = nullptr) {
    queue.Add(timer);
    timer.OnTimer = [this, &timer, body] {
      log.push_back(timer.Name() + "@" + std::to_string(clock.NowMs()));
      if (body) body();
    };
  }
  void RunUntil(std::int64_t ms) {
    for (auto next = queue.NextDue(); next && *next <= ms; next = queue.NextDue()) {
      clock.AdvanceTo(*next);
      queue.FireDue();
    }
    clock.AdvanceTo(ms);
  }
};

// Every interval while enabled; due at the same instant, in the order armed.
TEST(Timer, FiresEveryIntervalInArmingOrder) {
  Rig rig;
  tk::Timer tune("tune"), stars("stars"), text("text"), idle("idle");
  rig.Add(tune);
  rig.Add(stars);
  rig.Add(text, [&] { tune.SetEnabled(false); });  // a timer due at the same instant stops too
  rig.Add(idle);                                   // enabled with interval 0: never fires
  text.SetInterval(1000);
  stars.SetInterval(500);
  tune.SetInterval(1000);
  rig.RunUntil(1500);
  EXPECT_EQ(rig.log, (std::vector<std::string>{"stars@500", "text@1000", "stars@1000", "stars@1500"}));
}

// A handler that yields lets other timers run but is never re-entered; of its
// ticks that fell due meanwhile one comes on return, the rest are dropped.
TEST(Timer, AYieldingHandlerIsHeldBackNotReenteredAndDoesNotCatchUp) {
  Rig rig;
  tk::Timer slow("slow"), other("other");
  bool first = true;
  rig.Add(slow, [&] {
    for (int ms = 25; first && ms <= 95; ms += 5) {  // the first tick works 75 ms, yielding every 5 ms
      rig.clock.AdvanceTo(ms);
      rig.queue.FireDue();
    }
    first = false;
  });
  rig.Add(other);
  slow.SetInterval(20);
  other.SetInterval(30);
  rig.RunUntil(110);
  EXPECT_EQ(rig.log, (std::vector<std::string>{"slow@20", "other@30", "other@60", "other@90", "slow@95", "slow@100"}));
}

long ResidentKiB() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// A step handles what is pending, fires what is due, presents it, and says
// when the next step is wanted: as a browser drives the loop. Input never
// keeps it from coming round: a flood of moves, each yielding as a drag does,
// nests two handlers deep at most and is worked off over steps that tick and
// present, memory flat, the release behind it kept.
TEST(MessageLoop, AStepHandlesWhatIsPendingAndSaysWhenToStepAgain) {
  using Kind = tk::MouseEvent::Kind;
  tk::HeadlessBackend backend;
  tk::Form form("form");
  form.SetBounds(0, 0, 4 * tk::kTwipsPerPixel, 4 * tk::kTwipsPerPixel);
  tk::MessageLoop loop(backend, form);
  tk::Timer timer("timer");
  loop.Timers().Add(timer);
  int ticks = 0, presses = 0;
  timer.OnTimer = [&] {
    ++ticks;
    form.Cls();
    const float x = static_cast<float>(ticks % 4 * tk::kTwipsPerPixel);
    form.Line(x, 0, x, 0, 0x0000FF);  // one red pixel, a place for each tick
  };
  form.MouseDown = [&](std::int16_t, std::int16_t, float, float) { ++presses; };
  timer.SetInterval(20);
  loop.Show();
  EXPECT_EQ(loop.Step(), 20);
  backend.Clock().AdvanceTo(15);
  backend.Inject({Kind::Down, 1, 1, 1});
  EXPECT_EQ(loop.Step(), 5);
  EXPECT_EQ(presses, 1);
  backend.Clock().AdvanceTo(47);  // late: one tick, none caught up
  EXPECT_EQ(loop.Step(), 13);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(backend.LastFrame().At(1, 0), 0xFF0000u);

  int depth = 0, deepest = 0, moves = 0, releases = 0, steps = 0;
  form.MouseMove = [&](std::int16_t, std::int16_t, float, float) {
    deepest = std::max(deepest, ++depth);
    ++moves;
    loop.DoEvents();
    --depth;
  };
  form.MouseUp = [&](std::int16_t, std::int16_t, float, float) { ++releases; };
  constexpr int kMoves = 100'000;
  for (int i = 0; i < kMoves; ++i) backend.Inject({Kind::Move, i % 4, 1, 1});
  backend.Inject({Kind::Up, 1, 1, 1});
  const long resident = ResidentKiB();
  const auto started = std::chrono::steady_clock::now();
  for (; releases == 0 && steps < kMoves; ++steps) {
    backend.Clock().AdvanceTo(backend.Clock().NowMs() + 5);
    loop.Step();
    ASSERT_EQ(backend.LastFrame().At(ticks % 4, 0), 0xFF0000u) << "the last tick is not shown at step " << steps;
  }
  std::cout << kMoves << " moves worked off in " << steps << " steps, "
            << std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count()
            << " ms, nested " << deepest << " deep, resident memory " << resident << " -> " << ResidentKiB()
            << " KiB\n";
  EXPECT_EQ(moves * 10 + releases, kMoves * 10 + 1);
  EXPECT_EQ(deepest, tk::MessageLoop::kInputNesting);
  EXPECT_GT(steps, 10);
  EXPECT_GT(ticks, steps / 8);
#if !defined(__SANITIZE_ADDRESS__)  // its quarantine keeps what was freed resident
  EXPECT_LT(ResidentKiB() - resident, 1024);
#endif

  timer.SetEnabled(false);
  EXPECT_EQ(loop.Step(), tk::MessageLoop::kIdleMs);
  backend.InjectQuit();
  EXPECT_THROW(loop.Step(), tk::ProgramEnd);
}

}  // namespace
