#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backend.hpp"
#include "surface.hpp"

namespace tk {

// The window as a canvas on a web page, in WebAssembly. The page (web/page.js)
// is the screen and its window manager: it makes the canvas, places the
// window first (centred), moves it where the form says (keeping it on the
// page, and telling the form where it put it), reads the pointer and the
// keys, shows the modal box as an HTML dialog, and scales the canvas to the
// device by whole factors. Waiting and the box sleep through the browser
// (Emscripten's Asyncify), so the loop and the handlers run as they do
// natively, nested yields and boxes included. Positions and the pointer are
// in form pixels of the page; the canvas has the frame's own pixels.
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

  // Makes or takes the page's sound output at the rate the program's sound
  // has (so that only the browser converts it, for the device); whether
  // sound may start now. Most browsers let it start only in a click or a key
  // press, some a moment later on their own.
  bool PrepareSound(int rate);
  // Until Started: the line asking for the click or key that starts sound,
  // drawn in the frame over the rectangle where (the window's own pixels).
  void PromptStart(std::string_view line, const Rect& where);
  // Whether sound may start: the user clicked the window or pressed Enter or
  // Space on it, or the browser let sound start on its own.
  bool Started();
  // The program has ended with status: the window goes (the page offers to
  // run the program again).
  void Ended(int status);

 private:
  SteadyClock clock_;
  std::optional<Event> again_;  // handed back by the loop, polled first
  bool shown_ = false;
  int left_ = 0;  // the window's place on the page
  int top_ = 0;
  Surface shown_frame_;  // the frame as shown, the prompt over it while there is one
  std::string prompt_;   // the line asking for a start, until it came
  Rect prompt_at_;
  std::vector<std::uint32_t> canvas_;  // the frame's pixels as the page takes them: RGBA bytes
  std::vector<int> areas_;             // the changed areas of a frame: x, y, w, h each
};

}  // namespace tk
