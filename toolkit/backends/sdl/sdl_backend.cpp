#include "sdl_backend.hpp"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>
#include <utility>

#include "controls.hpp"
#include "desktops.hpp"
#include "errors.hpp"
#include "sdl_event_queue.hpp"
#include "signals.hpp"

namespace tk {

namespace {

int Clamp(long long value) {
  constexpr long long kFar = 1 << 30;
  return static_cast<int>(std::clamp(value, -kFar, kFar));
}

}  // namespace

SdlBackend::SdlBackend() : desktop_(std::make_unique<DesktopWindow>()) {
  // SDL is handed only a display that has answered in time and that it can start on.
  const std::unique_ptr<DisplayCheck> display = CheckDisplay();
  if (const std::string driver = display->Driver(); !driver.empty()) {
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, driver.c_str(), SDL_HINT_OVERRIDE);
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    throw NoDisplay(SDL_GetError());
  }
  // Without a display SDL falls back to drivers that show nothing; take
  // those only when asked for by name.
  const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
  if ((driver == "offscreen" || driver == "dummy") && SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    throw NoDisplay(display->NoneFound());
  }
  // The frame is drawn in memory: present it into the display's own window
  // pixels without any GPU driver, or where the desktop lends none, through
  // SDL's texture. SDL reads this choice once, at the first request for the
  // window's surface.
  const WindowKind kind = KindOfWindow(driver);
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, kind.framebuffer_texture ? "1" : "0");
  window_flags_ = SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN | (kind.desktop_scales ? SDL_WINDOW_ALLOW_HIGHDPI : 0);
}

SdlBackend::~SdlBackend() {
  events_.reset();  // before what its sorting asks
  desktop_.reset();
  window_.reset();
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

void SdlBackend::MakeWindow(const Form& form) {
  events_.reset();
  desktop_ = std::make_unique<DesktopWindow>();
  const Rect r = form.PixelRect();
  window_.reset(SDL_CreateWindow(form.Caption().c_str(), r.x, r.y, r.w, r.h, window_flags_));
  if (!window_) throw NoDisplay(SDL_GetError());
  // The largest image for any desktop; some desktops get them all.
  const auto largest = std::max_element(form.Icon().begin(), form.Icon().end(),
                                        [](const IconImage& a, const IconImage& b) { return a.width < b.width; });
  if (largest != form.Icon().end()) {
    SdlSurfacePtr icon(SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(largest->argb.data()),
                                                          largest->width, largest->height, 32, largest->width * 4,
                                                          SDL_PIXELFORMAT_ARGB8888));
    if (icon) SDL_SetWindowIcon(window_.get(), icon.get());
  }
  desktop_ = AttachDesktop(*window_, form);
  events_ = std::make_unique<SdlEventQueue>([this](SDL_Event& e) { return desktop_->Sort(e); });
  const int n = desktop_->Scale();
  window_at_ = desktop_->OpenAt({r.x, r.y});
  if (n > 1) SDL_SetWindowSize(window_.get(), r.w * n, r.h * n);
  if (window_at_ != ScreenPoint{r.x, r.y}) SDL_SetWindowPosition(window_.get(), window_at_.x, window_at_.y);
  // Opened elsewhere than the form's place (to be on the screen): the form's Left and Top follow.
  form_at_ = {FloorDiv(window_at_.x, n), FloorDiv(window_at_.y, n)};
  again_.reset();
  if (form_at_ != ScreenPoint{r.x, r.y}) again_ = Event{Event::Kind::Moved, {}, form_at_.x, form_at_.y};
}

void SdlBackend::Show(const Form& form) {
  const Rect r = form.PixelRect();
  frame_w_ = r.w;
  frame_h_ = r.h;
  MakeWindow(form);
  if (SDL_GetWindowSurface(window_.get()) == nullptr) {
    // Pixels SDL cannot draw into: once more, as the desktop readies it.
    desktop_->ReadyOtherWindow();
    MakeWindow(form);
    if (SDL_GetWindowSurface(window_.get()) == nullptr) throw NoDisplay(SDL_GetError());
  }
  SDL_ShowWindow(window_.get());
  if (desktop_->PlacesWindow()) PlaceWindow();  // again once shown: a window manager may have placed it elsewhere
  desktop_->Shown(*window_);
  MapPointer();
}

