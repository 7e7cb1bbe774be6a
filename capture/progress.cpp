#include "progress.hpp"

#include <algorithm>

namespace zenora {

namespace {

// Nothing is shown for captures quicker than this.
constexpr auto kQuiet = std::chrono::seconds(2);
// A terminal's line is redrawn at most this often.
constexpr auto kRedraw = std::chrono::milliseconds(250);

}  // namespace

Progress::Progress(std::ostream& out, bool terminal, std::int64_t end_ms)
    : out_(out), terminal_(terminal), end_ms_(std::max<std::int64_t>(end_ms, 1)) {}

void Progress::Update(std::int64_t ms) {
  const auto now = Clock::now();
  if (now - start_ < kQuiet) return;
  const int tenth = static_cast<int>(10 * std::min(ms, end_ms_) / end_ms_);
  if (terminal_ ? now - shown_at_ < kRedraw : tenth <= tenth_) return;
  tenth_ = tenth;
  shown_at_ = now;
  Show(ms);
}

void Progress::Show(std::int64_t ms) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start_).count();
  out_ << (terminal_ ? "\r" : "") << "ZENOrA_capture: " << 100 * std::min(ms, end_ms_) / end_ms_ << "% (" << ms / 1000
       << " of " << end_ms_ / 1000 << " s of intro) in " << seconds << " s" << (terminal_ ? "" : "\n") << std::flush;
  shown_ = true;
}

void Progress::Finish(bool complete) {
  if (!shown_) return;
  if (complete && (terminal_ || tenth_ < 10)) Show(end_ms_);
  if (terminal_) out_ << "\n" << std::flush;
}

}  // namespace zenora
