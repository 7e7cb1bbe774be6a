// The browser, as Emscripten builds for it. What a page can and cannot do,
// decided here once:
//  - The window is a canvas that the page (web/page.js) places on itself:
//    the program places and moves it; the page places it first, as a window
//    manager would, keeps it from leaving the page, and the form follows it.
//  - The canvas has the frame's own pixels; the page shows each as N x N
//    device pixels, N the whole part of devicePixelRatio, at least 1, and
//    follows the ratio as it changes (zoom, another monitor).
//  - The pointer comes as the page's pointer events, in form pixels of the
//    page; a press keeps it for the window until the last button is up.
//  - Nothing can block: waiting for input or time, and the modal box, sleep
//    through the browser (Asyncify) and return when it is done.
//  - Sound may need a click or a key press first (the browser's rule for
//    starting audio).
#include "web_backend.hpp"

#include <emscripten/emscripten.h>

#include <array>
#include <string>
#include <utility>

#include "controls.hpp"
#include "text.hpp"
#include "units.hpp"

namespace {

// Every call reaches the page through Module.page: JavaScript, which
// clang-format would take for C++.
// clang-format off
EM_JS(void, zenora_open_window, (const char* title, int width, int height),
      { Module.page.openWindow(UTF8ToString(title), width, height); });
// Moves the window to *left, *top, where the page may keep it elsewhere: *left, *top are where it went.
EM_JS(void, zenora_move_window, (int* left, int* top), {
  const [x, y] = Module.page.moveWindow(HEAP32[left >> 2], HEAP32[top >> 2]);
  HEAP32[left >> 2] = x;
  HEAP32[top >> 2] = y;
});
EM_JS(void, zenora_ended, (int status), { Module.page.ended(status); });
// The canvas's pixels, and the areas that changed as x, y, w, h each.
EM_JS(void, zenora_present, (const void* pixels, int width, int height, const int* areas, int count), {
  const data = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4);
  Module.page.present(new ImageData(data, width, height),
                      Array.from(HEAP32.subarray(areas >> 2, (areas >> 2) + count * 4)));
});
// Fills event[0..5] and returns true when the page has input pending.
EM_JS(bool, zenora_next_event, (int* event), {
  const next = Module.page.nextEvent();
  if (!next) return false;
  HEAP32.set(next, event >> 2);
  return true;
});
EM_ASYNC_JS(bool, zenora_prepare_sound, (int rate), { return await Module.page.prepareSound(rate); });
EM_JS(bool, zenora_started, (), { return Module.page.started; });
EM_ASYNC_JS(void, zenora_wait, (double ms), { await Module.page.wait(ms); });
EM_ASYNC_JS(void, zenora_message_box, (const char* title, const char* text),
            { await Module.page.messageBox(UTF8ToString(title), UTF8ToString(text)); });
// clang-format on

// The start line's colour over the black info line.
constexpr tk::Pixel kPromptColour = 0xFFFFFF;

// What the page sends: the kind, a place on the page in form pixels, the
// button pressed or released (the page's numbering: 0 left, 1 middle, 2
// right), the buttons held (1 left, 2 right, 4 middle: the toolkit's own),
// the shift state (1 shift, 2 ctrl, 4 alt: the toolkit's own).
enum PageEvent { kDown = 0, kMove = 1, kUp = 2, kPlaced = 3 };

std::int16_t ButtonBit(int page_button) {
  switch (page_button) {
    case 0: return 1;
    case 1: return 4;
    case 2: return 2;
    default: return 0;
  }
}

// 0x00RRGGBB as the bytes R, G, B, A of the page's image data.
constexpr std::uint32_t Rgba(tk::Pixel p) {
  return 0xFF000000u | (p & 0xFFu) << 16 | (p & 0xFF00u) | (p >> 16 & 0xFFu);
}

}  // namespace

