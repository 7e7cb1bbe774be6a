#include "toolkit/sdl_backend.hpp"

#include <string>

#include "toolkit/controls.hpp"
#include "toolkit/image.hpp"

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
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    throw NoDisplay(SDL_GetError());
  }
}

SdlBackend::~SdlBackend() {
  texture_.reset();
  renderer_.reset();
  window_.reset();
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

void SdlBackend::Show(const Form& form) {
  const Rect r = form.PixelRect();
  window_x_ = r.x;
  window_y_ = r.y;
  window_.reset(SDL_CreateWindow(form.Caption().c_str(), r.x, r.y, r.w, r.h, SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN));
  if (!window_) throw NoDisplay(SDL_GetError());
  if (form.Icon().Width() > 0) {
    SdlSurfacePtr icon = WrapSurface(form.Icon());
    SDL_SetWindowIcon(window_.get(), icon.get());
  }
  renderer_.reset(SDL_CreateRenderer(window_.get(), -1, SDL_RENDERER_SOFTWARE));
  if (!renderer_) {
    // No framebuffer of the display's own (Wayland): let SDL choose.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "1");
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "");
    renderer_.reset(SDL_CreateRenderer(window_.get(), -1, 0));
  }
  if (!renderer_) throw NoDisplay(SDL_GetError());
  texture_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, r.w, r.h));
  if (!texture_) throw NoDisplay(SDL_GetError());
  SDL_ShowWindow(window_.get());
  SDL_SetWindowPosition(window_.get(), r.x, r.y);
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
  if (const std::int64_t now = clock_.NowMs(); now != last_pump_ms_) {
    SDL_PumpEvents();
    last_pump_ms_ = now;
  }
  SDL_Event e;
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    MouseEvent mouse;
    switch (e.type) {
      case SDL_QUIT:
        return Event{Event::Kind::Quit, {}};
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) return Event{Event::Kind::Quit, {}};
        continue;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        mouse.kind = e.type == SDL_MOUSEBUTTONDOWN ? MouseEvent::Kind::Down : MouseEvent::Kind::Up;
        mouse.button = ButtonBit(e.button.button);
        if (mouse.button == 0) continue;
        break;
      case SDL_MOUSEMOTION:
        mouse.kind = MouseEvent::Kind::Move;
        mouse.button = ButtonMask(e.motion.state);
        break;
      default:
        continue;
    }
    // Measured from where the window is now, not where it was when the event
    // was queued: a drag moves the window between events.
    int gx = 0;
    int gy = 0;
    SDL_GetGlobalMouseState(&gx, &gy);
    mouse.x = gx - window_x_;
    mouse.y = gy - window_y_;
    mouse.shift = ShiftState();
    return Event{Event::Kind::Mouse, mouse};
  }
  return std::nullopt;
}

void SdlBackend::WaitEvent(std::int64_t timeout_ms) {
  SDL_WaitEventTimeout(nullptr, static_cast<int>(timeout_ms));
  last_pump_ms_ = -1;  // whatever woke us is read at the next poll
}

void SdlBackend::Present(const Surface& frame) {
  if (!texture_) return;
  SDL_UpdateTexture(texture_.get(), nullptr, frame.Pixels().data(), frame.Width() * 4);
  SDL_RenderCopy(renderer_.get(), texture_.get(), nullptr, nullptr);
  SDL_RenderPresent(renderer_.get());
  if (first_present_ms_ < 0) first_present_ms_ = clock_.NowMs();
}

void SdlBackend::MessageBox(std::string_view title, std::string_view prompt, int style) {
  std::string text;
  for (char c : prompt) {
    if (c != '\r') text += c;
  }
  const Uint32 flags = style == kCritical ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  SDL_ShowSimpleMessageBox(flags, std::string(title).c_str(), text.c_str(), window_.get());
}

}  // namespace tk
