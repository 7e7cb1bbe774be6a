// zenora_timing: runs the real intro (the form on the SDL backend, music
// playing) under an X server of its own and prints how it keeps time and what
// it costs, each figure beside its goal:
//   - one run of --seconds: tick rate and jitter, CPU by thread, memory;
//   - against the floor of the job, a program built here that plays the same
//     music through SDL audio and presents a changing frame 50 times a second:
//     --rounds runs of each, interleaved, --round-seconds each, CPU medians;
//   - start to first frame, against a minimal SDL window program, with where
//     the intro's own start-up goes;
//   - the click on the close glyph to the end of the process;
//   - the music decoded alone with openmpt123.
//
//   zenora_timing [--seconds N] [--rounds N] [--round-seconds N] [--audio disk|default]
//                 [--renderer default|software] [--folder PROGRAM_FOLDER]
//
// --renderer software keeps SDL off OpenGL altogether (software renderer and
// the X server's own framebuffer): on Xvfb, OpenGL means Mesa's llvmpipe,
// which costs memory and CPU that a desktop with a graphics driver does not pay.
//
// Every program measured runs in a process started afresh (fork, then exec of
// this program), so "process start" is a real process start and the CPU time
// and peak memory come from the kernel's accounting of that process alone.
#include <sys/resource.h>
#include <unistd.h>

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bassmod.hpp"
#include "children.hpp"
#include "errors.hpp"
#include "intro.hpp"
#include "process.hpp"
#include "report.hpp"
#include "sdl_backend.hpp"
#include "tick_probe.hpp"
#include "zenora.hpp"

namespace fs = std::filesystem;
using timing::Process;
using timing::Report;

namespace {

// Goals.
constexpr double kTickRateGoal = 1000.0 / zenora::kStarsInterval;  // per second
constexpr double kTickRateTolerance = 0.01;                        // 1 %
constexpr double kTickP99GoalMs = 22.0;
constexpr double kCpuGoalPercent = 2.0;  // of one core
constexpr double kRssGoalMb = 40.0;
constexpr double kFirstFrameGoalMs = 150.0;
constexpr double kFloorRatioGoal = 1.15;
constexpr double kClickToExitGoalMs = 200.0;
constexpr int kStartUpRounds = 7;
constexpr int kClickRounds = 5;

struct Options {
  int seconds = 20;
  int rounds = 5;
  int round_seconds = 6;
  std::string audio = "disk";
  std::string renderer = "default";
  fs::path folder = ZENORA_BUILD_DIR;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const std::string value = argv[i + 1];
    if (key == "--seconds" || key == "--rounds" || key == "--round-seconds") {
      int& n = key == "--seconds" ? o.seconds : key == "--rounds" ? o.rounds : o.round_seconds;
      n = std::atoi(value.c_str());
      if (n < 1 || n > 3600) return std::nullopt;
    } else if (key == "--audio" && (value == "disk" || value == "default")) {
      o.audio = value;
    } else if (key == "--renderer" && (value == "default" || value == "software")) {
      o.renderer = value;
    } else if (key == "--folder") {
      o.folder = value;
    } else {
      return std::nullopt;
    }
  }
  if (argc % 2 == 0) return std::nullopt;
  return o;
}

// ---- the intro, in the child process -------------------------------------

