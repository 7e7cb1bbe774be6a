#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "toolkit/desktop_window.hpp"

// Xlib's display, named without bringing Xlib's macros into every file.
struct _XDisplay;  // NOLINT(bugprone-reserved-identifier)

namespace tk {

class Form;

// The whole factor by which an X11 desktop wants windows scaled: GDK_SCALE
// when it is a whole number of 1 or more, else the Xft.dpi resource over 96
// (rounded down, at least 1), else 1; never more than limit (what fits the
// screen). Either text may be null (not set).
int ChooseScale(const char* gdk_scale, const char* xft_dpi, int limit);

// An SDL window on an X11 display, asking the X server itself for what SDL
// has no call for or does otherwise there:
// - the scale: the desktop's whole factor (ChooseScale) within the screen;
// - every size of the icon with its transparency (_NET_WM_ICON);
// - the pointer as the server sent it: presses and releases where they
//   happened against where the window was then; moves with a button held,
//   crossings of the edge too, by where they went on the screen against where
//   the window is now (a drag may have moved it since); of SDL's own moves
//   only XInput2's, the hover with no button held;
// - placing the window without waiting for each move to be done;
// - waiting on the display connection itself, not reading it before and after.
class X11Window final : public DesktopWindow {
 public:
  // The X11 part of window, or null where window is not on an X11 display.
  static std::unique_ptr<X11Window> Attach(SDL_Window& window, const Form& form);

  X11Window(SDL_Window& window, _XDisplay* display, unsigned long x_window, const Form& form);

  int Scale() const override { return scale_; }
  void Place(SDL_Window& window, ScreenPoint at) override;
  std::optional<MouseEvent> Pointer(const SDL_Event& e, ScreenPoint window_at) const override;
  bool Wait(std::int64_t timeout_ms) override;

 private:
  std::optional<MouseEvent> ServerPointer(const SDL_SysWMmsg& message, ScreenPoint window_at) const;
  bool FromXInput2() const;

  _XDisplay* display_;
  unsigned long x_window_;  // Xlib's Window
  int xi_opcode_ = -1;      // XInput2's events, where the server has it
  int scale_ = 1;
};

}  // namespace tk
