// zenora_timing: runs the real intro (the form on the SDL backend, music
// playing) under an X server of its own for a while and prints how it keeps
// time and what it costs, each figure beside its goal. Then it renders the
// music alone with openmpt123 for the cost of decoding by itself.
//
//   zenora_timing [--seconds N] [--audio disk|default] [--renderer default|software]
//                 [--folder PROGRAM_FOLDER]
//
// --renderer software keeps SDL off OpenGL altogether (software renderer and
// the X server's own framebuffer): on Xvfb, OpenGL means Mesa's llvmpipe,
// which costs memory and CPU that a desktop with a graphics driver does not pay.
//
// The intro runs in a child process started afresh (fork, then exec of this
// program), so "process start" is a real process start and the CPU time and
// peak memory come from the kernel's accounting of that process alone.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/intro.hpp"
#include "bench/timing/tick_probe.hpp"
#include "toolkit/sdl_backend.hpp"

namespace fs = std::filesystem;

namespace {

// Goals.
constexpr double kTickRateGoal = 50.0;       // per second
constexpr double kTickRateTolerance = 0.01;  // 1 %
constexpr double kTickP99GoalMs = 22.0;
constexpr double kCpuGoalPercent = 2.0;  // of one core
constexpr double kRssGoalMb = 40.0;
constexpr double kFirstFrameGoalMs = 150.0;
constexpr int kRate = 44100;

struct Options {
  int seconds = 20;
  std::string audio = "disk";
  std::string renderer = "default";
  fs::path folder = ZENORA_BUILD_DIR;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const std::string value = argv[i + 1];
    if (key == "--seconds") {
      o.seconds = std::atoi(value.c_str());
      if (o.seconds < 1 || o.seconds > 3600) return std::nullopt;
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

  std::ostringstream report;
  report << "status " << status << "\n";
  report << "first_present_ns " << probe.FirstPresentNs() - started_ns << "\n";
  report << "backend_first_present_ms " << sdl->FirstPresentMs() << "\n";
  report << "first_present_at " << probe.FirstPresentNs() << "\n";
  report << "cpu_at_first_present_ns " << probe.CpuAtFirstPresentNs() << "\n";
  report << "cpu_at_end_ns " << timing::ProcessCpuNs() << "\n";
  report << "end_at " << timing::MonotonicNs() << "\n";
  for (const auto& [name, cpu_ns] : probe.ThreadsAtEnd()) report << "thread " << cpu_ns << " " << name << "\n";
  for (const auto& box : probe.Boxes()) report << "box " << box << "\n";
  for (const std::int64_t t : probe.TickNs()) report << "tick " << t << "\n";
  const std::string text = report.str();
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(report_fd, text.data() + done, text.size() - done);
    if (n <= 0) return 1;
    done += static_cast<std::size_t>(n);
  }
  return status;
}

// ---- helpers for the parent ----------------------------------------------

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

struct Pipe {
  Pipe(int r, int w) : read(r), write(w) {}
  Fd read;
  Fd write;
};

std::unique_ptr<Pipe> MakePipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  return std::make_unique<Pipe>(fds[0], fds[1]);
}

std::string ReadAll(int fd) {
  std::string out;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      out.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      return out;
    }
  }
}

// A started program that is ended (SIGTERM) and reaped when this goes.
class Process {
 public:
  Process() = default;
  explicit Process(pid_t pid) : pid_(pid) {}
  ~Process() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  Process(Process&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}
  Process& operator=(Process&& other) noexcept {
    std::swap(pid_, other.pid_);
    return *this;
  }

  // Waits for the end; the exit status and the kernel's accounting.
  int Wait(rusage& usage) {
    int status = 0;
    while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
};

// fork + exec; the child keeps keep_fd open (it is passed by number) and
// writes its error output to errors_to when one is given.
Process Spawn(const std::vector<std::string>& args, int keep_fd = -1, const fs::path& errors_to = {}) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (keep_fd >= 0) ::fcntl(keep_fd, F_SETFD, 0);
    if (!errors_to.empty()) {
      const int fd = ::open(errors_to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) ::dup2(fd, STDERR_FILENO);
    }
    ::execvp(argv[0], argv.data());
    std::fprintf(stderr, "zenora_timing: cannot start %s: %s\n", argv[0], std::strerror(errno));
    ::_exit(127);
  }
  return Process(pid);
}

// An X server of our own on a free display.
class Xvfb {
 public:
  Xvfb() {
    const auto ready = MakePipe();
    process_ = Spawn(
        {"Xvfb", "-displayfd", std::to_string(ready->write.Get()), "-screen", "0", "640x480x24", "-nolisten", "tcp"},
        ready->write.Get(), "/dev/null");
    ready->write.Reset();
    std::string number = ReadAll(ready->read.Get());
    while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
    if (number.empty()) throw std::runtime_error("Xvfb did not start");
    display_ = ":" + number;
  }
  const std::string& Display() const { return display_; }

