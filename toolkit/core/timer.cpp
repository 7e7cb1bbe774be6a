#include "timer.hpp"

#include <algorithm>

namespace tk {

Timer::~Timer() {
  if (queue_) queue_->Remove(*this);
}

void Timer::SetInterval(int ms) {
  interval_ = std::max(ms, 0);
  Rearm();
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Rearm();
}

void Timer::Rearm() {
  if (Armed()) queue_->Arm(*this);
}

TimerQueue::~TimerQueue() {
  for (Timer* t : timers_) t->queue_ = nullptr;
}

void TimerQueue::Remove(const Timer& timer) { std::erase(timers_, &timer); }

void TimerQueue::Add(Timer& timer) {
  timer.queue_ = this;
  timers_.push_back(&timer);
  timer.Rearm();
}

void TimerQueue::Arm(Timer& timer) {
  timer.due_ = clock_.NowMs() + timer.interval_;
  timer.arm_order_ = ++arm_counter_;
}

std::optional<std::int64_t> TimerQueue::NextDue() const {
  std::optional<std::int64_t> next;
  for (const Timer* t : timers_) {
    if (t->Armed() && !t->running_ && (!next || t->due_ < *next)) next = t->due_;
  }
  return next;
}

Timer* TimerQueue::EarliestDue(std::int64_t now) const {
  Timer* earliest = nullptr;
  for (Timer* t : timers_) {
    if (t->due_ > now || !t->Armed() || t->running_) continue;
    if (earliest == nullptr || t->due_ < earliest->due_ ||
        (t->due_ == earliest->due_ && t->arm_order_ < earliest->arm_order_)) {
      earliest = t;
    }
  }
  return earliest;
}

bool TimerQueue::FireDue() {
  const std::int64_t now = clock_.NowMs();
  bool fired = false;
  // Chosen afresh after every handler, which may have disabled, re-armed or
  // (through DoEvents) already run another: none of that makes one due by
  // now, so the order is the one the timers had when this call began.
  while (Timer* t = EarliestDue(now)) {
    const std::int64_t interval = t->interval_;
    std::int64_t next = t->due_ + interval;
    if (next <= now) next += ((now - next) / interval + 1) * interval;
    t->due_ = next;
    t->running_ = true;
    fired = true;
    struct Release {
      Timer* timer;
      ~Release() { timer->running_ = false; }
    } release{t};
    if (t->OnTimer) t->OnTimer();
  }
  return fired;
}

}  // namespace tk