int RunIntroChild(const fs::path& folder, int seconds, int report_fd, std::int64_t started_ns) {
  std::unique_ptr<tk::SdlBackend> sdl;
  try {
    sdl = std::make_unique<tk::SdlBackend>();
  } catch (const tk::NoDisplay& e) {
    std::cerr << "zenora_timing: no display: " << e.what() << "\n";
    return 1;
  }
  timing::TickProbe probe(*sdl, std::int64_t{seconds} * 1'000'000'000);
  const int status = zenora::RunIntro(probe, folder, [](zenora::ZENOrA& form) { return form.Loop().Run(); });

  Report report;
  report.status = status;
  report.first_present_ns = probe.FirstPresentNs() - started_ns;
  report.backend_first_present_ms = sdl->FirstPresentMs();
  report.first_present_at = probe.FirstPresentNs();
  report.cpu_at_first_present_ns = probe.CpuAtFirstPresentNs();
  report.cpu_at_end_ns = probe.CpuAtEndNs();
  report.main_cpu_at_first_present_ns = probe.MainCpuAtFirstPresentNs();
  report.main_cpu_at_end_ns = probe.MainCpuAtEndNs();
  report.end_at = probe.EndNs();
  report.threads = probe.ThreadsAtEnd();
  report.boxes = probe.Boxes();
  report.ticks = probe.TickNs();
  return timing::WriteAll(report_fd, report.Text()) ? status : 1;
}

// ---- figures ---------------------------------------------------------------

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  // Nearest rank.
  const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
  return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

double Median(std::vector<double> values) { return Percentile(std::move(values), 50); }

// Loudest sample of a raw 16-bit recording, and how many samples are not silent.
std::pair<int, std::size_t> Loudness(const fs::path& raw) {
  std::ifstream in(raw, std::ios::binary);
  int peak = 0;
  std::size_t nonzero = 0;
  std::int16_t sample = 0;
  while (in.read(reinterpret_cast<char*>(&sample), sizeof sample)) {
    peak = std::max(peak, std::abs(static_cast<int>(sample)));
    if (sample != 0) ++nonzero;
  }
  return {peak, nonzero};
}

double ModuleSeconds(const fs::path& module) {
  std::ifstream in(module, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  openmpt_module* m = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                                         openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
  if (m == nullptr) return NAN;
  const double seconds = openmpt_module_get_duration_seconds(m);
  openmpt_module_destroy(m);
  return seconds;
}

// ---- the table -------------------------------------------------------------

std::string Fixed(double v, int decimals, const char* unit) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f %s", decimals, v, unit);
  return buffer;
}

// What a figure is held against, and whether it met it.
struct Goal {
  std::string text;
  const char* verdict = "";
};

const char* Verdict(bool met) { return met ? "ok" : "MISSED"; }

// A figure that must not pass its goal.
Goal AtMost(double measured, double goal, const char* unit) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "<= %g %s", goal, unit);
  return {buffer, Verdict(measured <= goal)};
}

void Row(const std::string& what, const std::string& measured, const Goal& goal = {}) {
  std::printf("  %-38s %-16s %-22s %s\n", what.c_str(), measured.c_str(), goal.text.c_str(), goal.verdict);
}

// ---- the measurements -------------------------------------------------------

// Where the programs run: the X server, the program folder, a scratch folder
// and this program, which each measured process is started from.
struct Bench {
  const Options& options;
  const std::string self;
  const timing::Xvfb& x;
  const fs::path temp;

  // Starts this program as the child `mode` and collects its report; the
  // sound, when recorded, goes to audio.
  Report RunChild(const std::string& mode, int seconds, const fs::path& audio, rusage* usage = nullptr,
                  double* x_cpu_percent = nullptr) const {
    if (options.audio == "disk") setenv("SDL_DISKAUDIOFILE", audio.c_str(), 1);
    timing::Pipe channel = timing::MakePipe();
    const std::int64_t started = timing::MonotonicNs();
    const std::int64_t x_before = timing::CpuNsOf(x.Pid());
    Process child = timing::Spawn({self, mode, options.folder.string(), std::to_string(seconds),
                                   std::to_string(channel.write.Get()), std::to_string(started)},
                                  channel.write.Get(), temp / (mode.substr(2) + ".log"));
    channel.write.Reset();
    Report r = Report::Parse(timing::ReadAll(channel.read.Get()));
    rusage own{};
    r.status = child.Wait(usage ? *usage : own) == 0 ? r.status : -1;
    if (x_cpu_percent != nullptr) {
      *x_cpu_percent = 100.0 * static_cast<double>(timing::CpuNsOf(x.Pid()) - x_before) /
                       static_cast<double>(timing::MonotonicNs() - started);
    }
    return r;
  }

  void PrintLog(const std::string& mode) const {
    std::ifstream log(temp / (mode.substr(2) + ".log"));
    for (std::string line; std::getline(log, line);) std::printf("  | %s\n", line.c_str());
  }
};

// The intervals between the frames of consecutive TimerStars ticks, in ms.
struct TickFigures {
  explicit TickFigures(const std::vector<std::int64_t>& ticks) {
    for (std::size_t i = 1; i < ticks.size(); ++i) {
      intervals.push_back(static_cast<double>(ticks[i] - ticks[i - 1]) / 1e6);
    }
    const double span_s = ticks.size() > 1 ? static_cast<double>(ticks.back() - ticks.front()) / 1e9 : NAN;
    rate = static_cast<double>(intervals.size()) / span_s;
  }
  std::vector<double> intervals;
  double rate;  // per second
};