namespace tk {

void WebBackend::Show(const Form& form) {
  if (shown_) return;
  const Rect r = form.PixelRect();
  zenora_open_window(form.Caption().c_str(), r.w, r.h);
  canvas_.assign(static_cast<std::size_t>(r.w) * static_cast<std::size_t>(r.h), Rgba(0));
  left_ = r.x;
  top_ = r.y;
  shown_ = true;
}

void WebBackend::SyncWindow(const Form& form) {
  if (!shown_) return;
  int left = TwipsToPixels(form.Left());
  int top = TwipsToPixels(form.Top());
  if (left == left_ && top == top_) return;
  // Where the page keeps the window elsewhere, it tells the form so (kPlaced).
  zenora_move_window(&left, &top);
  left_ = left;
  top_ = top;
}

std::optional<Event> WebBackend::PollEvent() {
  if (again_) return std::exchange(again_, std::nullopt);
  std::array<int, 6> e{};
  while (zenora_next_event(e.data())) {
    const auto [kind, x, y, button, held, shift] = e;
    if (kind == kPlaced) {
      left_ = x;
      top_ = y;
      return Event{Event::Kind::Moved, {}, x, y};
    }
    MouseEvent mouse{MouseEvent::Kind::Move, x - left_, y - top_, static_cast<std::int16_t>(held),
                     static_cast<std::int16_t>(shift)};
    if (kind == kDown || kind == kUp) {
      mouse.kind = kind == kDown ? MouseEvent::Kind::Down : MouseEvent::Kind::Up;
      mouse.button = ButtonBit(button);
      if (mouse.button == 0) continue;  // a fourth or fifth button: no such button here
    }
    return Event{Event::Kind::Mouse, mouse};
  }
  return std::nullopt;
}

void WebBackend::WaitEvent(std::int64_t timeout_ms) { zenora_wait(static_cast<double>(timeout_ms)); }

void WebBackend::Present(const Surface& frame, std::span<const Rect> changed) {
  const int width = frame.Width();
  if (!shown_ || canvas_.size() != frame.Pixels().size()) return;
  const Surface* shown = &frame;
  const Rect all = frame.Bounds();
  if (!prompt_.empty()) {
    // The line over the frame, all of it presented: it is there only at the start.
    shown_frame_ = frame;
    const Rect clip = prompt_at_.Intersect(all);
    DrawText(shown_frame_, clip.x + (clip.w - TextWidth(prompt_)) / 2, clip.y, prompt_, kPromptColour, clip);
    shown = &shown_frame_;
    changed = {&all, 1};
  } else if (!shown_frame_.Pixels().empty()) {
    shown_frame_ = Surface();  // the line just went: all of the frame again
    changed = {&all, 1};
  }
  areas_.clear();
  for (const Rect& area : changed) {
    const Rect r = area.Intersect(all);
    if (r.Empty()) continue;
    for (int y = r.y; y < r.y + r.h; ++y) {
      for (int x = r.x; x < r.x + r.w; ++x) canvas_[static_cast<std::size_t>(y * width + x)] = Rgba(shown->At(x, y));
    }
    areas_.insert(areas_.end(), {r.x, r.y, r.w, r.h});
  }
  if (!areas_.empty()) {
    zenora_present(canvas_.data(), width, frame.Height(), areas_.data(), static_cast<int>(areas_.size() / 4));
  }
}

void WebBackend::MsgBox(std::string_view title, std::string_view prompt, int /*style*/) {
  // One style here: the critical box, the only one the program shows.
  std::string text;
  for (const char c : prompt) {
    if (c != '\r') text += c;
  }
  zenora_message_box(std::string(title).c_str(), text.c_str());
}

bool WebBackend::PrepareSound(int rate) { return zenora_prepare_sound(rate); }

void WebBackend::PromptStart(std::string_view line, const Rect& where) {
  prompt_.assign(line);
  prompt_at_ = where;
}

bool WebBackend::Started() {
  if (!zenora_started()) return false;
  prompt_.clear();
  return true;
}

void WebBackend::Ended(int status) {
  shown_ = false;
  zenora_ended(status);
}

}  // namespace tk
