#pragma once

#include <memory>

#include "toolkit/backend.hpp"
#include "toolkit/errors.hpp"
#include "toolkit/sdl_handles.hpp"

namespace tk {

// A real borderless window through SDL2, presenting into the window's own pixels.
class SdlBackend final : public Backend {
 public:
  SdlBackend();  // throws NoDisplay
  ~SdlBackend() override;
  SdlBackend(const SdlBackend&) = delete;
  SdlBackend& operator=(const SdlBackend&) = delete;

  const Clock& GetClock() const override { return clock_; }
  void Show(const Form& form) override;
  void SyncWindow(const Form& form) override;
  std::optional<Event> PollEvent() override;
  void WaitEvent(std::int64_t timeout_ms) override;
  void Present(const Surface& frame, std::span<const Rect> changed) override;
  void MessageBox(std::string_view title, std::string_view prompt, int style) override;

  // Called once the first frame is on screen (for start-up timing).
  std::int64_t FirstPresentMs() const { return first_present_ms_; }

 private:
  // The pointer on the screen, read from the display now rather than from
  // SDL's record of past events.
  void QueryPointer(int& x, int& y) const;
  Event PointerEvent(MouseEvent::Kind kind, std::int16_t button);
  Event PointerEventAt(MouseEvent::Kind kind, std::int16_t button) const;  // at the last position read

  SteadyClock clock_;
  std::unique_ptr<SDL_Window, SdlWindowDeleter> window_;
  int window_x_ = 0;
  int window_y_ = 0;
  std::int64_t first_present_ms_ = -1;
  std::int64_t last_pump_ms_ = -1;
  // Buttons held: while any is, the pointer is followed on every pump, since
  // SDL drops moves that repeat a position relative to the (moving) window.
  std::int16_t buttons_held_ = 0;
  int pointer_x_ = 0;
  int pointer_y_ = 0;
  void* x11_display_ = nullptr;
  unsigned long x11_root_ = 0;
};

}  // namespace tk