// The one long run of the intro: its ticks, CPU, memory and first frame, and
// what it played. False when it did not run to its end.
bool MeasureRun(const Bench& bench, const fs::path& recording) {
  rusage usage{};
  const std::int64_t started = timing::MonotonicNs();
  const Report r = bench.RunChild("--child", bench.options.seconds, recording, &usage);
  const double wall_s = static_cast<double>(timing::MonotonicNs() - started) / 1e9;
  if (r.status != 0 || r.first_present_ns < 0) {
    std::printf("the intro ended with status %lld before its run was over\n", static_cast<long long>(r.status));
    bench.PrintLog("--child");
    for (const auto& box : r.boxes) std::printf("  error box:%s\n", box.c_str());
    return false;
  }

  const TickFigures ticks(r.ticks);
  const double p99 = Percentile(ticks.intervals, 99);
  const double worst =
      ticks.intervals.empty() ? NAN : *std::max_element(ticks.intervals.begin(), ticks.intervals.end());
  std::printf("  %-38s %-16s %-22s\n", "figure", "measured", "goal");
  Row("TimerStars rate (" + std::to_string(r.ticks.size()) + " ticks)", Fixed(ticks.rate, 2, "/s"),
      {Fixed(kTickRateGoal, 1, "/s within ") + Fixed(100 * kTickRateTolerance, 0, "%"),
       Verdict(std::abs(ticks.rate - kTickRateGoal) <= kTickRateGoal * kTickRateTolerance)});
  Row("TimerStars interval, median", Fixed(Median(ticks.intervals), 1, "ms"),
      {"(" + std::to_string(zenora::kStarsInterval) + " ms)"});
  Row("TimerStars interval, 99th percentile", Fixed(p99, 1, "ms"), AtMost(p99, kTickP99GoalMs, "ms"));
  Row("TimerStars interval, longest", Fixed(worst, 1, "ms"));

  const double cpu_share = 100.0 * (Seconds(usage.ru_utime) + Seconds(usage.ru_stime)) / wall_s;
  Row("CPU, utime+stime over wall", Fixed(cpu_share, 2, "%"), AtMost(cpu_share, kCpuGoalPercent, "% of one core"));
  Row("  of it after the first frame", Fixed(r.SteadyCpuPercent(), 2, "%"));
  for (const auto& [name, cpu_ns] : r.threads) {
    if (cpu_ns * 1000 < static_cast<std::int64_t>(wall_s * 1e9)) continue;  // under 0.1 %: not worth a line
    Row("    thread " + name, Fixed(100.0 * static_cast<double>(cpu_ns) / 1e9 / wall_s, 2, "%"));
  }
  const double rss_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  Row("peak RSS", Fixed(rss_mb, 1, "MB"), AtMost(rss_mb, kRssGoalMb, "MB"));
  const double first_ms = static_cast<double>(r.first_present_ns) / 1e6;
  Row("process start to first frame", Fixed(first_ms, 1, "ms"), AtMost(first_ms, kFirstFrameGoalMs, "ms"));
  Row("  SdlBackend's own count", std::to_string(r.backend_first_present_ms) + " ms");

  for (const auto& box : r.boxes) std::printf("  error box shown:%s\n", box.c_str());
  if (bench.options.audio == "disk") {
    const auto [peak, nonzero] = Loudness(recording);
    const double recorded_s = static_cast<double>(fs::file_size(recording)) / (sound::kOutputRate * 4.0);
    std::printf("  music: %.1f s recorded, peak %d, %s\n", recorded_s, peak, nonzero > 0 ? "audible" : "SILENT");
  }
  return true;
}

