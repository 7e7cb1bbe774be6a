#include "tick_probe.hpp"

#include <sys/resource.h>

#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace timing {

namespace {

const tk::Container* FindContainer(const tk::Container& root, std::string_view name) {
  for (const tk::Control* child : root.Children()) {
    const auto* box = dynamic_cast<const tk::Container*>(child);
    if (box == nullptr) continue;
    if (box->Name() == name) return box;
    if (const auto* found = FindContainer(*box, name)) return found;
  }
  return nullptr;
}

std::int64_t Ns(const timeval& t) { return std::int64_t{t.tv_sec} * 1'000'000'000 + std::int64_t{t.tv_usec} * 1'000; }

// The name and the CPU time (utime + stime, in ns) of a process or thread
// from its /proc stat file; nothing when it is gone.
std::optional<std::pair<std::string, std::int64_t>> CpuOf(const std::filesystem::path& stat_file) {
  std::ifstream stat(stat_file);
  std::string line;
  std::getline(stat, line);
  // pid (comm) state ppid ... : utime and stime are fields 14 and 15.
  const auto open = line.find('(');
  const auto close = line.rfind(')');
  if (open == std::string::npos || close == std::string::npos) return std::nullopt;
  std::istringstream rest(line.substr(close + 2));
  std::string field;
  for (int i = 3; i <= 13 && rest >> field; ++i) {
  }
  long long utime = 0;
  long long stime = 0;
  rest >> utime >> stime;
  return std::pair{line.substr(open + 1, close - open - 1), (utime + stime) * 1'000'000'000 / sysconf(_SC_CLK_TCK)};
}

}  // namespace

std::int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

std::int64_t ProcessCpuNs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return Ns(usage.ru_utime) + Ns(usage.ru_stime);
}

std::int64_t ThreadCpuNowNs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

std::vector<std::pair<std::string, std::int64_t>> ThreadCpuNs() {
  std::vector<std::pair<std::string, std::int64_t>> threads;
  std::error_code ec;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
    if (auto named = CpuOf(task.path() / "stat")) threads.push_back(*std::move(named));
  }
  return threads;
}

std::int64_t CpuNsOf(pid_t pid) {
  const auto named = CpuOf(std::filesystem::path("/proc") / std::to_string(pid) / "stat");
  return named ? named->second : 0;
}

void TickProbe::Show(const tk::Form& form) {
  if (const tk::Container* strip = FindContainer(form, "imgStars")) {
    stars_.assign(strip->Children().begin(), strip->Children().end());
  }
  last_left_.resize(stars_.size());
  real_.Show(form);
}

std::optional<tk::Event> TickProbe::PollEvent() {
  if (first_present_ns_ >= 0 && MonotonicNs() - first_present_ns_ >= run_ns_) {
    if (threads_at_end_.empty()) {
      threads_at_end_ = ThreadCpuNs();
      end_ns_ = MonotonicNs();
      cpu_at_end_ns_ = ProcessCpuNs();
      main_cpu_at_end_ns_ = ThreadCpuNowNs();
    }
    return tk::Event{tk::Event::Kind::Quit, {}};
  }
  return real_.PollEvent();
}

void TickProbe::Present(const tk::Surface& frame, std::span<const tk::Rect> changed) {
  real_.Present(frame, changed);
  const std::int64_t now = MonotonicNs();
  const bool moved = StarsMoved();
  if (first_present_ns_ < 0) {
    first_present_ns_ = now;
    cpu_at_first_present_ns_ = ProcessCpuNs();
    main_cpu_at_first_present_ns_ = ThreadCpuNowNs();
  } else if (moved) {
    ticks_ns_.push_back(now);
  }
}

void TickProbe::MsgBox(std::string_view title, std::string_view prompt, int /*style*/) {
  std::string text(title);
  text += ": ";
  for (char c : prompt) text += c == '\r' || c == '\n' ? ' ' : c;
  boxes_.push_back(std::move(text));
}

bool TickProbe::StarsMoved() {
  bool moved = false;
  for (std::size_t i = 0; i < stars_.size(); ++i) {
    const float left = stars_[i]->Left();
    if (left != last_left_[i]) moved = true;
    last_left_[i] = left;
  }
  return moved;
}

}  // namespace timing
