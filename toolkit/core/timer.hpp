#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "clock.hpp"

namespace tk {

class TimerQueue;

// Raises OnTimer every Interval ms while Enabled. An Interval of 0 never fires.
// Setting Interval, or enabling a disabled timer, restarts its count.
class Timer {
 public:
  explicit Timer(std::string name) : name_(std::move(name)) {}
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  const std::string& Name() const { return name_; }
  int Interval() const { return interval_; }
  void SetInterval(int ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  std::function<void()> OnTimer;

 private:
  friend class TimerQueue;
  void Rearm();
  bool Armed() const { return enabled_ && interval_ > 0 && queue_ != nullptr; }

  std::string name_;
  int interval_ = 0;
  bool enabled_ = true;
  TimerQueue* queue_ = nullptr;
  std::int64_t due_ = 0;
  std::uint64_t arm_order_ = 0;
  bool running_ = false;
};

// The timers of one message loop. A timer never re-enters its own handler: a
// tick that falls due while it runs is held back until it returns, and ticks
// missed meanwhile are dropped, not caught up.
class TimerQueue {
 public:
  explicit TimerQueue(const Clock& clock) : clock_(clock) {}
  ~TimerQueue();
  TimerQueue(const TimerQueue&) = delete;
  TimerQueue& operator=(const TimerQueue&) = delete;

  void Add(Timer& timer);
  // Earliest due time among timers that could fire now.
  std::optional<std::int64_t> NextDue() const;
  // Fires every timer due by now, earliest first, and at the same instant in
  // the order the timers were last armed. Returns whether any fired.
  bool FireDue();

 private:
  friend class Timer;
  void Arm(Timer& timer);
  void Remove(const Timer& timer);
  // The timer to fire next of those due by now, if any.
  Timer* EarliestDue(std::int64_t now) const;

  const Clock& clock_;
  std::vector<Timer*> timers_;
  std::uint64_t arm_counter_ = 0;
};

}  // namespace tk
