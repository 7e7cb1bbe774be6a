#include "toolkit/sdl_backend.hpp"

#include <SDL_syswm.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>

#include "toolkit/controls.hpp"
#include "toolkit/signal_policy.hpp"
#include "toolkit/x11_desktop.hpp"

#if defined(SDL_VIDEO_DRIVER_WAYLAND)
#include <wayland-client-core.h>
#endif
#if defined(SDL_VIDEO_DRIVER_X11)
#include <poll.h>
#endif

namespace tk {

namespace {

std::int16_t ButtonBit(Uint8 sdl_button) {
  switch (sdl_button) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 4;
    default: return 0;
  }
}

std::int16_t ButtonMask(Uint32 sdl_state) {
  std::int16_t mask = 0;
  if (sdl_state & SDL_BUTTON_LMASK) mask |= 1;
  if (sdl_state & SDL_BUTTON_RMASK) mask |= 2;
  if (sdl_state & SDL_BUTTON_MMASK) mask |= 4;
  return mask;
}

std::int16_t ShiftState() {
  const SDL_Keymod mod = SDL_GetModState();
  std::int16_t shift = 0;
  if (mod & KMOD_SHIFT) shift |= 1;
  if (mod & KMOD_CTRL) shift |= 2;
  if (mod & KMOD_ALT) shift |= 4;
  return shift;
}

// Rounds towards minus infinity: a pointer 1 display pixel left of the
// window is in the form pixel left of it too.
int FloorDiv(int value, int by) { return value >= 0 ? value / by : -((-value + by - 1) / by); }

int Clamp(long long value) {
  constexpr long long kFar = 1 << 30;
  return static_cast<int>(std::clamp(value, -kFar, kFar));
}

Event Mouse(MouseEvent::Kind kind, int x, int y, std::int16_t button, std::int16_t shift) {
  return Event{Event::Kind::Mouse, MouseEvent{kind, x, y, button, shift}};
}

// On Wayland the compositor drags the window: where the form's own surface
// takes a press, the press is the compositor's.
SDL_HitTestResult DragArea(SDL_Window*, const SDL_Point* point, void* form) {
  return static_cast<const Form*>(form)->OwnSurfaceAt(point->x, point->y) ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
}

#if defined(SDL_VIDEO_DRIVER_X11)
constexpr int kXiMotion = 6;  // XInput2's XI_Motion
#endif

}  // namespace

SdlBackend::SdlBackend() {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    throw NoDisplay(SDL_GetError());
  }
  // Without a display SDL falls back to drivers that show nothing; take
  // those only when asked for by name.
  const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
  if ((driver == "offscreen" || driver == "dummy") && SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    throw NoDisplay("no X11 or Wayland display found");
  }
  // The frame is drawn in memory: present it into the display's own window
  // pixels without any GPU driver. Wayland lends none, so SDL backs the
  // window with a texture of its own there; SDL reads this choice once, at
  // the first request for the window's surface.
  wayland_ = driver == "wayland";
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, wayland_ ? "1" : "0");
}

SdlBackend::~SdlBackend() {
  window_.reset();
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

void SdlBackend::Show(const Form& form) {
  const Rect r = form.PixelRect();
  form_at_ = {r.x, r.y};
  window_at_ = {r.x, r.y};
  const Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN | (wayland_ ? SDL_WINDOW_ALLOW_HIGHDPI : 0);
  window_.reset(SDL_CreateWindow(form.Caption().c_str(), r.x, r.y, r.w, r.h, flags));
  if (!window_) throw NoDisplay(SDL_GetError());
  // The largest image for any desktop; X11 gets them all below.
  const auto largest = std::max_element(form.Icon().begin(), form.Icon().end(),
                                        [](const IconImage& a, const IconImage& b) { return a.width < b.width; });
  if (largest != form.Icon().end()) {
    SdlSurfacePtr icon(SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(largest->argb.data()),
                                                          largest->width, largest->height, 32, largest->width * 4,
                                                          SDL_PIXELFORMAT_ARGB8888));
    if (icon) SDL_SetWindowIcon(window_.get(), icon.get());
  }
  // The form outlives every event of its window.
  if (wayland_) SDL_SetWindowHitTest(window_.get(), DragArea, const_cast<Form*>(&form));
  ShowX11(form);
  if (SDL_GetWindowSurface(window_.get()) == nullptr) throw NoDisplay(SDL_GetError());
  SDL_ShowWindow(window_.get());
  if (wayland_) {
    FixWaylandSize(r.w, r.h);
  } else {
    PlaceWindow();  // again once shown: a window manager may have placed it elsewhere
  }
}

