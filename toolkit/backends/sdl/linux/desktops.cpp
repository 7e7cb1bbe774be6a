// The desktops of Linux: X11 and Wayland, each checked before SDL starts on it.
#include "desktops.hpp"

#include <string>

#include "display_probe.hpp"
#include "wayland_window.hpp"
#include "x11_window.hpp"

namespace tk {

std::unique_ptr<DisplayCheck> CheckDisplay() { return std::make_unique<DisplayProbe>(kDisplayTimeout); }

// Wayland lends no window pixels: SDL backs the window with a texture of its
// own there, drawn at the output's scale.
WindowKind KindOfWindow(std::string_view driver) {
  const bool wayland = driver == "wayland";
  return {.framebuffer_texture = wayland, .desktop_scales = wayland};
}

std::unique_ptr<DesktopWindow> AttachDesktop(SDL_Window& window, const Form& form) {
  if (auto x11 = X11Window::Attach(window, form)) return x11;
  if (auto wayland = WaylandWindow::Attach(window, form)) return wayland;
  return std::make_unique<DesktopWindow>();
}

// SDL's own box: on X11 drawn by a forked child, on Wayland by zenity.
bool ShowMessageBox(SDL_Window* owner, std::string_view title, std::string_view prompt, int style) {
  std::string text;
  for (const char c : prompt) {
    if (c != '\r') text += c;
  }
  return SDL_ShowSimpleMessageBox(style == kCritical ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION,
                                  std::string(title).c_str(), text.c_str(), owner) == 0;
}

}  // namespace tk
