// The browser, as Emscripten builds for it. What a page can and cannot do,
// decided here once:
//  - The window is a canvas that the page (web/page.js) places anywhere on
//    itself: the program places and moves it freely; the page places it
//    first, as a window manager would, and the form follows that.
//  - The scale is whole, floor(devicePixelRatio), at least 1: N x N canvas
//    pixels to a frame pixel, each a device pixel.
//  - The pointer comes as the page's pointer events, in form pixels of the
//    page; a press keeps it for the window until the last button is up.
//  - Nothing can block: waiting for input or time, and the modal box, sleep
//    through the browser (Asyncify) and return when it is done.
//  - Sound may need a click first (the browser's rule for starting audio).
#include "web_backend.hpp"

#include <emscripten/emscripten.h>

#include <array>
#include <string>
#include <utility>

#include "controls.hpp"
#include "units.hpp"

namespace {

// Every call reaches the page through Module.page.
EM_JS(int, zenora_open_window, (const char* title, int width, int height),
      { return Module.page.openWindow(UTF8ToString(title), width, height); });
EM_JS(void, zenora_move_window, (int left, int top), { Module.page.moveWindow(left, top); });
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
EM_JS(bool, zenora_prepare_sound, (int rate), { return Module.page.prepareSound(rate); });
EM_ASYNC_JS(void, zenora_wait, (double ms), { await Module.page.wait(ms); });
EM_ASYNC_JS(void, zenora_wait_for_start, (), { await Module.page.waitForStart(); });
EM_ASYNC_JS(void, zenora_message_box, (const char* title, const char* text),
            { await Module.page.messageBox(UTF8ToString(title), UTF8ToString(text)); });

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
  scale_ = zenora_open_window(form.Caption().c_str(), r.w, r.h);
  width_ = r.w * scale_;
  height_ = r.h * scale_;
  canvas_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), Rgba(0));
  left_ = r.x;
  top_ = r.y;
  shown_ = true;
}

void WebBackend::SyncWindow(const Form& form) {
  if (!shown_) return;
  const int left = TwipsToPixels(form.Left());
  const int top = TwipsToPixels(form.Top());
  if (left == left_ && top == top_) return;
  left_ = left;
  top_ = top;
  zenora_move_window(left, top);
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
  if (!shown_ || frame.Width() * scale_ != width_ || frame.Height() * scale_ != height_) return;
  const int n = scale_;
  areas_.clear();
  for (const Rect& area : changed) {
    const Rect r = area.Intersect(frame.Bounds());
    if (r.Empty()) continue;
    // Nearest neighbour: each frame pixel an n x n block.
    for (int y = r.y; y < r.y + r.h; ++y) {
      for (int x = r.x; x < r.x + r.w; ++x) {
        const std::uint32_t p = Rgba(frame.At(x, y));
        for (int dy = 0; dy < n; ++dy) {
          std::uint32_t* row = canvas_.data() + static_cast<std::ptrdiff_t>(y * n + dy) * width_ + x * n;
          for (int dx = 0; dx < n; ++dx) row[dx] = p;
        }
      }
    }
    areas_.insert(areas_.end(), {r.x * n, r.y * n, r.w * n, r.h * n});
  }
  if (!areas_.empty())
    zenora_present(canvas_.data(), width_, height_, areas_.data(), static_cast<int>(areas_.size() / 4));
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

void WebBackend::WaitForStart() { zenora_wait_for_start(); }

void WebBackend::Ended(int status) {
  shown_ = false;
  zenora_ended(status);
}

}  // namespace tk