// The window has one size: say so before its first frame, so that tiling
// compositors let it float at that size rather than stretch it. (SDL tells
// the compositor no size limits of a window that cannot be resized.)
void SdlBackend::FixWaylandSize(int width, int height) {
#if defined(SDL_VIDEO_DRIVER_WAYLAND)
  constexpr std::uint32_t kSetMaxSize = 7, kSetMinSize = 8;  // xdg_toplevel requests
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window_.get(), &info) || info.subsystem != SDL_SYSWM_WAYLAND) return;
  auto* toplevel = reinterpret_cast<wl_proxy*>(info.info.wl.xdg_toplevel);
  if (toplevel == nullptr) return;
  wl_proxy_marshal(toplevel, kSetMaxSize, width, height);
  wl_proxy_marshal(toplevel, kSetMinSize, width, height);
#else
  (void)width;
  (void)height;
#endif
}

// X11: the desktop's scale, every size of the icon, and pointer events as the
// X server sent them.
void SdlBackend::ShowX11(const Form& form) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window_.get(), &info) || info.subsystem != SDL_SYSWM_X11) return;
  Display* display = info.info.x11.display;
  x11_display_ = display;
  x11_window_ = info.info.x11.window;
  int first_event = 0, first_error = 0;
  if (!XQueryExtension(display, "XInputExtension", &xi_opcode_, &first_event, &first_error)) xi_opcode_ = -1;

  const Rect r = form.PixelRect();
  SDL_Rect screen{0, 0, r.w, r.h};
  SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(window_.get()), 0), &screen);
  const std::string dpi = x11::XftDpi(display);
  scale_ = ChooseScale(SDL_getenv("GDK_SCALE"), dpi.empty() ? nullptr : dpi.c_str(),
                       std::min(screen.w / std::max(r.w, 1), screen.h / std::max(r.h, 1)));
  if (scale_ > 1) {
    window_at_ = {Clamp(static_cast<long long>(r.x) * scale_), Clamp(static_cast<long long>(r.y) * scale_)};
    SDL_SetWindowSize(window_.get(), r.w * scale_, r.h * scale_);
    SDL_SetWindowPosition(window_.get(), window_at_.x, window_at_.y);
  }

  x11::SetIcons(display, x11_window_, form.Icon());
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
#else
  (void)form;
#endif
}

void SdlBackend::SyncWindow(const Form& form) {
  if (!window_ || wayland_) return;  // on Wayland only the compositor moves windows
  const Point to{TwipsToPixels(form.Left()), TwipsToPixels(form.Top())};
  if (to == form_at_) return;
  // By whole form pixels from where the window is: a place the desktop chose
  // between two of them stays as it is.
  window_at_ = {Clamp(window_at_.x + static_cast<long long>(to.x - form_at_.x) * scale_),
                Clamp(window_at_.y + static_cast<long long>(to.y - form_at_.y) * scale_)};
  form_at_ = to;
  // The platform reports these moves back, maybe after later events: remember
  // them so they are not taken for moves by someone else.
  if (asked_.size() >= 64) asked_.erase(asked_.begin());
  asked_.push_back(window_at_);
  PlaceWindow();
}

