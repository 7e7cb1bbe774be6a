#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace timing {

// What a measured process tells the harness, sent through a pipe as
// "key value" lines: one line for each figure below, one per tick, error box,
// thread and start-up phase. Times are on the monotonic clock, CPU times of
// the process's own accounting, all in ns.
struct Report {
  std::int64_t status = -1;
  std::int64_t first_present_ns = -1;  // from the process start
  std::int64_t backend_first_present_ms = -1;
  std::int64_t first_present_at = 0;
  std::int64_t cpu_at_first_present_ns = 0;
  std::int64_t cpu_at_end_ns = 0;
  std::int64_t main_cpu_at_first_present_ns = 0;
  std::int64_t main_cpu_at_end_ns = 0;
  std::int64_t end_at = 0;
  std::vector<std::int64_t> ticks;
  std::vector<std::string> boxes;
  std::vector<std::pair<std::string, std::int64_t>> threads;  // name, CPU ns
  std::vector<std::pair<std::string, std::int64_t>> phases;   // name, ns

  // CPU share of one core from the first frame to the end of the run, in %:
  // the whole process, or its main thread.
  double SteadyCpuPercent() const { return SteadyPercent(cpu_at_end_ns - cpu_at_first_present_ns); }
  double SteadyMainPercent() const { return SteadyPercent(main_cpu_at_end_ns - main_cpu_at_first_present_ns); }
  double SteadyPercent(std::int64_t cpu_ns) const;

  std::string Text() const;
  // Lines it does not know are skipped.
  static Report Parse(const std::string& text);
};

}  // namespace timing
