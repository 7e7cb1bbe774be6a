#pragma once

#include <memory>
#include <vector>

#include "backend.hpp"
#include "desktop_window.hpp"
#include "sdl_handles.hpp"

namespace tk {

class SdlEventQueue;

// A real borderless window through SDL2, presenting into the window's own
// pixels. What the desktop adds beyond SDL (X11Window, WaylandWindow, WindowsWindow) is
// chosen once, when the window is made.
//
// The window asks for the desktop's whole factor N and opens where the
// desktop says (wholly on the screen). Whatever size it gets, the frame shows
// at the largest whole scale that fits, centred, black around (FitFrame); the
// pointer maps back through the same layout, and a drag moves the window by
// whole frame pixels of it. Where the program places the window, the form's
// Left and Top follow every move the desktop makes of it.
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
  void Unpoll(const Event& event) override { again_ = event; }
  void WaitEvent(std::int64_t timeout_ms) override;
  void Present(const Surface& frame, std::span<const Rect> changed) override;
  void MsgBox(std::string_view title, std::string_view prompt, int style) override;

  // Called once the first frame is on screen (for start-up timing).
  std::int64_t FirstPresentMs() const { return first_present_ms_; }

 private:
  void MakeWindow(const Form& form);
  void PlaceWindow();  // at window_at_
  void MapPointer();   // through the layout of the window's size now
  std::optional<Event> Translate(const SDL_Event& e);
  std::optional<Event> WindowMoved(ScreenPoint to);
  void CopyScaled(const Surface& frame, const Rect& area, SDL_Surface& screen, const FrameLayout& layout);

  SteadyClock clock_;
  Uint32 window_flags_ = 0;
  std::unique_ptr<SDL_Window, SdlWindowDeleter> window_;
  std::unique_ptr<DesktopWindow> desktop_;
  std::unique_ptr<SdlEventQueue> events_;  // once the window is made
  // Where the window is, in display pixels: what the platform reported last,
  // or the program asked for since; and the form's place it stands for.
  ScreenPoint window_at_;
  ScreenPoint form_at_;
  std::vector<ScreenPoint> asked_;  // moves asked for, not yet reported done
  std::optional<Event> again_;      // put back, or the place the window opened at where not the form's
  int frame_w_ = 0;                 // the form's size in pixels
  int frame_h_ = 0;
  PointerMap map_;                // as of the events translated so far
  SDL_Surface* shown_ = nullptr;  // the window surface last presented into
  FrameLayout shown_layout_;      // and the frame's place in it
  std::vector<Pixel> row_;        // one row of N x N blocks
  std::vector<SDL_Rect> rects_;
  std::int64_t first_present_ms_ = -1;
  std::int64_t last_pump_ms_ = -1;
};

}  // namespace tk
