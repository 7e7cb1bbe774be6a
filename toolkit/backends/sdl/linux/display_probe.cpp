#include "display_probe.hpp"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <wayland-client.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string_view>
#include <vector>

#include "errors.hpp"

namespace tk {

namespace {

struct XDisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using XDisplayPtr = std::unique_ptr<Display, XDisplayCloser>;

struct WlDisplayCloser {
  void operator()(wl_display* display) const { wl_display_disconnect(display); }
};
struct WlRegistryDeleter {
  void operator()(wl_registry* registry) const { wl_registry_destroy(registry); }
};

// What connecting to one driver's display showed.
struct Finding {
  enum class Kind { kAbsent, kUsable, kUnusable };
  Kind kind = Kind::kAbsent;
  std::string why;  // kUnusable: what is wrong with it
  XDisplayPtr x11;  // kUsable on X11: the connection

  static Finding Usable(XDisplayPtr x11 = nullptr) {
    Finding usable;
    usable.kind = Kind::kUsable;
    usable.x11 = std::move(x11);
    return usable;
  }
  static Finding Unusable(std::string why) {
    Finding unusable;
    unusable.kind = Kind::kUnusable;
    unusable.why = std::move(why);
    return unusable;
  }
};

std::string Env(const char* name, const char* otherwise = "") {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : otherwise;
}

Finding TryX11() {
  if (Env("DISPLAY").empty()) return {};
  // One that refuses is passed over, as SDL passes over it.
  XDisplayPtr display(XOpenDisplay(nullptr));
  if (!display) return {};
  return Finding::Usable(std::move(display));
}

std::string WaylandName() { return Env("WAYLAND_DISPLAY", "wayland-0"); }

Finding TryWayland() {
  // A connection handed over ready-made can be taken once, and that is SDL's.
  if (!Env("WAYLAND_SOCKET").empty()) return Finding::Usable();
  const std::unique_ptr<wl_display, WlDisplayCloser> display(wl_display_connect(nullptr));
  if (!display) return {};
  bool seat = false;
  const std::unique_ptr<wl_registry, WlRegistryDeleter> registry(wl_display_get_registry(display.get()));
  static constexpr wl_registry_listener kSeatFinder{
      .global =
          [](void* data, wl_registry* /*registry*/, std::uint32_t /*name*/, const char* interface,
             std::uint32_t /*version*/) {
            if (std::strcmp(interface, wl_seat_interface.name) == 0) *static_cast<bool*>(data) = true;
          },
      .global_remove = [](void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {},
  };
  if (!registry || wl_registry_add_listener(registry.get(), &kSeatFinder, &seat) != 0 ||
      wl_display_roundtrip(display.get()) < 0) {
    return Finding::Unusable("the Wayland display " + WaylandName() + " is not a Wayland compositor");
  }
  // SDL's Wayland video does not start without one.
  if (!seat)
    return Finding::Unusable("the Wayland compositor " + WaylandName() + " has no seat, no keyboard or pointer");
  return Finding::Usable();
}

// The drivers to try in turn: SDL's own order, or the user's where it names
// only these two. Empty where it names another of SDL's: that one is SDL's to try.
std::vector<std::string> Candidates() {
  const std::string asked = Env("SDL_VIDEODRIVER");
  if (asked.empty()) return {"x11", "wayland"};
  std::vector<std::string> names;
  std::istringstream list(asked);
  for (std::string name; std::getline(list, name, ',');) {
    if (strcasecmp(name.c_str(), "x11") == 0) {
      names.emplace_back("x11");
    } else if (strcasecmp(name.c_str(), "wayland") == 0) {
      names.emplace_back("wayland");
    } else {
      return {};
    }
  }
  return names;
}

// What the child tells, a line each: the display it is trying, then its
// verdict: the driver to use, or none (with what is wrong, if anything).
constexpr std::string_view kTrying = "trying ";
constexpr std::string_view kUse = "use ";
constexpr std::string_view kNone = "none ";

void Tell(int fd, std::string_view what, const std::string& text) {
  const std::string line = std::string(what) + text + "\n";  // shorter than a pipe's atomic write
  while (write(fd, line.data(), line.size()) < 0 && errno == EINTR) {
  }
}

// Tries each candidate, tells, and keeps the connection it found until `hold` closes.
[[noreturn]] void Try(const std::vector<std::string>& candidates, int report, int hold) noexcept {
  try {
    std::string driver, why;
    XDisplayPtr x11;
    for (const std::string& name : candidates) {
      const bool is_x11 = name == "x11";
      Tell(report, kTrying, is_x11 ? "the X display " + Env("DISPLAY") : "the Wayland display " + WaylandName());
      Finding found = is_x11 ? TryX11() : TryWayland();
      if (found.kind == Finding::Kind::kUsable) {
        driver = name;
        x11 = std::move(found.x11);
        break;
      }
      if (found.kind == Finding::Kind::kUnusable && why.empty()) why = std::move(found.why);
    }
    Tell(report, driver.empty() ? kNone : kUse, driver.empty() ? why : driver);
    char byte = 0;
    while (read(hold, &byte, 1) != 0 && errno == EINTR) {
    }
  } catch (...) {  // out of memory: nothing told, which the parent takes for a failed attempt
  }
  _exit(0);
}

}  // namespace

DisplayProbe::DisplayProbe(std::chrono::seconds limit) {
  const std::vector<std::string> candidates = Candidates();
  if (candidates.empty()) return;
  int report_ends[2], hold_ends[2];
  if (pipe2(report_ends, O_CLOEXEC) != 0) return;  // no probe to be had: SDL connects unbounded, as ever
  const UniqueFd report(report_ends[0]);
  UniqueFd told(report_ends[1]);
  if (pipe2(hold_ends, O_CLOEXEC) != 0) return;
  UniqueFd held(hold_ends[0]);
  child_.hold.Reset(hold_ends[1]);
  const pid_t parent = getpid();
  child_.pid = fork();
  if (child_.pid < 0) return;
  if (child_.pid == 0) {
    // Ends with the program, however the program ends.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(0);
    close(child_.hold.Get());
    Try(candidates, told.Get(), held.Get());
  }
  told.Reset();
  held.Reset();

  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::string lines, trying = "the display";
  for (;;) {
    for (std::size_t end; (end = lines.find('\n')) != std::string::npos; lines.erase(0, end + 1)) {
      const std::string_view line = std::string_view(lines).substr(0, end);
      if (line.starts_with(kTrying)) trying = line.substr(kTrying.size());
      if (line.starts_with(kUse)) {
        driver_ = line.substr(kUse.size());
        return;
      }
      // No display serves: the first that cannot be used says why, rather
      // than SDL crashing on it or passing it over.
      if (line.starts_with(kNone)) {
        if (line.size() > kNone.size()) throw NoDisplay(std::string(line.substr(kNone.size())));
        return;
      }
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd readable{report.Get(), POLLIN, 0};
    const int ready = left.count() > 0 ? poll(&readable, 1, static_cast<int>(left.count())) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      kill(child_.pid, SIGKILL);
      throw NoDisplay(trying + " did not answer within " + std::to_string(limit.count()) + " s");
    }
    char chunk[256];
    const ssize_t got = read(report.Get(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw NoDisplay("connecting to " + trying + " failed");  // the attempt crashed
    lines.append(chunk, static_cast<std::size_t>(got));
  }
}

DisplayProbe::Child::~Child() {
  hold.Reset();
  if (pid <= 0) return;
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace tk
