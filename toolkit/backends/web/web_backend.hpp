#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "backend.hpp"

namespace tk {

// The window as a canvas on a web page, in WebAssembly. The page (web/page.js)
// is the screen and its window manager: it makes the canvas, places the
// window first (centred), moves it where the form says, reads the pointer and
// shows the modal box as an HTML dialog. Waiting and the box sleep through the
// browser (Emscripten's Asyncify), so the loop and the handlers run as they
// do natively, nested yields and boxes included.
//
// The window is scaled by a whole factor N from the page's devicePixelRatio:
// the canvas has N x N device pixels to each frame pixel, never blurred.
// Positions and the pointer are in form pixels of the page.
class WebBackend final : public Backend {
 public:
  const Clock& GetClock() const override { return clock_; }
  void Show(const Form& form) override;
  void SyncWindow(const Form& form) override;
  std::optional<Event> PollEvent() override;
  void Unpoll(const Event& event) override { again_ = event; }
  void WaitEvent(std::int64_t timeout_ms) override;
  void Present(const Surface& frame, std::span<const Rect> changed) override;
  void MsgBox(std::string_view title, std::string_view prompt, int style) override;

  // Makes the page's sound output, at the rate the program's sound has (so
  // that only the browser converts it, for the device); whether it may start
  // now. Most browsers let it start only in a click or a key press: then
  // WaitForStart.
  bool PrepareSound(int rate);
  // Sleeps until the user clicks the window; the page starts sound in that
  // click, which goes no further.
  void WaitForStart();
  // The program has ended with status: the window goes, and the page's sound
  // output with it (the page offers to run the program again).
  void Ended(int status);

 private:
  SteadyClock clock_;
  std::optional<Event> again_;  // handed back by the loop, polled first
  bool shown_ = false;
  int scale_ = 1;
  int left_ = 0;  // the window's place on the page
  int top_ = 0;
  int width_ = 0;  // the canvas, in its own pixels
  int height_ = 0;
  std::vector<std::uint32_t> canvas_;  // its pixels as the page takes them: RGBA bytes
  std::vector<int> areas_;             // the changed areas of a frame: x, y, w, h each
};

}  // namespace tk
