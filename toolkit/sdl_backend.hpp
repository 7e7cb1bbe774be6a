#pragma once

#include <memory>
#include <vector>

#include "toolkit/backend.hpp"
#include "toolkit/errors.hpp"
#include "toolkit/sdl_handles.hpp"

namespace tk {

// A real borderless window through SDL2, presenting into the window's own pixels.
//
// On X11 the window is scaled by the desktop's whole factor N: every frame
// pixel shows as an N x N block, and the pointer and the window's place are
// mapped back to form pixels. On Wayland the compositor places the window
// and drags it (the form's own surface is its drag area); the frame is drawn
// at the output's scale.
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
  struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
  };

  void ShowX11(const Form& form);
  void FixWaylandSize(int width, int height);
  void PlaceWindow();  // at window_at_
  std::optional<Event> Translate(const SDL_Event& e);
  std::optional<Event> TranslateX11(const SDL_SysWMmsg& message) const;
  bool FromXInput2() const;
  std::optional<Event> WindowMoved(Point to);
  void CopyScaled(const Surface& frame, const Rect& area, SDL_Surface& screen, int n);

  SteadyClock clock_;
  std::unique_ptr<SDL_Window, SdlWindowDeleter> window_;
  bool wayland_ = false;
  int scale_ = 1;  // display pixels per form pixel, on X11
  // Where the window is, in display pixels: what the platform reported last,
  // or the program asked for since; and the form's place it stands for.
  Point window_at_;
  Point form_at_;
  std::vector<Point> asked_;      // moves asked for, not yet reported done
  SDL_Surface* shown_ = nullptr;  // the window surface last presented into
  std::vector<Pixel> row_;        // one row of N x N blocks
  std::vector<SDL_Rect> rects_;
  std::int64_t first_present_ms_ = -1;
  std::int64_t last_pump_ms_ = -1;
  void* x11_display_ = nullptr;  // set where pointer events are read as the X server sent them
  unsigned long x11_window_ = 0;
  int xi_opcode_ = -1;
};

}  // namespace tk