 private:
  Process process_;
  std::string display_;
};

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  // Nearest rank.
  const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
  return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

struct Report {
  int status = -1;
  std::int64_t first_present_ns = -1;
  std::int64_t backend_first_present_ms = -1;
  std::int64_t first_present_at = 0;
  std::int64_t cpu_at_first_present_ns = 0;
  std::int64_t cpu_at_end_ns = 0;
  std::int64_t end_at = 0;
  std::vector<std::int64_t> ticks;
  std::vector<std::string> boxes;
  std::vector<std::pair<std::string, std::int64_t>> threads;  // name, CPU ns
};

Report ParseReport(const std::string& text) {
  Report r;
  std::istringstream in(text);
  std::string key;
  while (in >> key) {
    if (key == "tick") {
      std::int64_t t = 0;
      in >> t;
      r.ticks.push_back(t);
    } else if (key == "box") {
      std::string line;
      std::getline(in, line);
      r.boxes.push_back(line);
    } else if (key == "thread") {
      std::int64_t cpu = 0;
      std::string name;
      in >> cpu;
      std::getline(in >> std::ws, name);
      r.threads.emplace_back(name, cpu);
    } else if (key == "status") {
      in >> r.status;
    } else if (key == "first_present_ns") {
      in >> r.first_present_ns;
    } else if (key == "backend_first_present_ms") {
      in >> r.backend_first_present_ms;
    } else if (key == "first_present_at") {
      in >> r.first_present_at;
    } else if (key == "cpu_at_first_present_ns") {
      in >> r.cpu_at_first_present_ns;
    } else if (key == "cpu_at_end_ns") {
      in >> r.cpu_at_end_ns;
    } else if (key == "end_at") {
      in >> r.end_at;
    }
  }
  return r;
}

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

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "zenora-timing-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

const char* Verdict(bool met) { return met ? "ok" : "MISSED"; }

void Row(const std::string& what, const std::string& measured, const std::string& goal, const char* verdict) {
  std::printf("  %-38s %-16s %-22s %s\n", what.c_str(), measured.c_str(), goal.c_str(), verdict);
}

std::string Fixed(double v, int decimals, const char* unit) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f %s", decimals, v, unit);
  return buffer;
}

