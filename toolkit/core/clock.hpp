#pragma once

#include <chrono>
#include <cstdint>

namespace tk {

// Milliseconds since the clock was made.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t NowMs() const = 0;
};

class SteadyClock final : public Clock {
 public:
  std::int64_t NowMs() const override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Time that only moves when told: minutes of intro run in milliseconds.
class VirtualClock final : public Clock {
 public:
  std::int64_t NowMs() const override { return now_; }
  void AdvanceTo(std::int64_t ms) {
    if (ms > now_) now_ = ms;
  }

 private:
  std::int64_t now_ = 0;
};

}  // namespace tk
