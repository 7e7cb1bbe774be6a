#include "message_loop.hpp"

#include <algorithm>

#include "errors.hpp"
#include "units.hpp"

namespace tk {

namespace {

// Pointer position in the target's own scale, relative to its inner area.
void Raise(const MouseHandler& handler, Control& target, Form& form, const MouseEvent& e) {
  if (!handler) return;
  int x = e.x;
  int y = e.y;
  Control* scale_owner = &target;
  for (Control* c = &target; c != &form && c != nullptr; c = c->Parent()) {
    const Rect r = c->PixelRect();
    x -= r.x;
    y -= r.y;
    if (auto* box = dynamic_cast<Container*>(c); box != nullptr && c != &target) {
      const Rect inner = box->InnerRect();
      x -= inner.x;
      y -= inner.y;
    }
  }
  const auto* container = dynamic_cast<const Container*>(scale_owner);
  const bool pixels = container != nullptr && container->GetScaleMode() == ScaleMode::Pixels;
  const float scale = pixels ? 1.0f : static_cast<float>(kTwipsPerPixel);
  handler(e.button, e.shift, static_cast<float>(x) * scale, static_cast<float>(y) * scale);
}

// Counts a mouse handler running for as long as it runs.
class InputHandler {
 public:
  explicit InputHandler(int& depth) : depth_(depth) { ++depth_; }
  ~InputHandler() { --depth_; }
  InputHandler(const InputHandler&) = delete;
  InputHandler& operator=(const InputHandler&) = delete;

 private:
  int& depth_;
};

Control& Target(Form& form, int x, int y) {
  Control* hit = form.ChildAt(x, y);
  return hit ? *hit : form;
}

}  // namespace

void MouseRouter::Route(Form& form, const MouseEvent& e) {
  switch (e.kind) {
    case MouseEvent::Kind::Down: {
      Control& target = captured_ ? *captured_ : Target(form, e.x, e.y);
      captured_ = &target;
      buttons_ = static_cast<std::int16_t>(buttons_ | e.button);
      // Held pointers see presses outside the window too: those are on no
      // control's surface (a drag must not start off the window).
      if (form.ClientRect().Contains(e.x, e.y)) Raise(target.MouseDown, target, form, e);
      break;
    }
    case MouseEvent::Kind::Move: {
      for (const std::int16_t button : {std::int16_t{1}, std::int16_t{2}, std::int16_t{4}}) {
        if ((buttons_ & ~e.button & button) != 0) Release(form, e, button, false);
      }
      // Outside the window a move reaches only the control holding the pointer.
      if (!captured_ && !form.ClientRect().Contains(e.x, e.y)) break;
      Control& target = captured_ ? *captured_ : Target(form, e.x, e.y);
      Raise(target.MouseMove, target, form, e);
      break;
    }
    case MouseEvent::Kind::Up: Release(form, e, e.button, true); break;
  }
}

void MouseRouter::Release(Form& form, const MouseEvent& e, std::int16_t button, bool click) {
  Control* pressed = captured_;
  Control& target = pressed ? *pressed : Target(form, e.x, e.y);
  buttons_ = static_cast<std::int16_t>(buttons_ & ~button);
  if (buttons_ == 0) captured_ = nullptr;
  MouseEvent up = e;
  up.kind = MouseEvent::Kind::Up;
  up.button = button;
  Raise(target.MouseUp, target, form, up);
  // A click is a press and a release on the same control.
  if (click && pressed && captured_ == nullptr && &Target(form, e.x, e.y) == pressed && pressed->Click) {
    pressed->Click();
  }
}

MessageLoop::MessageLoop(Backend& backend, Form& form) : backend_(backend), form_(form), timers_(backend.GetClock()) {
  unshown_.reserve(64);  // a repaint's worth: presenting allocates nothing
}

void MessageLoop::Show() {
  backend_.Show(form_);
  PresentFrame();
}

bool MessageLoop::HandlePending() {
  backend_.SyncWindow(form_);
  int taken = 0;
  while (auto event = backend_.PollEvent()) {
    // Input waits for the next pass past kEventsPerPass, and for a shallower
    // one while kInputNesting mouse handlers run.
    if (taken == kEventsPerPass || (input_depth_ >= kInputNesting && event->kind == Event::Kind::Mouse)) {
      backend_.Unpoll(*event);
      input_left_ = true;
      break;
    }
    ++taken;
    if (event->kind == Event::Kind::Quit) End(0);
    if (event->kind == Event::Kind::Moved) {
      form_.Move(PixelsToTwips(event->left), PixelsToTwips(event->top));
    } else {
      const InputHandler running(input_depth_);
      router_.Route(form_, event->mouse);
    }
    backend_.SyncWindow(form_);
  }
  return timers_.FireDue() || taken > 0;
}

void MessageLoop::DoEvents() { HandlePending(); }

std::int64_t MessageLoop::Step() {
  input_left_ = false;
  if (HandlePending()) PresentFrame();
  if (input_left_) return 0;
  const auto next = timers_.NextDue();
  return next ? std::max<std::int64_t>(*next - NowMs(), 0) : kIdleMs;
}

int MessageLoop::Run() {
  try {
    for (;;) {
      if (const std::int64_t wait = Step(); wait > 0) backend_.WaitEvent(wait);
    }
  } catch (const ProgramEnd& end) {
    return end.status;
  }
}

void MessageLoop::RunUntil(VirtualClock& clock, std::int64_t ms) {
  HandlePending();
  for (auto next = timers_.NextDue(); next && *next <= ms; next = timers_.NextDue()) {
    clock.AdvanceTo(*next);
    HandlePending();
  }
  clock.AdvanceTo(ms);
  HandlePending();
  PresentFrame();
}

void MessageLoop::End(int status) { throw ProgramEnd{status}; }

const Surface& MessageLoop::Compose() {
  const std::span<const Rect> painted = form_.Repaint(frame_);
  unshown_.insert(unshown_.end(), painted.begin(), painted.end());
  return frame_;
}

void MessageLoop::PresentFrame() {
  Compose();
  backend_.Present(frame_, unshown_);
  unshown_.clear();
}

}  // namespace tk
