#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

#include "desktops.hpp"
#include "unique_fd.hpp"

namespace tk {

// How long connecting to the display may take before the start gives up.
inline constexpr std::chrono::seconds kDisplayTimeout{5};

// Which of SDL's video drivers is to start, found by making the connection
// SDL would make, in SDL's order (X11, then Wayland; or SDL_VIDEODRIVER's),
// before SDL makes it, in a child process and within a time limit. SDL waits
// for ever on a display that does not answer, and crashes on a socket that is
// no Wayland compositor and on a compositor without a seat: each ends the
// start here instead, in words. (A child, not a thread: SDL's video starts
// some milliseconds slower in a process that has ever had a second thread.)
class DisplayProbe final : public DisplayCheck {
 public:
  // Throws NoDisplay with the reason: a display that has not answered within
  // `limit`, or, where no display serves, one that cannot be used.
  explicit DisplayProbe(std::chrono::seconds limit);
  DisplayProbe(const DisplayProbe&) = delete;
  DisplayProbe& operator=(const DisplayProbe&) = delete;

  // What SDL_VIDEODRIVER is to be: "x11" or "wayland"; empty where no display
  // was found, or the user named another of SDL's drivers, and SDL chooses as
  // it would.
  std::string Driver() const override { return driver_; }
  std::string NoneFound() const override { return "no X11 or Wayland display found"; }

 private:
  // The child keeps its connection until this goes, after SDL has made its
  // own: an X server that saw its last client leave would reset in between.
  struct Child {
    pid_t pid = -1;
    UniqueFd hold;  // the child ends when this closes
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();
  };

  std::string driver_;
  Child child_;
};

}  // namespace tk
