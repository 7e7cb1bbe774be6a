// tick_bench: what one TimerStars tick costs the form without a display, each
// figure beside its goal.
//
//   tick_bench [--ticks N]
//
// The ticks run two ways: as the capture tool runs them (back to back, one
// frame at the end, from 2 s in) and as the window runs them (each tick
// repainted and presented, from 90 s in: every ticker text has been shown
// once). Times come from the wall clock, as medians. Instructions and
// allocations of the main thread are counted by running this program again
// under callgrind, its costs zeroed before the ticks and written after them.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define ZENORA_COUNT_FROM_HERE CALLGRIND_ZERO_STATS
#define ZENORA_COUNT_UP_TO_HERE CALLGRIND_DUMP_STATS_AT("ticks")
#else
#define ZENORA_COUNT_FROM_HERE
#define ZENORA_COUNT_UP_TO_HERE
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "headless_intro.hpp"

namespace {

constexpr std::int64_t kCaptureFromMs = 2000;
constexpr std::int64_t kWindowFromMs = 90'000;
constexpr std::int64_t kTickMs = zenora::kStarsInterval;
constexpr double kInstructionsGoal = 35'000;

enum class Way { Capture, Window };

// Runs n ticks from where the intro is, the given way.
void Ticks(bench::HeadlessIntro& intro, Way way, int n) {
  const std::int64_t from = intro.NowMs();
  if (way == Way::Capture) {
    intro.RunUntil(from + n * kTickMs);
  } else {
    for (int k = 1; k <= n; ++k) intro.RunUntil(from + k * kTickMs);
  }
}

// Brings the intro to where the ticks of that way are measured from, the
// same way: the window has painted every text of the ticker by then.
void RunUpTo(bench::HeadlessIntro& intro, Way way) {
  const std::int64_t from = way == Way::Capture ? kCaptureFromMs : kWindowFromMs;
  Ticks(intro, way, static_cast<int>((from - intro.NowMs()) / kTickMs));
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

double Percentile90(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() * 9 / 10];
}

double MicrosSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

struct Counts {
  double instructions = 0;
  double allocations = 0;  // calls of malloc, calloc and realloc
};

// Totals of a callgrind output file: the instructions collected, and the calls
// made into the allocator. Names are compressed: "(id) name" on first use,
// "(id)" after.
std::optional<Counts> ReadCallgrind(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::map<std::string, std::string> names;
  std::string callee;
  Counts counts;
  bool have_total = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("summary:", 0) == 0 || line.rfind("totals:", 0) == 0) {
      counts.instructions = std::stod(line.substr(line.find(':') + 1));
      have_total = true;
    } else if (line.rfind("cfn=", 0) == 0 || line.rfind("fn=", 0) == 0) {
      const std::string ref = line.substr(line.find('=') + 1);
      const auto close = ref.find(')');
      std::string name = ref;
      if (ref.starts_with('(') && close != std::string::npos) {
        const std::string id = ref.substr(0, close + 1);
        if (close + 2 <= ref.size()) names[id] = ref.substr(close + 2);
        name = names[id];
      }
      if (line.starts_with('c')) callee = name;
    } else if (line.rfind("calls=", 0) == 0 && (callee == "malloc" || callee == "calloc" || callee == "realloc")) {
      counts.allocations += std::stod(line.substr(6));
    }
  }
  if (!have_total) return std::nullopt;
  return counts;
}