int RunParent(const Options& options, const char* self) {
  const fs::path music = options.folder / "LIGHT.S3M";
  for (const fs::path& needed : {options.folder / "libbassmod.so", music}) {
    if (!fs::exists(needed)) {
      std::cerr << "zenora_timing: " << needed << " is missing; build first\n";
      return 1;
    }
  }
  TempDir temp;
  const Xvfb x;
  setenv("DISPLAY", x.Display().c_str(), 1);
  const fs::path recording = temp.Path() / "audio.raw";
  if (options.audio == "disk") {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", recording.c_str(), 1);
  } else {
    unsetenv("SDL_AUDIODRIVER");
  }

  if (options.renderer == "software") {
    setenv("SDL_RENDER_DRIVER", "software", 1);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
  }
  const char* render_hint = std::getenv("SDL_RENDER_DRIVER");
  std::printf("ZENOrA_intro timing: %d s on Xvfb %s, audio: %s, renderer: %s, program folder %s\n", options.seconds,
              x.Display().c_str(), options.audio.c_str(), render_hint ? render_hint : "SDL's default",
              options.folder.c_str());
  std::fflush(stdout);

  const auto channel = MakePipe();
  const std::int64_t started = timing::MonotonicNs();
  Process intro = Spawn({self, "--child", options.folder.string(), std::to_string(options.seconds),
                         std::to_string(channel->write.Get()), std::to_string(started)},
                        channel->write.Get(), temp.Path() / "intro.log");
  channel->write.Reset();
  const Report r = ParseReport(ReadAll(channel->read.Get()));
  rusage usage{};
  const int status = intro.Wait(usage);
  const double wall_s = static_cast<double>(timing::MonotonicNs() - started) / 1e9;

  if (status != 0 || r.first_present_ns < 0) {
    std::printf("the intro ended with status %d before its run was over\n", status);
    std::ifstream log(temp.Path() / "intro.log");
    for (std::string line; std::getline(log, line);) std::printf("  | %s\n", line.c_str());
    for (const auto& box : r.boxes) std::printf("  error box:%s\n", box.c_str());
    return 1;
  }

  std::vector<double> intervals;
  for (std::size_t i = 1; i < r.ticks.size(); ++i) {
    intervals.push_back(static_cast<double>(r.ticks[i] - r.ticks[i - 1]) / 1e6);
  }
  const double span_s = r.ticks.size() > 1 ? static_cast<double>(r.ticks.back() - r.ticks.front()) / 1e9 : NAN;
  const double rate = static_cast<double>(intervals.size()) / span_s;
  const double median = Percentile(intervals, 50);
  const double p99 = Percentile(intervals, 99);
  const double worst = intervals.empty() ? NAN : *std::max_element(intervals.begin(), intervals.end());
  const double cpu_s = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  const double cpu_share = 100.0 * cpu_s / wall_s;
  const double steady_share = 100.0 * static_cast<double>(r.cpu_at_end_ns - r.cpu_at_first_present_ns) /
                              static_cast<double>(r.end_at - r.first_present_at);
  const double rss_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  const double first_ms = static_cast<double>(r.first_present_ns) / 1e6;

  std::printf("  %-38s %-16s %-22s\n", "figure", "measured", "goal");
  Row("TimerStars rate (" + std::to_string(r.ticks.size()) + " ticks)", Fixed(rate, 2, "/s"), "50.0 /s within 1 %",
      Verdict(std::abs(rate - kTickRateGoal) <= kTickRateGoal * kTickRateTolerance));
  Row("TimerStars interval, median", Fixed(median, 1, "ms"), "(20 ms)", "");
  Row("TimerStars interval, 99th percentile", Fixed(p99, 1, "ms"), "<= 22 ms", Verdict(p99 <= kTickP99GoalMs));
  Row("TimerStars interval, longest", Fixed(worst, 1, "ms"), "", "");
  Row("CPU, utime+stime over wall", Fixed(cpu_share, 2, "%"), "<= 2 % of one core",
      Verdict(cpu_share <= kCpuGoalPercent));
  Row("  of it after the first frame", Fixed(steady_share, 2, "%"), "", "");
  for (const auto& [name, cpu_ns] : r.threads) {
    if (cpu_ns * 1000 < static_cast<std::int64_t>(wall_s * 1e9)) continue;  // under 0.1 %: not worth a line
    Row("    thread " + name, Fixed(100.0 * static_cast<double>(cpu_ns) / 1e9 / wall_s, 2, "%"), "", "");
  }
  Row("peak RSS", Fixed(rss_mb, 1, "MB"), "<= 40 MB", Verdict(rss_mb <= kRssGoalMb));
  Row("process start to first frame", Fixed(first_ms, 1, "ms"), "<= 150 ms", Verdict(first_ms <= kFirstFrameGoalMs));
  Row("  SdlBackend's own count", std::to_string(r.backend_first_present_ms) + " ms", "", "");
  for (const auto& box : r.boxes) std::printf("  error box shown:%s\n", box.c_str());
  if (options.audio == "disk") {
    const auto [peak, nonzero] = Loudness(recording);
    const double recorded_s = static_cast<double>(fs::file_size(recording)) / (kRate * 4.0);
    std::printf("  music: %.1f s recorded, peak %d, %s\n", recorded_s, peak, nonzero > 0 ? "audible" : "SILENT");
  }

  // The music decoded alone, as fast as it goes.
  const fs::path copy = temp.Path() / "LIGHT.S3M";
  fs::copy_file(music, copy);
  Process render = Spawn({"openmpt123", "--quiet", "--render", "--force", "--samplerate", std::to_string(kRate),
                          "--no-float", "--stereo", "200", copy.string()});
  rusage render_usage{};
  if (render.Wait(render_usage) != 0) {
    std::printf("  openmpt123 --render failed\n");
    return 0;
  }
  const double music_s = ModuleSeconds(music);
  const double decode_s = Seconds(render_usage.ru_utime) + Seconds(render_usage.ru_stime);
  Row("decode alone, openmpt123 --render", Fixed(100.0 * decode_s / music_s, 3, "%"), "(per second of music)", "");
  std::printf("  (%.2f s of CPU for %.1f s of music at %d Hz)\n", decode_s, music_s, kRate);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "--child") {
    return RunIntroChild(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoll(argv[5]));
  }
  const auto options = ParseOptions(argc, argv);
  if (!options) {
    std::cerr << "usage: zenora_timing [--seconds N] [--audio disk|default] [--renderer default|software] "
                 "[--folder PROGRAM_FOLDER]\n";
    return 2;
  }
  try {
    return RunParent(*options, fs::read_symlink("/proc/self/exe").c_str());
  } catch (const std::exception& e) {
    std::cerr << "zenora_timing: " << e.what() << "\n";
    return 1;
  }
}