void SdlBackend::SyncWindow(const Form& form) {
  if (!window_ || !desktop_->PlacesWindow()) return;
  const ScreenPoint to{TwipsToPixels(form.Left()), TwipsToPixels(form.Top())};
  if (to == form_at_) return;
  // By whole form pixels as shown from where the window is: a place the
  // desktop chose between two of them stays as it is, and the grabbed point
  // stays under the pointer.
  const int n = map_.layout.scale;
  window_at_ = {Clamp(window_at_.x + static_cast<long long>(to.x - form_at_.x) * n),
                Clamp(window_at_.y + static_cast<long long>(to.y - form_at_.y) * n)};
  form_at_ = to;
  // The platform reports these moves back, maybe after later events: remember
  // them so they are not taken for moves by someone else.
  if (asked_.size() >= 64) asked_.erase(asked_.begin());
  asked_.push_back(window_at_);
  PlaceWindow();
}

void SdlBackend::PlaceWindow() { desktop_->Place(*window_, window_at_); }

void SdlBackend::MapPointer() {
  int w = 0, h = 0, pixels_w = 0, pixels_h = 0;
  SDL_GetWindowSize(window_.get(), &w, &h);
  SDL_GetWindowSizeInPixels(window_.get(), &pixels_w, &pixels_h);
  map_.layout = FitFrame(frame_w_, frame_h_, pixels_w, pixels_h);
  map_.pixels = w > 0 ? pixels_w : 1;
  map_.units = w > 0 ? w : 1;
  desktop_->Mapped(map_);
}

std::optional<Event> SdlBackend::WindowMoved(ScreenPoint to) {
  if (!desktop_->PlacesWindow()) return std::nullopt;
  if (to == window_at_) {
    asked_.clear();
    return std::nullopt;
  }
  if (const auto done = std::find(asked_.begin(), asked_.end(), to); done != asked_.end()) {
    asked_.erase(asked_.begin(), done + 1);
    return std::nullopt;
  }
  // Moved by the desktop (placement, a keyboard or window-manager move).
  asked_.clear();
  window_at_ = to;
  const int n = desktop_->Scale();
  form_at_ = {FloorDiv(to.x, n), FloorDiv(to.y, n)};
  Event moved{Event::Kind::Moved, {}, form_at_.x, form_at_.y};
  return moved;
}

std::optional<Event> SdlBackend::Translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT: return Event{Event::Kind::Quit, {}};
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: return Event{Event::Kind::Quit, {}};
        // Uncovered by another window: show the whole frame again.
        case SDL_WINDOWEVENT_EXPOSED:
          if (window_) SDL_UpdateWindowSurface(window_.get());
          return std::nullopt;
        // A new size (given by the desktop, or a new output scale on Wayland)
        // comes with a new surface and a new layout.
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          shown_ = nullptr;
          if (window_) MapPointer();
          return std::nullopt;
        case SDL_WINDOWEVENT_MOVED: return WindowMoved({e.window.data1, e.window.data2});
        default: return std::nullopt;
      }
    case SDL_SYSWMEVENT:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEMOTION:
      if (auto mouse = desktop_->Pointer(e, window_at_, map_)) return Event{Event::Kind::Mouse, *mouse};
      return std::nullopt;
    default: return std::nullopt;
  }
}

std::optional<Event> SdlBackend::PollEvent() {
  // Ctrl-C or SIGTERM while the loop runs: the program ends as if closed.
  if (SignalPolicy::QuitAsked()) return Event{Event::Kind::Quit, {}};
  if (again_) return std::exchange(again_, std::nullopt);
  if (!events_) return std::nullopt;
  // The logo pass yields 24 times a tick: reading the display connection once
  // a millisecond is enough, and saves most of the system calls.
  if (const std::int64_t now = clock_.NowMs(); now != last_pump_ms_) {
    SDL_PumpEvents();
    last_pump_ms_ = now;
  }
  while (const SDL_Event* e = events_->Next()) {
    if (auto event = Translate(*e)) return event;
  }
  return std::nullopt;
}

void SdlBackend::WaitEvent(std::int64_t timeout_ms) {
  // A wait that read the display spares the next poll its read in the same millisecond.
  last_pump_ms_ = desktop_->Wait(timeout_ms) ? clock_.NowMs() : -1;
}

