#pragma once

#include <SDL.h>

#include <memory>
#include <optional>

#include "desktop_window.hpp"

// Windows' window handle, named without bringing windows.h (and its macros,
// MessageBox among them) into every file.
struct HWND__;  // NOLINT(bugprone-reserved-identifier)

namespace tk {

class Form;

// An SDL window on Windows, asking Windows itself for what SDL has no call
// for or does otherwise there. The program is aware of each monitor's DPI (its
// manifest), so SDL's window counts in the monitor's own pixels.
// - the scale and the place: the monitor's DPI as a whole factor (ScaleOfDpi),
//   the window wholly on the monitor's work area (OpenOnScreen);
// - every size of the icon, from the program's resource, as Windows wants
//   each (the taskbar's, the title's);
// - a move with a button held as Windows sent it (WM_MOUSEMOVE), each
//   counting, by where the pointer is on the screen against where the window
//   is now: Windows reports a move against the place the window had when it
//   was queued, which a drag has left since, and SDL drops a move to the spot
//   of the window it saw last, which a window that follows the pointer gives.
class WindowsWindow final : public DesktopWindow {
 public:
  // The Windows part of window, or null where window is not Windows'.
  static std::unique_ptr<WindowsWindow> Attach(SDL_Window& window, const Form& form);

  WindowsWindow(HWND__* window, const Form& form);

  int Scale() const override { return opening_.scale; }
  ScreenPoint OpenAt(ScreenPoint /*place*/) const override { return {opening_.x, opening_.y}; }
  Queued Sort(SDL_Event& e) const override;
  std::optional<MouseEvent> Pointer(const SDL_Event& e, ScreenPoint& window_at, const PointerMap& map) const override;

 private:
  HWND__* window_;
  Opening opening_;
};

}  // namespace tk