// The intro and the floor in turns, each for a round, alternating which goes
// first; CPU from each one's first frame to its end.
void CompareWithFloor(const Bench& bench) {
  std::vector<double> intro_cpu, floor_cpu, intro_main, floor_main, intro_x, floor_x;
  for (int round = 0; round < bench.options.rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      const bool intro = (round + turn) % 2 == 0;
      double x_cpu = 0;
      const Report r = bench.RunChild(intro ? "--child" : "--floor", bench.options.round_seconds,
                                      bench.temp / "round.raw", nullptr, &x_cpu);
      if (r.status != 0 || r.first_present_ns < 0) {
        std::printf("  the %s did not run its round\n", intro ? "intro" : "floor program");
        bench.PrintLog(intro ? "--child" : "--floor");
        return;
      }
      (intro ? intro_cpu : floor_cpu).push_back(r.SteadyCpuPercent());
      (intro ? intro_x : floor_x).push_back(x_cpu);
      (intro ? intro_main : floor_main).push_back(r.SteadyMainPercent());
    }
  }
  const double ratio = Median(intro_cpu) / Median(floor_cpu);
  std::printf("  against the floor, %d interleaved rounds of %d s each, medians:\n", bench.options.rounds,
              bench.options.round_seconds);
  Row("  CPU after the first frame, intro", Fixed(Median(intro_cpu), 2, "%"));
  Row("  CPU after the first frame, floor", Fixed(Median(floor_cpu), 2, "%"));
  Row("  intro / floor", Fixed(ratio, 2, "x"), AtMost(ratio, kFloorRatioGoal, "x"));
  Row("    of it the main thread, intro", Fixed(Median(intro_main), 2, "%"));
  Row("    of it the main thread, floor", Fixed(Median(floor_main), 2, "%"));
  Row("  X server over the intro's run", Fixed(Median(intro_x), 2, "%"));
  Row("  X server over the floor's run", Fixed(Median(floor_x), 2, "%"));
}

// Process start to the first frame on the screen, step by step: the intro
// and a minimal SDL window program in turns.
void CompareStartUp(const Bench& bench) {
  struct Program {
    std::string mode;
    std::string name;
    std::vector<double> total;
    std::vector<std::pair<std::string, std::vector<double>>> phases;
  } programs[] = {{"--startup", "the intro", {}, {}}, {"--minimal", "a minimal SDL window program", {}, {}}};
  for (int round = 0; round < kStartUpRounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      Program& p = programs[(round + turn) % 2];
      const Report r = bench.RunChild(p.mode, 0, bench.temp / "startup.raw");
      if (r.status != 0 || r.phases.empty()) {
        std::printf("  start to first frame: %s failed\n", p.name.c_str());
        bench.PrintLog(p.mode);
        return;
      }
      p.phases.resize(r.phases.size());
      double total = 0;
      for (std::size_t i = 0; i < r.phases.size(); ++i) {
        p.phases[i].first = r.phases[i].first;
        p.phases[i].second.push_back(static_cast<double>(r.phases[i].second) / 1e6);
        total += static_cast<double>(r.phases[i].second) / 1e6;
      }
      p.total.push_back(total);
    }
  }
  std::printf("  start to first frame, %d rounds each in turns, medians:\n", kStartUpRounds);
  for (const Program& p : programs) {
    const bool intro = p.mode == "--startup";
    Row("  " + p.name, Fixed(Median(p.total), 1, "ms"),
        intro ? AtMost(Median(p.total), kFirstFrameGoalMs, "ms") : Goal{});
    for (const auto& [name, ms] : p.phases) Row("    " + name, Fixed(Median(ms), 1, "ms"));
  }
}

