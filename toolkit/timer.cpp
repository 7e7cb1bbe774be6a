#include "toolkit/timer.hpp"

#include <algorithm>
#include <iterator>

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

bool TimerQueue::FireDue() {
  const std::int64_t now = clock_.NowMs();
  // Called on every yield: most calls find nothing due.
  const auto is_due = [now](const Timer* t) { return t->Armed() && !t->running_ && t->due_ <= now; };
  if (std::none_of(timers_.begin(), timers_.end(), is_due)) return false;
  std::vector<Timer*> due;
  std::copy_if(timers_.begin(), timers_.end(), std::back_inserter(due), is_due);
  std::sort(due.begin(), due.end(), [](const Timer* a, const Timer* b) {
    return a->due_ != b->due_ ? a->due_ < b->due_ : a->arm_order_ < b->arm_order_;
  });
  bool fired = false;
  for (Timer* t : due) {
    // An earlier handler may have disabled, re-armed or (through DoEvents) already run it.
    if (!t->Armed() || t->running_ || t->due_ > now) continue;
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
