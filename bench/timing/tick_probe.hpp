#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "backend.hpp"
#include "controls.hpp"
#include "sdl_backend.hpp"

namespace timing {

// Nanoseconds on the monotonic clock, comparable across processes.
std::int64_t MonotonicNs();

// utime + stime of each thread of this process so far, by thread name.
std::vector<std::pair<std::string, std::int64_t>> ThreadCpuNs();

// utime + stime of another process so far, in ns; 0 when it is gone.
std::int64_t CpuNsOf(pid_t pid);

// Sits between the form's message loop and the real SDL backend and watches,
// without touching the program: every call goes through unchanged. A present
// whose star strip moved since the last one is the frame of a TimerStars tick
// (only that handler moves stars, and the loop presents once after each pass),
// so the times of those presents are the tick times as the screen shows them.
// After run_ns from the first frame it asks the loop to quit, as a window
// close would. Error boxes are recorded instead of shown: nobody is there to
// click them away.
class TickProbe final : public tk::Backend {
 public:
  TickProbe(tk::SdlBackend& real, std::int64_t run_ns) : real_(real), run_ns_(run_ns) {}

  const tk::Clock& GetClock() const override { return real_.GetClock(); }
  void Show(const tk::Form& form) override;
  void SyncWindow(const tk::Form& form) override { real_.SyncWindow(form); }
  std::optional<tk::Event> PollEvent() override;
  void Unpoll(const tk::Event& event) override { real_.Unpoll(event); }
  void WaitEvent(std::int64_t timeout_ms) override { real_.WaitEvent(timeout_ms); }
  void Present(const tk::Surface& frame, std::span<const tk::Rect> changed) override;
  void MsgBox(std::string_view title, std::string_view prompt, int style) override;

  std::int64_t FirstPresentNs() const { return first_present_ns_; }
  const std::vector<std::int64_t>& TickNs() const { return ticks_ns_; }
  const std::vector<std::string>& Boxes() const { return boxes_; }
  // CPU time of the process (all threads) when the first frame was shown, in ns.
  std::int64_t CpuAtFirstPresentNs() const { return cpu_at_first_present_ns_; }
  // CPU time of each thread when the run was over, while all still ran.
  const std::vector<std::pair<std::string, std::int64_t>>& ThreadsAtEnd() const { return threads_at_end_; }
  // When the run was over, and the CPU time of the process then, in ns.
  std::int64_t EndNs() const { return end_ns_; }
  std::int64_t CpuAtEndNs() const { return cpu_at_end_ns_; }
  // CPU time of the main thread at the first frame and at the end, in ns.
  std::int64_t MainCpuAtFirstPresentNs() const { return main_cpu_at_first_present_ns_; }
  std::int64_t MainCpuAtEndNs() const { return main_cpu_at_end_ns_; }

 private:
  bool StarsMoved();

  tk::SdlBackend& real_;
  std::int64_t run_ns_;
  std::vector<const tk::Control*> stars_;
  std::vector<float> last_left_;
  std::int64_t first_present_ns_ = -1;
  std::int64_t cpu_at_first_present_ns_ = 0;
  std::vector<std::int64_t> ticks_ns_;
  std::vector<std::string> boxes_;
  std::vector<std::pair<std::string, std::int64_t>> threads_at_end_;
  std::int64_t end_ns_ = 0;
  std::int64_t cpu_at_end_ns_ = 0;
  std::int64_t main_cpu_at_first_present_ns_ = 0;
  std::int64_t main_cpu_at_end_ns_ = 0;
};

// utime + stime of this process so far, all threads, in ns.
std::int64_t ProcessCpuNs();

// CPU time of the calling thread so far, in ns.
std::int64_t ThreadCpuNowNs();

}  // namespace timing
