#pragma once

#include <deque>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "backend.hpp"

namespace tk {

// No display: a virtual clock, injected input, frames kept for reading back,
// message boxes recorded (and echoed to a stream when one is given).
class HeadlessBackend final : public Backend {
 public:
  struct Box {
    std::string title;
    std::string prompt;
    int style = 0;
  };

  explicit HeadlessBackend(std::ostream* box_echo = nullptr) : box_echo_(box_echo) {}

  VirtualClock& Clock() { return clock_; }
  void Inject(const MouseEvent& event) { events_.push_back(Event{Event::Kind::Mouse, event}); }
  void InjectQuit() { events_.push_back(Event{Event::Kind::Quit, {}}); }

  bool Shown() const { return shown_; }
  const std::string& Title() const { return title_; }
  int WindowX() const { return window_x_; }
  int WindowY() const { return window_y_; }
  const Surface& LastFrame() const { return last_frame_; }
  const std::vector<Box>& Boxes() const { return boxes_; }

  const tk::Clock& GetClock() const override { return clock_; }
  void Show(const Form& form) override;
  void SyncWindow(const Form& form) override;
  std::optional<Event> PollEvent() override;
  void Unpoll(const Event& event) override { events_.push_front(event); }
  void WaitEvent(std::int64_t timeout_ms) override;
  void Present(const Surface& frame, std::span<const Rect> changed) override;
  void MsgBox(std::string_view title, std::string_view prompt, int style) override;

 private:
  VirtualClock clock_;
  std::deque<Event> events_;
  std::ostream* box_echo_;
  bool shown_ = false;
  std::string title_;
  int window_x_ = 0;
  int window_y_ = 0;
  float synced_left_ = std::numeric_limits<float>::quiet_NaN();  // the form's place converted last
  float synced_top_ = std::numeric_limits<float>::quiet_NaN();
  Surface last_frame_;
  std::vector<Box> boxes_;
};

}  // namespace tk
