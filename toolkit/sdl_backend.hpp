#pragma once

#include <memory>
#include <vector>

#include "toolkit/backend.hpp"
#include "toolkit/desktop_window.hpp"
#include "toolkit/errors.hpp"
#include "toolkit/sdl_handles.hpp"

namespace tk {

// A real borderless window through SDL2, presenting into the window's own
// pixels. What the desktop adds beyond SDL (X11Window, WaylandWindow) is
// chosen once, when the window is made.
//
// The window is scaled by the desktop's whole factor N: every frame pixel
// shows as an N x N block, and the pointer and the window's place are mapped
// back to form pixels. Where the program places the window, the form's Left
// and Top follow every move the desktop makes of it.
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
  void PlaceWindow();  // at window_at_
  std::optional<Event> Translate(const SDL_Event& e);
  std::optional<Event> WindowMoved(ScreenPoint to);
  void CopyScaled(const Surface& frame, const Rect& area, SDL_Surface& screen, int n);

  SteadyClock clock_;
  Uint32 window_flags_ = 0;
  std::unique_ptr<SDL_Window, SdlWindowDeleter> window_;
  std::unique_ptr<DesktopWindow> desktop_;
  // Where the window is, in display pixels: what the platform reported last,
  // or the program asked for since; and the form's place it stands for.
  ScreenPoint window_at_;
  ScreenPoint form_at_;
  std::vector<ScreenPoint> asked_;  // moves asked for, not yet reported done
  SDL_Surface* shown_ = nullptr;    // the window surface last presented into
  std::vector<Pixel> row_;          // one row of N x N blocks
  std::vector<SDL_Rect> rects_;
  std::int64_t first_present_ms_ = -1;
  std::int64_t last_pump_ms_ = -1;
};

}  // namespace tk
