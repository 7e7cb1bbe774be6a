#pragma once

#include <SDL.h>

#include <memory>
#include <string>
#include <string_view>

#include "desktop_window.hpp"

// What the desktops of the OS the program is built for add to SDL, decided
// once per OS in a file of its own (linux/desktops.cpp: X11 and Wayland;
// windows/desktops.cpp), which the build chooses. The SDL backend asks only
// these; nothing else in it knows which OS it is on.
namespace tk {

class Form;

// The display SDL is to start on, checked before SDL's video starts, and held
// until it has started.
class DisplayCheck {
 public:
  DisplayCheck() = default;
  virtual ~DisplayCheck() = default;
  DisplayCheck(const DisplayCheck&) = delete;
  DisplayCheck& operator=(const DisplayCheck&) = delete;

  // SDL's video driver to start: empty for SDL's own choice.
  virtual std::string Driver() const { return {}; }
  // Why there is no display, where SDL found none to start on.
  virtual std::string NoneFound() const { return "no display found"; }
};

// Throws NoDisplay, saying why, where no display can be used.
std::unique_ptr<DisplayCheck> CheckDisplay();

// How windows are made on the desktop SDL started on (its video driver).
struct WindowKind {
  // SDL's framebuffer through a texture of SDL's own: the desktop lends no
  // window pixels to draw into.
  bool framebuffer_texture = false;
  // The desktop scales windows itself: the window asks for its pixels
  // (SDL_WINDOW_ALLOW_HIGHDPI).
  bool desktop_scales = false;
};
WindowKind KindOfWindow(std::string_view driver);

// What the desktop the window is on adds to it; DesktopWindow alone where nothing.
std::unique_ptr<DesktopWindow> AttachDesktop(SDL_Window& window, const Form& form);

// The desktop's modal box, over owner where there is one: style as Windows'
// message boxes have it (kCritical: the critical icon and one OK button),
// prompt lines ending in "\r\n". false, with SDL's error set, when it cannot
// be shown.
bool ShowMessageBox(SDL_Window* owner, std::string_view title, std::string_view prompt, int style);

}  // namespace tk
