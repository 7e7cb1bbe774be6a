#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>

namespace zenora {

// Shows how far a capture has come, on stderr, once it has taken more than
// a moment: on a terminal one line redrawn in place, otherwise a plain line
// at each tenth of the way.
class Progress {
 public:
  Progress(std::ostream& out, bool terminal, std::int64_t end_ms);
  // ms: where the intro's clock stands.
  void Update(std::int64_t ms);
  // Ends the line; complete: the whole way was done.
  void Finish(bool complete);

 private:
  using Clock = std::chrono::steady_clock;
  void Show(std::int64_t ms);

  std::ostream& out_;
  bool terminal_;
  std::int64_t end_ms_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point shown_at_{};
  bool shown_ = false;
  int tenth_ = 0;  // the last tenth reported off a terminal
};

}  // namespace zenora