void SdlBackend::PlaceWindow() {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (x11_display_ != nullptr) {
    // Straight to the server: SDL's own call waits for each move to be done.
    XMoveWindow(static_cast<Display*>(x11_display_), x11_window_, window_at_.x, window_at_.y);
    XFlush(static_cast<Display*>(x11_display_));
    return;
  }
#endif
  SDL_SetWindowPosition(window_.get(), window_at_.x, window_at_.y);
}

std::optional<Event> SdlBackend::WindowMoved(Point to) {
  if (wayland_) return std::nullopt;
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
  form_at_ = {FloorDiv(to.x, scale_), FloorDiv(to.y, scale_)};
  Event moved{Event::Kind::Moved, {}, form_at_.x, form_at_.y};
  return moved;
}

std::optional<Event> SdlBackend::TranslateX11(const SDL_SysWMmsg& message) const {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (message.subsystem != SDL_SYSWM_X11) return std::nullopt;
  const XEvent& x = message.msg.x11.event;
  if (x.type == GenericEvent || x.xany.window != x11_window_) return std::nullopt;
  switch (x.type) {
    case ButtonPress:
    case ButtonRelease: {
      const std::int16_t button = x11::ButtonBit(x.xbutton.button);
      if (button == 0) return std::nullopt;
      // Where it happened, against where the window was then: the
      // coordinates the server gave it, not where the pointer is by now.
      return Mouse(x.type == ButtonPress ? MouseEvent::Kind::Down : MouseEvent::Kind::Up, FloorDiv(x.xbutton.x, scale_),
                   FloorDiv(x.xbutton.y, scale_), button, x11::ShiftState(x.xbutton.state));
    }
    case MotionNotify:
      // While a button holds the pointer: where it went on the screen,
      // against where the window is now, as the drag may have moved it since.
      // Each counts, a warp too, even where SDL sees the same spot of a
      // window that follows the pointer and drops it.
      return Mouse(MouseEvent::Kind::Move, FloorDiv(x.xmotion.x_root - window_at_.x, scale_),
                   FloorDiv(x.xmotion.y_root - window_at_.y, scale_), x11::ButtonMask(x.xmotion.state),
                   x11::ShiftState(x.xmotion.state));
    case EnterNotify:
    case LeaveNotify:
      // Crossing the edge is a move too (a pointer that jumps in brings no other).
      return Mouse(MouseEvent::Kind::Move, FloorDiv(x.xcrossing.x_root - window_at_.x, scale_),
                   FloorDiv(x.xcrossing.y_root - window_at_.y, scale_), x11::ButtonMask(x.xcrossing.state),
                   x11::ShiftState(x.xcrossing.state));
    default: return std::nullopt;
  }
#else
  (void)message;
  return std::nullopt;
#endif
}

// SDL tells of an XInput2 event after what it made of it, of a core one before.
bool SdlBackend::FromXInput2() const {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_Event next;
  if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_SYSWMEVENT, SDL_SYSWMEVENT) != 1) return false;
  const XEvent& x = next.syswm.msg->msg.x11.event;
  return x.type == GenericEvent && x.xcookie.extension == xi_opcode_ && x.xcookie.evtype == kXiMotion;
#else
  return false;
#endif
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
        // A new size (a new output scale on Wayland) comes with a new surface.
        case SDL_WINDOWEVENT_SIZE_CHANGED: shown_ = nullptr; return std::nullopt;
        case SDL_WINDOWEVENT_MOVED: return WindowMoved({e.window.data1, e.window.data2});
        default: return std::nullopt;
      }
    case SDL_SYSWMEVENT: return TranslateX11(*e.syswm.msg);
    // Elsewhere SDL's pointer events, in the window's own coordinates.
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const std::int16_t button = ButtonBit(e.button.button);
      if (x11_display_ != nullptr || button == 0) return std::nullopt;  // taken as the server sent them
      return Mouse(e.type == SDL_MOUSEBUTTONDOWN ? MouseEvent::Kind::Down : MouseEvent::Kind::Up, e.button.x,
                   e.button.y, button, ShiftState());
    }
    case SDL_MOUSEMOTION:
      // On X11 only the moves the server sends through XInput2, with no
      // button held (the hover): where they happened, against where the
      // window was then.
      if (x11_display_ != nullptr && !FromXInput2()) return std::nullopt;
      return Mouse(MouseEvent::Kind::Move, FloorDiv(e.motion.x, scale_), FloorDiv(e.motion.y, scale_),
                   ButtonMask(e.motion.state), ShiftState());
    default: return std::nullopt;
  }
}