// The real program started afresh, the pointer on its close glyph (308, 12)
// until the grey glyph shows, then a click: the time from the click to the end
// of the process.
void ClickToExit(const Bench& bench) {
  constexpr int kGlyphX = 341 + 308;  // the window opens at (341, 265)
  constexpr int kGlyphY = 265 + 12;
  const auto run = [](const std::vector<std::string>& args) {
    rusage usage{};
    return timing::Spawn(args, -1, "/dev/null").Wait(usage) == 0;
  };
  std::vector<double> times;
  for (int round = 0; round < kClickRounds; ++round) {
    if (bench.options.audio == "disk") setenv("SDL_DISKAUDIOFILE", (bench.temp / "click.raw").c_str(), 1);
    Process intro =
        timing::Spawn({(bench.options.folder / zenora::kProgramName).string()}, -1, bench.temp / "click.log");
    if (!run({"timeout", "10", "xdotool", "search", "--sync", "--onlyvisible", "--name", "^:: ZENOrA ::$"})) {
      std::printf("  click to exit: no window within 10 s\n");
      bench.PrintLog("--click");
      return;
    }
    ::usleep(300'000);  // its first frames
    run({"xdotool", "mousemove", std::to_string(kGlyphX - 1), std::to_string(kGlyphY)});
    ::usleep(30'000);
    run({"xdotool", "mousemove_relative", "--", "1", "0"});
    ::usleep(200'000);  // ten ticks to show the grey glyph
    const std::int64_t click = timing::MonotonicNs();
    run({"xdotool", "click", "1"});
    if (!intro.WaitFor(5'000'000'000)) {
      std::printf("  click to exit: still running 5 s after the click\n");
      bench.PrintLog("--click");
      return;
    }
    times.push_back(static_cast<double>(timing::MonotonicNs() - click) / 1e6);
    run({"xdotool", "mousemove", "0", "0"});  // off the glyph for the next round
  }
  const double worst = *std::max_element(times.begin(), times.end());
  Row("click on the close glyph to exit, median", Fixed(Median(times), 1, "ms"),
      AtMost(Median(times), kClickToExitGoalMs, "ms"));
  Row("  longest of " + std::to_string(times.size()), Fixed(worst, 1, "ms"));
}

// The music decoded alone, as fast as it goes.
void DecodeAlone(const fs::path& music, const fs::path& temp) {
  const fs::path copy = temp / music.filename();
  fs::copy_file(music, copy);
  Process render = timing::Spawn({"openmpt123", "--quiet", "--render", "--force", "--samplerate",
                                  std::to_string(sound::kOutputRate), "--no-float", "--stereo", "200", copy.string()});
  rusage usage{};
  if (render.Wait(usage) != 0) {
    std::printf("  openmpt123 --render failed\n");
    return;
  }
  const double music_s = ModuleSeconds(music);
  const double decode_s = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  Row("decode alone, openmpt123 --render", Fixed(100.0 * decode_s / music_s, 3, "%"), {"(per second of music)"});
  std::printf("  (%.2f s of CPU for %.1f s of music at %u Hz)\n", decode_s, music_s, unsigned{sound::kOutputRate});
}

// The children find the X server, the sound output and the renderer through
// SDL's environment.
void PrepareEnvironment(const Options& options, const timing::Xvfb& x) {
  setenv("DISPLAY", x.Display().c_str(), 1);
  if (options.audio == "disk") {
    setenv("SDL_AUDIODRIVER", "disk", 1);
  } else {
    unsetenv("SDL_AUDIODRIVER");
  }
  if (options.renderer == "software") {
    setenv("SDL_RENDER_DRIVER", "software", 1);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
  }
}

int RunParent(const Options& options, const char* self) {
  const fs::path music = options.folder / "LIGHT.S3M";
  for (const fs::path& needed :
       {options.folder / sound::Bassmod::kFileName, options.folder / zenora::kProgramName, music}) {
    if (!fs::exists(needed)) {
      std::cerr << "zenora_timing: " << needed << " is missing; build first\n";
      return 1;
    }
  }
  const timing::TempDir temp;
  const timing::Xvfb x;
  PrepareEnvironment(options, x);
  const char* render_hint = std::getenv("SDL_RENDER_DRIVER");
  std::printf("ZENOrA_intro timing: %d s on Xvfb %s, audio: %s, renderer: %s, program folder %s\n", options.seconds,
              x.Display().c_str(), options.audio.c_str(), render_hint ? render_hint : "SDL's default",
              options.folder.c_str());
  std::fflush(stdout);

  const Bench bench{options, self, x, temp.Path()};
  if (!MeasureRun(bench, temp.Path() / "audio.raw")) return 1;
  std::fflush(stdout);
  CompareWithFloor(bench);
  std::fflush(stdout);
  CompareStartUp(bench);
  std::fflush(stdout);
  ClickToExit(bench);
  std::fflush(stdout);
  DecodeAlone(music, temp.Path());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Measured programs: this program again, as MODE FOLDER SECONDS REPORT_FD STARTED_NS.
  if (argc == 6 && std::string(argv[1]).starts_with("--")) {
    const std::string mode = argv[1];
    const fs::path folder = argv[2];
    const int seconds = std::atoi(argv[3]);
    const int report_fd = std::atoi(argv[4]);
    const std::int64_t started = std::atoll(argv[5]);
    if (mode == "--child") return RunIntroChild(folder, seconds, report_fd, started);
    if (mode == "--floor") return timing::RunFloorChild(folder, seconds, report_fd, started);
    if (mode == "--minimal") return timing::RunMinimalChild(report_fd, started);
    if (mode == "--startup") return timing::RunStartUpChild(folder, report_fd, started);
  }
  const auto options = ParseOptions(argc, argv);
  if (!options) {
    std::cerr << "usage: zenora_timing [--seconds N] [--rounds N] [--round-seconds N] [--audio disk|default] "
                 "[--renderer default|software] [--folder PROGRAM_FOLDER]\n";
    return 2;
  }
  try {
    return RunParent(*options, fs::read_symlink("/proc/self/exe").c_str());
  } catch (const std::exception& e) {
    std::cerr << "zenora_timing: " << e.what() << "\n";
    return 1;
  }
}
