#include "toolkit/sdl_backend.hpp"

#include <SDL_syswm.h>

#include <iostream>
#include <string>
#include <vector>

#include "toolkit/controls.hpp"
#include "toolkit/image.hpp"
#include "toolkit/modal_box_guard.hpp"

namespace tk {

namespace {

std::int16_t ButtonBit(Uint8 sdl_button) {
  switch (sdl_button) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 4;
    default: return 0;
  }
}

std::int16_t ButtonMask(Uint32 sdl_state) {
  std::int16_t mask = 0;
  if (sdl_state & SDL_BUTTON_LMASK) mask |= 1;
  if (sdl_state & SDL_BUTTON_RMASK) mask |= 2;
  if (sdl_state & SDL_BUTTON_MMASK) mask |= 4;
  return mask;
}

std::int16_t ShiftState() {
  const SDL_Keymod mod = SDL_GetModState();
  std::int16_t shift = 0;
  if (mod & KMOD_SHIFT) shift |= 1;
  if (mod & KMOD_CTRL) shift |= 2;
  if (mod & KMOD_ALT) shift |= 4;
  return shift;
}

}  // namespace

SdlBackend::SdlBackend() {
  // The frame is drawn in memory: present it without loading any GPU driver.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    throw NoDisplay(SDL_GetError());
  }
  // Without a display SDL falls back to drivers that show nothing; take
  // those only when asked for by name.
  const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
  if ((driver == "offscreen" || driver == "dummy") && SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    throw NoDisplay("no X11 or Wayland display found");
  }
}

SdlBackend::~SdlBackend() {
  window_.reset();
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

void SdlBackend::Show(const Form& form) {
  const Rect r = form.PixelRect();
  window_x_ = r.x;
  window_y_ = r.y;
  window_.reset(
      SDL_CreateWindow(form.Caption().c_str(), r.x, r.y, r.w, r.h, SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN));
  if (!window_) throw NoDisplay(SDL_GetError());
  if (form.Icon().Width() > 0) {
    SdlSurfacePtr icon = WrapSurface(form.Icon());
    SDL_SetWindowIcon(window_.get(), icon.get());
  }
  // The frame goes straight into the window's own pixels: one copy, no GPU
  // driver. Where the display lends no framebuffer (Wayland), SDL backs the
  // window with a texture of its own instead.
  if (SDL_GetWindowSurface(window_.get()) == nullptr) {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "1");
    if (SDL_GetWindowSurface(window_.get()) == nullptr) throw NoDisplay(SDL_GetError());
  }
  SDL_ShowWindow(window_.get());
  SDL_SetWindowPosition(window_.get(), r.x, r.y);
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window_.get(), &info) && info.subsystem == SDL_SYSWM_X11) {
    x11_display_ = info.info.x11.display;
    x11_root_ = DefaultRootWindow(info.info.x11.display);
  }
#endif
}

void SdlBackend::QueryPointer(int& x, int& y) const {
#if defined(SDL_VIDEO_DRIVER_X11)
  // SDL's global state is cached from device events and misses warps.
  if (x11_display_ != nullptr) {
    ::Window root = 0, child = 0;
    int window_x = 0, window_y = 0;
    unsigned int mask = 0;
    if (XQueryPointer(static_cast<Display*>(x11_display_), x11_root_, &root, &child, &x, &y, &window_x, &window_y,
                      &mask)) {
      return;
    }
  }
#endif
  SDL_GetGlobalMouseState(&x, &y);
}

Event SdlBackend::PointerEvent(MouseEvent::Kind kind, std::int16_t button) {
  // Measured from where the window is now, not where it was when the event
  // was queued: a drag moves the window between events.
  QueryPointer(pointer_x_, pointer_y_);
  return PointerEventAt(kind, button);
}

Event SdlBackend::PointerEventAt(MouseEvent::Kind kind, std::int16_t button) const {
  MouseEvent mouse{kind, pointer_x_ - window_x_, pointer_y_ - window_y_, button, ShiftState()};
  return Event{Event::Kind::Mouse, mouse};
}

void SdlBackend::SyncWindow(const Form& form) {
  if (!window_) return;
  const int x = TwipsToPixels(form.Left());
  const int y = TwipsToPixels(form.Top());
  if (x == window_x_ && y == window_y_) return;
  window_x_ = x;
  window_y_ = y;
  SDL_SetWindowPosition(window_.get(), x, y);
}

std::optional<Event> SdlBackend::PollEvent() {
  // The logo pass yields 24 times a tick: reading the display connection once
  // a millisecond is enough, and saves most of the system calls.
  bool pumped = false;
  if (const std::int64_t now = clock_.NowMs(); now != last_pump_ms_) {
    SDL_PumpEvents();
    last_pump_ms_ = now;
    pumped = true;
  }
  SDL_Event e;
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    switch (e.type) {
      case SDL_QUIT: return Event{Event::Kind::Quit, {}};
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) return Event{Event::Kind::Quit, {}};
        // Uncovered by another window: show the whole frame again.
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED && window_) SDL_UpdateWindowSurface(window_.get());
        continue;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        const std::int16_t button = ButtonBit(e.button.button);
        if (button == 0) continue;
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        buttons_held_ = static_cast<std::int16_t>(down ? buttons_held_ | button : buttons_held_ & ~button);
        return PointerEvent(down ? MouseEvent::Kind::Down : MouseEvent::Kind::Up, button);
      }
      case SDL_MOUSEMOTION: return PointerEvent(MouseEvent::Kind::Move, ButtonMask(e.motion.state));
      default: continue;
    }
  }
  if (pumped && buttons_held_ != 0) {
    const int x = pointer_x_, y = pointer_y_;
    QueryPointer(pointer_x_, pointer_y_);
    if (pointer_x_ != x || pointer_y_ != y) return PointerEventAt(MouseEvent::Kind::Move, buttons_held_);
  }
  return std::nullopt;
}

void SdlBackend::WaitEvent(std::int64_t timeout_ms) {
  SDL_WaitEventTimeout(nullptr, static_cast<int>(timeout_ms));
  last_pump_ms_ = -1;  // whatever woke us is read at the next poll
}

void SdlBackend::Present(const Surface& frame, std::span<const Rect> changed) {
  SDL_Surface* screen = window_ ? SDL_GetWindowSurface(window_.get()) : nullptr;
  if (screen == nullptr || changed.empty()) return;
  const SdlSurfacePtr source = WrapSurface(frame);
  std::vector<SDL_Rect> rects;
  for (const Rect& r : changed) {
    SDL_Rect area{r.x, r.y, r.w, r.h};
    rects.push_back(area);
    SDL_BlitSurface(source.get(), &area, screen, &area);
  }
  SDL_UpdateWindowSurfaceRects(window_.get(), rects.data(), static_cast<int>(rects.size()));
  if (first_present_ms_ < 0) first_present_ms_ = clock_.NowMs();
}

void SdlBackend::MessageBox(std::string_view title, std::string_view prompt, int style) {
  std::string text;
  for (char c : prompt) {
    if (c != '\r') text += c;
  }
  const Uint32 flags = style == kCritical ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  const ModalBoxGuard guard;
  if (SDL_ShowSimpleMessageBox(flags, std::string(title).c_str(), text.c_str(), window_.get()) != 0) {
    // A box that cannot be drawn (no font on the display) must not vanish unseen.
    std::cerr << title << ": " << text << "\n(the message box could not be shown: " << SDL_GetError() << ")\n";
  }
}

}  // namespace tk
