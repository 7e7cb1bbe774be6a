#include "desktop_window.hpp"

#include "errors.hpp"

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

void DesktopWindow::Place(SDL_Window& window, ScreenPoint at) { SDL_SetWindowPosition(&window, at.x, at.y); }

void DesktopWindow::ReadyOtherWindow() { throw NoDisplay(SDL_GetError()); }

Queued DesktopWindow::Sort(SDL_Event& e) const { return e.type == SDL_MOUSEMOTION ? Queued::Move : Queued::Keep; }

std::optional<MouseEvent> DesktopWindow::Pointer(const SDL_Event& e, ScreenPoint& /*window_at*/,
                                                 const PointerMap& map) const {
  return SdlPointer(e, map);
}

bool DesktopWindow::Wait(std::int64_t timeout_ms) {
  SDL_WaitEventTimeout(nullptr, static_cast<int>(timeout_ms));
  return true;
}

std::optional<MouseEvent> DesktopWindow::SdlPointer(const SDL_Event& e, const PointerMap& map) {
  switch (e.type) {
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const std::int16_t button = ButtonBit(e.button.button);
      if (button == 0) return std::nullopt;
      return MouseEvent{e.type == SDL_MOUSEBUTTONDOWN ? MouseEvent::Kind::Down : MouseEvent::Kind::Up,
                        map.FormX(e.button.x), map.FormY(e.button.y), button, ShiftState()};
    }
    case SDL_MOUSEMOTION:
      return MouseEvent{MouseEvent::Kind::Move, map.FormX(e.motion.x), map.FormY(e.motion.y),
                        ButtonMask(e.motion.state), ShiftState()};
    default: return std::nullopt;
  }
}

}  // namespace tk
