#pragma once

#include <SDL.h>

#include <memory>

#include "toolkit/desktop_window.hpp"

namespace tk {

class Form;

// An SDL window on a Wayland compositor, which places the window and never
// lets a client move itself: dragging the form's own surface (where no
// control is) is handed to the compositor through SDL's hit test, so the
// same areas drag as elsewhere; and the window has one size, told to the
// compositor before its first frame (xdg_toplevel's least and largest size),
// so that tiling compositors float it at that size rather than stretch it.
// The compositor draws it at the output's scale.
class WaylandWindow final : public DesktopWindow {
 public:
  // The Wayland part of window, or null where window is not on Wayland.
  // The form outlives the window.
  static std::unique_ptr<WaylandWindow> Attach(SDL_Window& window, const Form& form);

  WaylandWindow(SDL_Window& window, const Form& form);

  bool PlacesWindow() const override { return false; }
  void Shown(SDL_Window& window) override;

 private:
  int width_ = 0;  // the window's one size, in form pixels
  int height_ = 0;
};

}  // namespace tk
