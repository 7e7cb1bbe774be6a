#include "toolkit/display_probe.hpp"

#include <X11/Xlib.h>
#include <strings.h>
#include <wayland-client.h>

#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

#include "toolkit/errors.hpp"

namespace tk {

void XDisplayCloser::operator()(_XDisplay* display) const { XCloseDisplay(display); }

namespace {

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

// What the thread that connects shares with the caller, who may stop waiting for it.
struct Attempt {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::string connecting;  // the display being connected to, for the message
  std::exception_ptr error;
  std::string driver;  // once done: the first usable, or else
  std::string why;     // what is wrong with the first that could not be used
  XDisplayPtr x11;
};

void Connect(Attempt& attempt) {
  std::string driver, why;
  XDisplayPtr x11;
  std::exception_ptr error;
  try {
    for (const std::string& name : Candidates()) {
      const bool is_x11 = name == "x11";
      {
        const std::lock_guard lock(attempt.mutex);
        attempt.connecting = is_x11 ? "the X display " + Env("DISPLAY") : "the Wayland display " + WaylandName();
      }
      Finding found = is_x11 ? TryX11() : TryWayland();
      if (found.kind == Finding::Kind::kUsable) {
        driver = name;
        x11 = std::move(found.x11);
        break;
      }
      if (found.kind == Finding::Kind::kUnusable && why.empty()) why = std::move(found.why);
    }
  } catch (...) {
    error = std::current_exception();
  }
  const std::lock_guard lock(attempt.mutex);
  attempt.driver = std::move(driver);
  attempt.why = std::move(why);
  attempt.x11 = std::move(x11);
  attempt.error = error;
  attempt.done = true;
  attempt.finished.notify_all();
}

}  // namespace

DisplayProbe::DisplayProbe(std::chrono::seconds limit) {
  const auto attempt = std::make_shared<Attempt>();
  std::thread worker;
  try {
    worker = std::thread([attempt] { Connect(*attempt); });
  } catch (const std::system_error&) {
    Connect(*attempt);  // no thread to be had (a tight memory limit): connect as SDL would, unbounded
  }
  std::unique_lock lock(attempt->mutex);
  if (!attempt->finished.wait_for(lock, limit, [&] { return attempt->done; })) {
    const std::string silent = attempt->connecting;
    lock.unlock();
    worker.detach();  // blocked in a read that may never return: it ends with the process
    throw NoDisplay(silent + " did not answer within " + std::to_string(limit.count()) + " s");
  }
  lock.unlock();
  if (worker.joinable()) worker.join();
  if (attempt->error) std::rethrow_exception(attempt->error);
  // No display serves: the first that cannot be used says why, rather than
  // SDL crashing on it or passing it over.
  if (attempt->driver.empty() && !attempt->why.empty()) throw NoDisplay(attempt->why);
  driver_ = std::move(attempt->driver);
  x11_ = std::move(attempt->x11);
}

DisplayProbe::~DisplayProbe() = default;

}  // namespace tk
