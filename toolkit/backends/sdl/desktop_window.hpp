#pragma once

#include <SDL.h>

#include <cstdint>
#include <optional>

#include "backend.hpp"
#include "layout.hpp"

namespace tk {

// A place on the screen, in display pixels.
struct ScreenPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// How a pointer's window coordinates map to form pixels: into the window's
// own pixels (where SDL counts in the desktop's units, of which a HiDPI
// Wayland output has several pixels each), then through the frame's layout.
struct PointerMap {
  FrameLayout layout;
  int pixels = 1;  // window pixels per `units` of the pointer's coordinates
  int units = 1;

  int FormX(int x) const { return layout.FrameX(pixels == units ? x : FloorDiv(x * pixels, units)); }
  int FormY(int y) const { return layout.FrameY(pixels == units ? y : FloorDiv(y * pixels, units)); }
};

// What becomes of an event SDL is about to queue: kept in its place, a
// pointer move (of a run of them only the newest is kept), or dropped as of
// no use here.
enum class Queued { Keep, Move, Drop };

// What one desktop adds to an SDL window where SDL has no call for it, or its
// own call does not serve: the scale and the place it opens at, placing the
// window, reading the pointer, waiting for events. The SDL backend holds one, chosen once when its
// window is made (X11Window, WaylandWindow, WindowsWindow); this one is SDL alone, for any
// other desktop and before the window exists.
class DesktopWindow {
 public:
  DesktopWindow() = default;
  virtual ~DesktopWindow() = default;
  DesktopWindow(const DesktopWindow&) = delete;
  DesktopWindow& operator=(const DesktopWindow&) = delete;

  // Display pixels per form pixel the window asks for: every pixel of the
  // frame an N x N block.
  virtual int Scale() const { return 1; }
  // Where the window opens, in display pixels, the form being at `place`.
  virtual ScreenPoint OpenAt(ScreenPoint place) const { return {place.x * Scale(), place.y * Scale()}; }
  // Where SDL cannot draw into the window: readies another kind of window
  // that it can draw into, to be made anew; or throws NoDisplay, or
  // DisplayUnfit where the display cannot show the window, saying why.
  virtual void ReadyOtherWindow();
  // Whether the program places the window. Where it does not, the compositor
  // places it and drags it, and moves are neither asked for nor reported.
  virtual bool PlacesWindow() const { return true; }
  // Moves the window's top-left to `at`.
  virtual void Place(SDL_Window& window, ScreenPoint at);
  // Once the window shows.
  virtual void Shown(SDL_Window& window) { static_cast<void>(window); }
  // Whenever the window's size, and so the pointer's mapping, changes.
  virtual void Mapped(const PointerMap& map) { static_cast<void>(map); }
  // What becomes of e, about to be queued by SDL (on the thread that pumps):
  // pointer moves are SDL's own, nothing is of no use.
  virtual Queued Sort(SDL_Event& e) const;
  // The form's pointer event in e, if it is one: in form pixels, the window
  // being at window_at (which an event telling where it really is sets) and
  // its coordinates mapping through map.
  virtual std::optional<MouseEvent> Pointer(const SDL_Event& e, ScreenPoint& window_at, const PointerMap& map) const;
  // Blocks until an event is pending or timeout_ms have passed; returns
  // whether it read the display meanwhile.
  virtual bool Wait(std::int64_t timeout_ms);

 protected:
  // SDL's reading of a pointer event.
  static std::optional<MouseEvent> SdlPointer(const SDL_Event& e, const PointerMap& map);
};

}  // namespace tk