// Runs this program under callgrind for n ticks the given way; per tick.
std::optional<Counts> CountUnderCallgrind(const char* self, Way way, int n) {
  const auto out = std::filesystem::temp_directory_path() / ("zenora-tick-" + std::to_string(::getpid()) + ".cg");
  const std::string file_option = "--callgrind-out-file=" + out.string();
  auto ticks_dump = out;
  ticks_dump += ".1-01";  // the first dump, of the main thread
  const std::string ticks = std::to_string(n);
  std::fflush(stdout);
  const pid_t pid = ::fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    const int quiet = ::open("/dev/null", O_WRONLY);
    ::dup2(quiet, STDOUT_FILENO);
    ::dup2(quiet, STDERR_FILENO);
    ::execlp("valgrind", "valgrind", "--tool=callgrind", "--separate-threads=yes", file_option.c_str(), self, "--count",
             way == Way::Capture ? "capture" : "window", ticks.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  std::optional<Counts> counts;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) counts = ReadCallgrind(ticks_dump);
  for (const auto& file : std::filesystem::directory_iterator(out.parent_path())) {
    if (file.path().filename().string().starts_with(out.filename().string())) std::filesystem::remove(file.path());
  }
  if (counts) {
    counts->instructions /= n;
    counts->allocations /= n;
  }
  return counts;
}

void Row(const char* what, const std::string& measured, const char* goal, const char* verdict) {
  std::printf("  %-44s %-14s %-16s %s\n", what, measured.c_str(), goal, verdict);
}

std::string Number(double v, const char* format) {
  char text[64];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

int Report(const char* self, int n) {
  std::printf("ZENOrA_intro tick cost without a display: %d TimerStars ticks\n", n);
  bench::HeadlessIntro intro;
  RunUpTo(intro, Way::Capture);
  std::vector<double> capture;
  for (int round = 0; round < 11; ++round) {
    const auto start = std::chrono::steady_clock::now();
    Ticks(intro, Way::Capture, n);
    capture.push_back(MicrosSince(start) / n);
  }
  RunUpTo(intro, Way::Window);
  std::vector<double> window;
  for (int k = 0; k < n * 5; ++k) {
    const auto start = std::chrono::steady_clock::now();
    Ticks(intro, Way::Window, 1);
    window.push_back(MicrosSince(start));
  }

  std::printf("  %-44s %-14s %-16s\n", "figure", "measured", "goal");
  const std::optional<Counts> counted = CountUnderCallgrind(self, Way::Capture, n);
  const std::optional<Counts> shown = CountUnderCallgrind(self, Way::Window, n);
  if (counted) {
    Row("instructions a tick, as the capture runs it", Number(counted->instructions, "%.0f"), "<= 35000",
        counted->instructions <= kInstructionsGoal ? "ok" : "MISSED");
  }
  if (shown) {
    Row("  repainted and presented, as the window", Number(shown->instructions, "%.0f"), "", "");
    Row("allocations a tick, repainted and presented", Number(shown->allocations, "%.2f"), "0",
        shown->allocations == 0 ? "ok" : "MISSED");
  }
  if (!counted || !shown) std::printf("  (nothing counted: valgrind is not installed, or failed)\n");
  Row("time a tick, as the capture runs it, median", Number(Median(capture), "%.2f us"), "", "");
  Row("  repainted and presented, median", Number(Median(window), "%.2f us"), "", "");
  Row("  repainted and presented, 90th percentile", Number(Percentile90(window), "%.2f us"), "", "");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 4 && std::string(argv[1]) == "--count") {
      const Way way = std::string(argv[2]) == "capture" ? Way::Capture : Way::Window;
      const int n = std::atoi(argv[3]);
      bench::HeadlessIntro intro;
      RunUpTo(intro, way);
      ZENORA_COUNT_FROM_HERE;
      Ticks(intro, way, n);
      ZENORA_COUNT_UP_TO_HERE;
      return 0;
    }
    int n = 500;
    if (argc == 3 && std::string(argv[1]) == "--ticks") n = std::atoi(argv[2]);
    if (n < 1 || (argc != 1 && argc != 3)) {
      std::fprintf(stderr, "usage: tick_bench [--ticks N]\n");
      return 2;
    }
    return Report(std::filesystem::read_symlink("/proc/self/exe").c_str(), n);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tick_bench: %s\n", e.what());
    return 1;
  }
}
