#pragma once

#include <cstdint>
#include <vector>

#include "toolkit/backend.hpp"
#include "toolkit/controls.hpp"
#include "toolkit/surface.hpp"
#include "toolkit/timer.hpp"

namespace tk {

// Routes mouse events to the topmost enabled, visible control under the
// pointer; the control that gets a press keeps the pointer until the last
// button is released.
class MouseRouter {
 public:
  void Route(Form& form, const MouseEvent& event);

 private:
  Control* captured_ = nullptr;
  std::int16_t buttons_ = 0;
};

// One thread: input events and timer ticks are messages. The screen is
// presented only from the top level of the loop, so it always shows whole
// frames.
class MessageLoop {
 public:
  MessageLoop(Backend& backend, Form& form);

  Backend& GetBackend() { return backend_; }
  TimerQueue& Timers() { return timers_; }
  std::int64_t NowMs() const { return backend_.GetClock().NowMs(); }

  void Show();
  // Handles everything pending once and returns.
  void DoEvents();
  // Runs until the program ends; returns the exit status.
  int Run();
  // On a virtual clock: runs every tick due up to ms, then presents the frame.
  void RunUntil(VirtualClock& clock, std::int64_t ms);
  [[noreturn]] void End(int status);

  // The window as it would show now (brought up to date where it changed).
  const Surface& Compose();

 private:
  bool HandlePending();
  void PresentFrame();

  Backend& backend_;
  Form& form_;
  TimerQueue timers_;
  MouseRouter router_;
  Surface frame_;
  std::vector<Rect> unshown_;  // painted into frame_, not yet presented
};

}  // namespace tk
