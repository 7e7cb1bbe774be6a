#pragma once

#include <cstdint>
#include <vector>

#include "backend.hpp"
#include "controls.hpp"
#include "surface.hpp"
#include "timer.hpp"

namespace tk {

// Routes mouse events to the topmost enabled, visible control under the
// pointer; the control that gets a press keeps the pointer until the last
// button is released. A move that no longer holds a pressed button tells of
// its release, whose own event was lost or comes late: the control hears the
// release then (no click: where it happened is not known), and a late one
// finds nothing to release.
class MouseRouter {
 public:
  void Route(Form& form, const MouseEvent& event);

 private:
  void Release(Form& form, const MouseEvent& event, std::int16_t button, bool click);

  Control* captured_ = nullptr;
  std::int16_t buttons_ = 0;
};

// One thread: input events and timer ticks are messages. The screen is
// presented only from the top level of the loop, so it always shows whole
// frames.
//
// Input never keeps the top level from coming round: a pass takes at most
// kEventsPerPass events, and a handler's yield takes input only while fewer
// than kInputNesting mouse handlers run (moves that each yield, a flood of
// them, nest that deep and no deeper; timers still run in the yield). What is
// left waits for the next pass. The backend delivers only the newest of the
// moves pending at once.
//
// Who drives the loop is the platform's choice. Natively Run waits on the
// display between steps. Where the host calls the program instead (a
// browser's animation frame or timeout), it calls Step and calls again when
// Step says, or sooner when input arrives. Handlers yield through DoEvents
// either way.
class MessageLoop {
 public:
  // The longest wait for input while no timer runs; then the loop looks again.
  static constexpr std::int64_t kIdleMs = 100;
  static constexpr int kEventsPerPass = 64;
  static constexpr int kInputNesting = 2;

  MessageLoop(Backend& backend, Form& form);

  TimerQueue& Timers() { return timers_; }
  std::int64_t NowMs() const { return backend_.GetClock().NowMs(); }

  void Show();
  // Handles everything pending once and returns; what a handler calls to
  // yield (it presents nothing: only the top level does).
  void DoEvents();
  // One turn of the top level, never called from a handler: handles every
  // pending event, fires the timers due, and presents the frame when any of
  // that happened. Returns the milliseconds until the next timer is due (0:
  // already, or input is left over), kIdleMs when none runs; input that
  // arrives sooner wants a step sooner. Throws ProgramEnd when the program
  // ends, and any run-time error a handler did not trap.
  std::int64_t Step();
  // Steps and waits on the backend between steps until the program ends;
  // returns the exit status.
  int Run();
  // On a virtual clock: runs every tick due up to ms, then presents the frame.
  void RunUntil(VirtualClock& clock, std::int64_t ms);
  [[noreturn]] void End(int status);

  // The window as it would show now (brought up to date where it changed).
  const Surface& Compose();

 private:
  // Handles a pass of pending input and the timers due; whether anything ran.
  bool HandlePending();
  void PresentFrame();

  Backend& backend_;
  Form& form_;
  TimerQueue timers_;
  MouseRouter router_;
  Surface frame_;
  std::vector<Rect> unshown_;  // painted into frame_, not yet presented
  int input_depth_ = 0;        // mouse handlers running, one inside another's yield
  bool input_left_ = false;    // a pass of this step ended with input maybe pending
};

}  // namespace tk
