#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/clock.hpp"
#include "toolkit/errors.hpp"
#include "toolkit/headless_backend.hpp"
#include "toolkit/message_loop.hpp"
#include "toolkit/timer.hpp"

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

// A step handles what is pending, fires what is due, presents it, and says
// when the next step is wanted: as a browser drives the loop.
TEST(MessageLoop, AStepHandlesWhatIsPendingAndSaysWhenToStepAgain) {
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
    form.Line(0, 0, 0, 0, 0x0000FF);  // one red pixel
  };
  form.MouseDown = [&](std::int16_t, std::int16_t, float, float) { ++presses; };
  timer.SetInterval(20);
  loop.Show();
  EXPECT_EQ(loop.Step(), 20);
  backend.Clock().AdvanceTo(15);
  backend.Inject({tk::MouseEvent::Kind::Down, 1, 1, 1});
  EXPECT_EQ(loop.Step(), 5);
  EXPECT_EQ(presses, 1);
  backend.Clock().AdvanceTo(47);  // late: one tick, none caught up
  EXPECT_EQ(loop.Step(), 13);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(backend.LastFrame().At(0, 0), 0xFF0000u);
  timer.SetEnabled(false);
  EXPECT_EQ(loop.Step(), tk::MessageLoop::kIdleMs);
  backend.InjectQuit();
  EXPECT_THROW(loop.Step(), tk::ProgramEnd);
}

}  // namespace
