#pragma once

#include <chrono>
#include <memory>
#include <string>

// Xlib's display, named without bringing Xlib's macros into every file.
struct _XDisplay;  // NOLINT(bugprone-reserved-identifier)

namespace tk {

struct XDisplayCloser {
  void operator()(_XDisplay* display) const;
};

// How long connecting to the display may take before the start gives up.
inline constexpr std::chrono::seconds kDisplayTimeout{5};

// Which of SDL's video drivers is to start, found by making the connection
// SDL would make, in SDL's order (X11, then Wayland; or SDL_VIDEODRIVER's),
// before SDL makes it, on a thread of its own and within a time limit. SDL
// waits for ever on a display that does not answer, and crashes on a socket
// that is no Wayland compositor and on a compositor without a seat: each ends
// the start here instead, in words.
class DisplayProbe {
 public:
  // Throws NoDisplay with the reason: a display that has not answered within
  // `limit`, or, where no display serves, one that cannot be used.
  explicit DisplayProbe(std::chrono::seconds limit);
  ~DisplayProbe();
  DisplayProbe(const DisplayProbe&) = delete;
  DisplayProbe& operator=(const DisplayProbe&) = delete;

  // What SDL_VIDEODRIVER is to be: "x11", "wayland", the rest of the user's
  // own list where it names another of SDL's drivers, or empty where no
  // display was found and SDL chooses as it would.
  const std::string& Driver() const { return driver_; }

 private:
  std::string driver_;
  // The X server's connection is held until SDL has its own: a server that
  // saw its last client leave would reset in between.
  std::unique_ptr<_XDisplay, XDisplayCloser> x11_;
};

}  // namespace tk