void SdlBackend::CopyScaled(const Surface& frame, const Rect& area, SDL_Surface& screen, const FrameLayout& layout) {
  const int n = layout.scale;
  const int bytes = screen.format->BytesPerPixel;
  const Pixel* from = frame.Pixels().data() + static_cast<std::size_t>(area.y) * frame.Width() + area.x;
  auto* to = static_cast<Uint8*>(screen.pixels) + static_cast<std::ptrdiff_t>(layout.y + area.y * n) * screen.pitch +
             static_cast<std::ptrdiff_t>(layout.x + area.x * n) * bytes;
  if (n == 1) {
    SDL_ConvertPixels(area.w, area.h, SDL_PIXELFORMAT_RGB888, from, frame.Width() * 4, screen.format->format, to,
                      screen.pitch);
    return;
  }
  // Nearest neighbour: each pixel n times along the row, the row n times.
  const int width = area.w * n;
  if (row_.size() < static_cast<std::size_t>(width)) row_.resize(static_cast<std::size_t>(width));
  for (int y = 0; y < area.h; ++y, from += frame.Width(), to += static_cast<std::ptrdiff_t>(n) * screen.pitch) {
    for (int x = 0; x < area.w; ++x) std::fill_n(row_.begin() + static_cast<std::ptrdiff_t>(x) * n, n, from[x]);
    SDL_ConvertPixels(width, 1, SDL_PIXELFORMAT_RGB888, row_.data(), width * 4, screen.format->format, to,
                      screen.pitch);
    for (int k = 1; k < n; ++k)
      std::memcpy(to + static_cast<std::ptrdiff_t>(k) * screen.pitch, to, static_cast<std::size_t>(width) * bytes);
  }
}

void SdlBackend::Present(const Surface& frame, std::span<const Rect> changed) {
  SDL_Surface* screen = window_ ? SDL_GetWindowSurface(window_.get()) : nullptr;
  if (screen == nullptr || frame.Width() == 0 || frame.Height() == 0) return;
  const FrameLayout layout = FitFrame(frame.Width(), frame.Height(), screen->w, screen->h);
  // A surface not presented into yet holds nothing of ours, and a frame
  // moved in it leaves its old place: all of the window, black around.
  const Rect all = frame.Bounds();
  const bool whole = screen != shown_ || layout != shown_layout_;
  const std::span<const Rect> areas = whole ? std::span<const Rect>(&all, 1) : changed;
  if (areas.empty()) return;
  shown_ = screen;
  shown_layout_ = layout;
  rects_.clear();
  const Rect window_rect{0, 0, screen->w, screen->h};
  const Rect frame_rect{layout.x, layout.y, frame.Width() * layout.scale, frame.Height() * layout.scale};
  const bool margins = frame_rect.Intersect(window_rect) != window_rect;
  if (whole && margins) {
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0, 0, 0));
    rects_.push_back(SDL_Rect{0, 0, screen->w, screen->h});
  }
  // Only what lies in the window: at 1x the frame may be larger than it.
  const Rect visible = layout.scale == 1 ? Rect{-layout.x, -layout.y, screen->w, screen->h} : all;
  for (const Rect& area : areas) {
    const Rect r = area.Intersect(all).Intersect(visible);
    if (r.Empty()) continue;
    CopyScaled(frame, r, *screen, layout);
    if (!(whole && margins)) {
      rects_.push_back(SDL_Rect{layout.x + r.x * layout.scale, layout.y + r.y * layout.scale, r.w * layout.scale,
                                r.h * layout.scale});
    }
  }
  if (!rects_.empty()) SDL_UpdateWindowSurfaceRects(window_.get(), rects_.data(), static_cast<int>(rects_.size()));
  if (first_present_ms_ < 0) first_present_ms_ = clock_.NowMs();
}

void SdlBackend::MsgBox(std::string_view title, std::string_view prompt, int style) {
  const ModalBoxGuard guard;
  if (!ShowMessageBox(window_.get(), title, prompt, style)) {
    // A box that cannot be drawn (no font on the display) must not vanish unseen.
    std::string text;
    for (const char c : prompt) {
      if (c != '\r') text += c;
    }
    std::cerr << title << ": " << text << "\n(the message box could not be shown: " << SDL_GetError() << ")\n";
  }
}

}  // namespace tk
