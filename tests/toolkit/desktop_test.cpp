#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "sdl_event_queue.hpp"
#include "x11_window.hpp"

namespace {

TEST(X11, TheScaleFromGdkScaleOrXftDpi) {
  // GDK_SCALE, Xft.dpi (null: unset); the scale.
  const std::tuple<const char*, const char*, int> scales[] = {{nullptr, nullptr, 1},
                                                              {"2", "288", 2},
                                                              {"0", "192", 2},
                                                              {"1.5", "192", 2},
                                                              {"x", nullptr, 1},
                                                              {nullptr, "288", 3},
                                                              {"99999999999", nullptr, 64},
                                                              {nullptr, "nan", 1}};
  for (const auto& [gdk, dpi, scale] : scales) {
    EXPECT_EQ(tk::ChooseScale(gdk, dpi), scale) << (gdk ? gdk : "-") << " " << (dpi ? dpi : "-");
  }
}

// SDL's queue, a flood of moves sent through it: of each run of moves only
// the newest comes, in its place; presses and releases keep theirs, events
// of no use never come.
TEST(SdlEventQueue, KeepsTheNewestMoveOfARunInItsPlace) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
  {
    tk::SdlEventQueue queue([](SDL_Event& e) {
      return e.type == SDL_MOUSEMOTION  ? tk::Queued::Move
             : e.type == SDL_MOUSEWHEEL ? tk::Queued::Drop
                                        : tk::Queued::Keep;
    });
    const auto push = [](Uint32 type, int x = 0) {
      SDL_Event e{};
      e.type = type;
      e.motion.x = x;
      SDL_PushEvent(&e);
    };
    for (int x = 1; x <= 100'000; ++x) push(SDL_MOUSEMOTION, x);  // more than SDL's queue holds
    push(SDL_MOUSEBUTTONDOWN);
    push(SDL_MOUSEMOTION, 1);
    push(SDL_MOUSEWHEEL);
    push(SDL_MOUSEMOTION, 2);
    push(SDL_MOUSEBUTTONUP);
    push(SDL_MOUSEMOTION, 3);
    std::vector<std::string> seen;
    while (const SDL_Event* e = queue.Next()) {
      seen.push_back(e->type == SDL_MOUSEMOTION       ? "move " + std::to_string(e->motion.x)
                     : e->type == SDL_MOUSEBUTTONDOWN ? "down"
                                                      : "up");
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"move 100000", "down", "move 2", "up", "move 3"}));
  }
  SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

}  // namespace
