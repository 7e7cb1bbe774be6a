#pragma once

#include <SDL.h>

#include <cstdint>
#include <optional>

#include "toolkit/backend.hpp"

namespace tk {

// A place on the screen, in display pixels.
struct ScreenPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// Rounds towards minus infinity: a pointer 1 display pixel left of the
// window is in the form pixel left of it too.
constexpr int FloorDiv(int value, int by) { return value >= 0 ? value / by : -((-value + by - 1) / by); }

// What one desktop adds to an SDL window where SDL has no call for it, or its
// own call does not serve: the scale, placing the window, reading the
// pointer, waiting for events. The SDL backend holds one, chosen once when its
// window is made (X11Window, WaylandWindow); this one is SDL alone, for any
// other desktop and before the window exists.
class DesktopWindow {
 public:
  DesktopWindow() = default;
  virtual ~DesktopWindow() = default;
  DesktopWindow(const DesktopWindow&) = delete;
  DesktopWindow& operator=(const DesktopWindow&) = delete;

  // Display pixels per form pixel: every pixel of the frame shows as an N x N block.
  virtual int Scale() const { return 1; }
  // Whether the program places the window. Where it does not, the compositor
  // places it and drags it, and moves are neither asked for nor reported.
  virtual bool PlacesWindow() const { return true; }
  // Moves the window's top-left to `at`.
  virtual void Place(SDL_Window& window, ScreenPoint at);
  // Once the window shows.
  virtual void Shown(SDL_Window& window) { static_cast<void>(window); }
  // The form's pointer event in e, if it is one: in form pixels from the
  // window's top-left, the window being at window_at.
  virtual std::optional<MouseEvent> Pointer(const SDL_Event& e, ScreenPoint window_at) const;
  // Blocks until an event is pending or timeout_ms have passed; returns
  // whether it read the display meanwhile.
  virtual bool Wait(std::int64_t timeout_ms);

 protected:
  // SDL's reading of a pointer event, at `scale` display pixels per form pixel.
  static std::optional<MouseEvent> SdlPointer(const SDL_Event& e, int scale);
};

}  // namespace tk
