#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "desktop_window.hpp"

// Xlib's display, named without bringing Xlib's macros into every file.
struct _XDisplay;  // NOLINT(bugprone-reserved-identifier)

namespace tk {

class Form;

// The whole factor by which an X11 desktop wants windows scaled: GDK_SCALE
// when it is a whole number of 1 or more, else the Xft.dpi resource over 96
// (rounded down, at least 1), else 1; never more than kMaxScale. Either text
// may be null (not set).
int ChooseScale(const char* gdk_scale, const char* xft_dpi);

// An SDL window on an X11 display, asking the X server itself for what SDL
// has no call for or does otherwise there:
// - the scale and the place: the desktop's whole factor (ChooseScale), the
//   window wholly on the work area of its screen (OpenOnScreen);
// - every size of the icon with its transparency (_NET_WM_ICON);
// - the pointer as the server sent it: presses, releases and moves with no
//   button held where they happened against where the window was then (a
//   press tells where the window really is, whatever moves were asked for);
//   moves and crossings of the edge with a button held by where they went on
//   the screen against where the window is now (a drag may have moved it
//   since), each counting, a warp too, even where SDL sees the same spot of a
//   window that follows the pointer and drops it;
// - crossings through XInput2, and no core crossing or focus events, where
//   the server has XInput2: SDL ungrabs the pointer at each of those it sees,
//   which ends the grab a press gives the window, and the release then goes
//   to whatever is under the pointer; none of SDL's raw pointer events;
// - placing the window without waiting for each move to be done;
// - a true-colour visual where SDL cannot draw into the screen's own (30
//   bits); a screen with none says its depth;
// - waiting on the display connection itself, not reading it before and after.
class X11Window final : public DesktopWindow {
 public:
  // The X11 part of window, or null where window is not on an X11 display.
  static std::unique_ptr<X11Window> Attach(SDL_Window& window, const Form& form);

  X11Window(SDL_Window& window, _XDisplay* display, unsigned long x_window, const Form& form);

  int Scale() const override { return opening_.scale; }
  ScreenPoint OpenAt(ScreenPoint /*place*/) const override { return {opening_.x, opening_.y}; }
  void ReadyOtherWindow() override;
  void Place(SDL_Window& window, ScreenPoint at) override;
  Queued Sort(SDL_Event& e) const override;
  std::optional<MouseEvent> Pointer(const SDL_Event& e, ScreenPoint& window_at, const PointerMap& map) const override;
  bool Wait(std::int64_t timeout_ms) override;

 private:
  void SelectEvents();

  _XDisplay* display_;
  unsigned long x_window_;  // Xlib's Window
  int xi_opcode_ = -1;      // XInput2's events, where the server has them
  Opening opening_;
};

}  // namespace tk
