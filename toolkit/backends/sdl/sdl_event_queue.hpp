#pragma once

#include <SDL.h>
#include <SDL_syswm.h>

#include <deque>
#include <functional>
#include <thread>

#include "desktop_window.hpp"

namespace tk {

// SDL's event queue as the form's input wants it. Of a run of pointer moves
// only the newest is kept, in the place of the run; presses, releases and
// every other event keep their order and their place; events of no use are
// never queued. So a flood of moves (an 8 kHz mouse, a program stopped for a
// while) neither fills SDL's queue, where a release behind it would be lost,
// nor holds the form up with places the pointer has left.
//
// It sorts each event as SDL is about to queue it (SDL's event filter), on
// the thread that pumps them; other threads' events pass as they are. A run
// of moves leaves a mark in SDL's queue, so waits see it.
class SdlEventQueue {
 public:
  using Sort = std::function<Queued(SDL_Event&)>;

  explicit SdlEventQueue(Sort sort);  // SDL's events are started
  ~SdlEventQueue();
  SdlEventQueue(const SdlEventQueue&) = delete;
  SdlEventQueue& operator=(const SdlEventQueue&) = delete;

  // The next event, without pumping; valid until the next call.
  const SDL_Event* Next();

 private:
  struct Held {
    SDL_Event event;
    SDL_SysWMmsg msg;  // a window system's event is SDL's only while it is queued
  };
  static int SDLCALL Filter(void* self, SDL_Event* event);
  bool Hold(const SDL_Event& event);
  const SDL_Event* Take(const Held& held);

  Sort sort_;
  std::thread::id pumping_ = std::this_thread::get_id();
  Uint32 mark_;            // SDL's event type of a run's place; 0: none to be had
  std::deque<Held> runs_;  // the newest move of each run, oldest first
  bool open_ = false;      // the last run may still grow
  Held current_{};
};

}  // namespace tk