std::optional<Event> SdlBackend::PollEvent() {
  // The logo pass yields 24 times a tick: reading the display connection once
  // a millisecond is enough, and saves most of the system calls.
  if (const std::int64_t now = clock_.NowMs(); now != last_pump_ms_) {
    SDL_PumpEvents();
    last_pump_ms_ = now;
  }
  SDL_Event e;
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    if (auto event = Translate(e)) return event;
  }
  return std::nullopt;
}

void SdlBackend::WaitEvent(std::int64_t timeout_ms) {
#if defined(SDL_VIDEO_DRIVER_X11)
  // On the display connection itself: SDL's own wait reads the display before
  // and after, each time a read just done or about to be done again.
  if (x11_display_ != nullptr) {
    auto* display = static_cast<Display*>(x11_display_);
    if (XEventsQueued(display, QueuedAlready) == 0 &&
        SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 0) {
      XFlush(display);
      pollfd connection{ConnectionNumber(display), POLLIN, 0};
      poll(&connection, 1, static_cast<int>(timeout_ms));
    }
    last_pump_ms_ = -1;  // whatever woke us is read at the next poll
    return;
  }
#endif
  // SDL's wait reads the display itself: no second read in the same millisecond.
  SDL_WaitEventTimeout(nullptr, static_cast<int>(timeout_ms));
  last_pump_ms_ = clock_.NowMs();
}

void SdlBackend::CopyScaled(const Surface& frame, const Rect& area, SDL_Surface& screen, int n) {
  const int bytes = screen.format->BytesPerPixel;
  const Pixel* from = frame.Pixels().data() + static_cast<std::size_t>(area.y) * frame.Width() + area.x;
  auto* to = static_cast<Uint8*>(screen.pixels) + static_cast<std::ptrdiff_t>(area.y) * n * screen.pitch +
             static_cast<std::ptrdiff_t>(area.x) * n * bytes;
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
  // A surface not presented into yet holds nothing of ours: all of the frame.
  const Rect all = frame.Bounds();
  const std::span<const Rect> areas = screen == shown_ ? changed : std::span<const Rect>(&all, 1);
  if (areas.empty()) return;
  shown_ = screen;
  const int n = std::max(1, std::min(screen->w / frame.Width(), screen->h / frame.Height()));
  rects_.clear();
  for (const Rect& area : areas) {
    const Rect r = area.Intersect(all);
    if (r.Empty()) continue;
    CopyScaled(frame, r, *screen, n);
    rects_.push_back(SDL_Rect{r.x * n, r.y * n, r.w * n, r.h * n});
  }
  SDL_UpdateWindowSurfaceRects(window_.get(), rects_.data(), static_cast<int>(rects_.size()));
  if (first_present_ms_ < 0) first_present_ms_ = clock_.NowMs();
}

void SdlBackend::MessageBox(std::string_view title, std::string_view prompt, int style) {
  std::string text;
  for (char c : prompt) {
    if (c != '\r') text += c;
  }
  const Uint32 flags = style == kCritical ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  const ModalBoxGuard guard;
  if (SDL_ShowSimpleMessageBox(flags, std::string(title).c_str(), text.c_str(), window_.get()) != 0) {
    // A box that cannot be drawn (no font on the display) must not vanish unseen.
    std::cerr << title << ": " << text << "\n(the message box could not be shown: " << SDL_GetError() << ")\n";
  }
}

}  // namespace tk
