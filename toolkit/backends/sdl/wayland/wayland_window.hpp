#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "desktop_window.hpp"

struct wl_display;
struct wl_surface;

namespace tk {

class Form;

// An SDL window on a Wayland compositor, which places the window and never
// lets a client move itself: a press of any button on the form's own surface
// (where no control is) hands the drag to the compositor (xdg_toplevel.move),
// so the same areas drag as elsewhere, and that press never reaches the form.
// SDL's hit test does so for the left button; for the right and the middle
// one, the press's serial, which SDL keeps to itself, comes from a pointer of
// our own on each seat. The window has one size, told to the compositor
// before its first frame (xdg_toplevel's least and largest size), so that
// tiling compositors float it at that size rather than stretch it. The
// compositor draws it at the output's scale.
class WaylandWindow final : public DesktopWindow {
 public:
  // The Wayland part of window, or null where window is not on Wayland.
  // The form outlives the window, and the window outlives this.
  static std::unique_ptr<WaylandWindow> Attach(SDL_Window& window, const Form& form);

  WaylandWindow(SDL_Window& window, wl_display& display, wl_surface& surface, const Form& form);
  ~WaylandWindow() override;

  bool PlacesWindow() const override { return false; }
  void Shown(SDL_Window& window) override;
  void Mapped(const PointerMap& map) override { map_ = map; }
  std::optional<MouseEvent> Pointer(const SDL_Event& e, ScreenPoint& window_at, const PointerMap& map) const override;

  // Whether a press at (x, y), in the window's own units, is the compositor's
  // to drag with: on the form's own surface as the frame shows in the window.
  bool DragAreaAt(int x, int y) const;

 private:
  struct Seat;  // a seat of the compositor's, with a pointer of ours while it has one

  void BindSeats();
  void Drag(const Seat& seat, std::uint32_t serial);

  SDL_Window& window_;
  wl_display& display_;
  wl_surface& surface_;
  const Form& form_;
  std::vector<std::unique_ptr<Seat>> seats_;
  PointerMap map_;  // from the window's units to form pixels
  int width_ = 0;   // the window's one size, in form pixels
  int height_ = 0;
};

}  // namespace tk
