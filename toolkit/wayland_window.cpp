#include "toolkit/wayland_window.hpp"

#include <SDL_syswm.h>
#if !defined(SDL_VIDEO_DRIVER_WAYLAND)
#error "SDL was built without Wayland: build without wayland_window.cpp"
#endif

#include <wayland-client-core.h>

#include <cstdint>

#include "toolkit/controls.hpp"

namespace tk {

namespace {

// Where the form's own surface takes a press, the press is the compositor's.
SDL_HitTestResult DragArea(SDL_Window* /*window*/, const SDL_Point* point, void* form) {
  return static_cast<const Form*>(form)->OwnSurfaceAt(point->x, point->y) ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
}

// The window's system part, where it is a Wayland window.
bool WaylandInfo(SDL_Window& window, SDL_SysWMinfo& info) {
  SDL_VERSION(&info.version);
  return SDL_GetWindowWMInfo(&window, &info) && info.subsystem == SDL_SYSWM_WAYLAND;
}

}  // namespace

std::unique_ptr<WaylandWindow> WaylandWindow::Attach(SDL_Window& window, const Form& form) {
  SDL_SysWMinfo info;
  if (!WaylandInfo(window, info)) return nullptr;
  return std::make_unique<WaylandWindow>(window, form);
}

WaylandWindow::WaylandWindow(SDL_Window& window, const Form& form)
    : width_(form.PixelRect().w), height_(form.PixelRect().h) {
  SDL_SetWindowHitTest(&window, DragArea, const_cast<Form*>(&form));
}

// (SDL tells the compositor no size limits of a window that cannot be resized;
// its toplevel exists once the window shows.)
void WaylandWindow::Shown(SDL_Window& window) {
  constexpr std::uint32_t kSetMaxSize = 7, kSetMinSize = 8;  // xdg_toplevel requests
  SDL_SysWMinfo info;
  if (!WaylandInfo(window, info)) return;
  auto* toplevel = reinterpret_cast<wl_proxy*>(info.info.wl.xdg_toplevel);
  if (toplevel == nullptr) return;
  wl_proxy_marshal(toplevel, kSetMaxSize, width_, height_);
  wl_proxy_marshal(toplevel, kSetMinSize, width_, height_);
}

}  // namespace tk
