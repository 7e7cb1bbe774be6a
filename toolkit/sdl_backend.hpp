#pragma once

#include <memory>
#include <stdexcept>

#include "toolkit/backend.hpp"
#include "toolkit/sdl_handles.hpp"

namespace tk {

// No display to open a window on.
class NoDisplay : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A real borderless window through SDL2, presenting through a streaming texture.
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
  void Present(const Surface& frame) override;
  void MessageBox(std::string_view title, std::string_view prompt, int style) override;

  // Called once the first frame is on screen (for start-up timing).
  std::int64_t FirstPresentMs() const { return first_present_ms_; }

 private:
  SteadyClock clock_;
  std::unique_ptr<SDL_Window, SdlWindowDeleter> window_;
  std::unique_ptr<SDL_Renderer, SdlRendererDeleter> renderer_;
  std::unique_ptr<SDL_Texture, SdlTextureDeleter> texture_;
  int window_x_ = 0;
  int window_y_ = 0;
  std::int64_t first_present_ms_ = -1;
  std::int64_t last_pump_ms_ = -1;
};

}  // namespace tk
