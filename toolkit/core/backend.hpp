#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "clock.hpp"
#include "surface.hpp"

namespace tk {

class Form;

struct MouseEvent {
  enum class Kind { Down, Move, Up };
  Kind kind = Kind::Move;
  int x = 0;  // pixels from the client area's top-left
  int y = 0;
  std::int16_t button = 0;  // Down/Up: the button; Move: every button held
  std::int16_t shift = 0;
};

struct QuitEvent {};

struct Event {
  enum class Kind { Mouse, Moved, Quit };
  Kind kind = Kind::Mouse;
  MouseEvent mouse;
  // Moved: the window's new top-left on the screen, in pixels; moved by the
  // desktop or the user through it, not by the program.
  int left = 0;
  int top = 0;
};

// Message box style: critical icon, one OK button.
inline constexpr int kCritical = 16;

// Where the toolkit meets a display (or none): the window, its input, time,
// presenting whole frames, and modal message boxes.
class Backend {
 public:
  virtual ~Backend() = default;

  virtual const Clock& GetClock() const = 0;
  // Creates the window for the form: title, icon, position and size.
  virtual void Show(const Form& form) = 0;
  // Applies the form's Left and Top to the window when they changed (not the
  // places the window reports having been moved to).
  virtual void SyncWindow(const Form& form) = 0;
  virtual std::optional<Event> PollEvent() = 0;
  // Puts back the event PollEvent gave last, to come first again.
  virtual void Unpoll(const Event& event) = 0;
  // Blocks until an event is pending or timeout_ms have passed.
  virtual void WaitEvent(std::int64_t timeout_ms) = 0;
  // Shows the frame; only the changed rectangles differ from the last one.
  virtual void Present(const Surface& frame, std::span<const Rect> changed) = 0;
  // The runtime's modal message box; returns when the user has closed it.
  // (MsgBox, not MessageBox: windows.h makes that name a macro.)
  virtual void MsgBox(std::string_view title, std::string_view prompt, int style) = 0;
};

}  // namespace tk
