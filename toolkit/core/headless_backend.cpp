#include "headless_backend.hpp"

#include "controls.hpp"

namespace tk {

void HeadlessBackend::Show(const Form& form) {
  shown_ = true;
  title_ = form.Caption();
  SyncWindow(form);
}

void HeadlessBackend::SyncWindow(const Form& form) {
  // Each pass of the loop asks: convert only a place that changed.
  if (form.Left() == synced_left_ && form.Top() == synced_top_) return;
  synced_left_ = form.Left();
  synced_top_ = form.Top();
  window_x_ = TwipsToPixels(synced_left_);
  window_y_ = TwipsToPixels(synced_top_);
}

void HeadlessBackend::Present(const Surface& frame, std::span<const Rect> changed) {
  // Only the changed rectangles differ from the frame shown last.
  if (last_frame_.Width() != frame.Width() || last_frame_.Height() != frame.Height()) {
    last_frame_ = frame;
    return;
  }
  for (const Rect& area : changed) last_frame_.Blit(frame, 0, 0, area);
}

std::optional<Event> HeadlessBackend::PollEvent() {
  if (events_.empty()) return std::nullopt;
  Event e = events_.front();
  events_.pop_front();
  return e;
}

void HeadlessBackend::WaitEvent(std::int64_t timeout_ms) {
  // Nothing arrives by itself here: waiting is the passing of virtual time.
  if (events_.empty()) clock_.AdvanceTo(clock_.NowMs() + timeout_ms);
}

void HeadlessBackend::MsgBox(std::string_view title, std::string_view prompt, int style) {
  boxes_.push_back(Box{std::string(title), std::string(prompt), style});
  if (box_echo_ == nullptr) return;
  // One line per box; line breaks shown as \n.
  std::string line;
  for (std::size_t i = 0; i < prompt.size(); ++i) {
    if (prompt[i] == '\r' && i + 1 < prompt.size() && prompt[i + 1] == '\n') continue;
    line += prompt[i] == '\n' ? std::string("\\n") : std::string(1, prompt[i]);
  }
  *box_echo_ << "Error box: " << title << ": " << line << std::endl;
}

}  // namespace tk
