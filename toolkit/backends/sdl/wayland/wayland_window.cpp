#include "wayland_window.hpp"

#include <SDL_syswm.h>
#if !defined(SDL_VIDEO_DRIVER_WAYLAND)
#error "SDL was built without Wayland: build without wayland_window.cpp"
#endif

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "controls.hpp"

namespace tk {

namespace {

// xdg_toplevel's requests, by their numbers in xdg-shell.
constexpr std::uint32_t kMove = 5;
constexpr std::uint32_t kSetMaxSize = 7;
constexpr std::uint32_t kSetMinSize = 8;
// The seat's version we speak: the first with wl_pointer.release.
constexpr std::uint32_t kSeatVersion = WL_POINTER_RELEASE_SINCE_VERSION;

struct QueueDeleter {
  void operator()(wl_event_queue* queue) const { wl_event_queue_destroy(queue); }
};
struct RegistryDeleter {
  void operator()(wl_registry* registry) const { wl_registry_destroy(registry); }
};
struct SeatDeleter {
  void operator()(wl_seat* seat) const { wl_seat_destroy(seat); }
};
struct PointerDeleter {
  void operator()(wl_pointer* pointer) const {
    if (wl_pointer_get_version(pointer) >= WL_POINTER_RELEASE_SINCE_VERSION) {
      wl_pointer_release(pointer);
    } else {
      wl_pointer_destroy(pointer);
    }
  }
};

wl_proxy* Proxy(auto* object) { return reinterpret_cast<wl_proxy*>(object); }

// The window's system part, where it is a Wayland window.
bool WaylandInfo(SDL_Window& window, SDL_SysWMinfo& info) {
  SDL_VERSION(&info.version);
  return SDL_GetWindowWMInfo(&window, &info) && info.subsystem == SDL_SYSWM_WAYLAND;
}

// Where the form's own surface takes a press of the left button, the press is the compositor's.
SDL_HitTestResult DragArea(SDL_Window* /*window*/, const SDL_Point* point, void* wayland) {
  return static_cast<const WaylandWindow*>(wayland)->DragAreaAt(point->x, point->y) ? SDL_HITTEST_DRAGGABLE
                                                                                    : SDL_HITTEST_NORMAL;
}

// The buttons besides the left one that drag: by SDL's numbers, and by the
// kernel's, which Wayland hands on.
bool OtherDragButton(Uint8 sdl_button) { return sdl_button == SDL_BUTTON_RIGHT || sdl_button == SDL_BUTTON_MIDDLE; }
bool OtherDragButtonCode(std::uint32_t code) { return code == BTN_RIGHT || code == BTN_MIDDLE; }

}  // namespace

struct WaylandWindow::Seat {
  WaylandWindow& window;
  std::unique_ptr<wl_seat, SeatDeleter> seat;
  std::unique_ptr<wl_pointer, PointerDeleter> pointer;
  bool over = false;  // the pointer is on the window, at x, y
  wl_fixed_t x = 0;
  wl_fixed_t y = 0;

  static void Capabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
    auto& self = *static_cast<Seat*>(data);
    if ((capabilities & WL_SEAT_CAPABILITY_POINTER) == 0) {
      self.pointer.reset();
      self.over = false;
    } else if (!self.pointer) {
      self.pointer.reset(wl_seat_get_pointer(seat));
      if (self.pointer) wl_pointer_add_listener(self.pointer.get(), &kPointerListener, &self);
    }
  }
  static void Enter(void* data, wl_pointer* /*pointer*/, std::uint32_t /*serial*/, wl_surface* surface, wl_fixed_t x,
                    wl_fixed_t y) {
    auto& self = *static_cast<Seat*>(data);
    self.over = surface == &self.window.surface_;
    self.x = x;
    self.y = y;
  }
  static void Leave(void* data, wl_pointer* /*pointer*/, std::uint32_t /*serial*/, wl_surface* /*surface*/) {
    static_cast<Seat*>(data)->over = false;
  }
  static void Motion(void* data, wl_pointer* /*pointer*/, std::uint32_t /*time*/, wl_fixed_t x, wl_fixed_t y) {
    auto& self = *static_cast<Seat*>(data);
    self.x = x;
    self.y = y;
  }
  static void Button(void* data, wl_pointer* /*pointer*/, std::uint32_t serial, std::uint32_t /*time*/,
                     std::uint32_t button, std::uint32_t state) {
    const auto& self = *static_cast<Seat*>(data);
    if (state != WL_POINTER_BUTTON_STATE_PRESSED || !OtherDragButtonCode(button) || !self.over) return;
    if (self.window.DragAreaAt(wl_fixed_to_int(self.x), wl_fixed_to_int(self.y))) self.window.Drag(self, serial);
  }

  static constexpr wl_seat_listener kSeatListener{
      .capabilities = Capabilities,
      .name = [](void* /*data*/, wl_seat* /*seat*/, const char* /*name*/) {},
  };
  static constexpr wl_pointer_listener kPointerListener{
      .enter = Enter,
      .leave = Leave,
      .motion = Motion,
      .button = Button,
      .axis = [](void* /*data*/, wl_pointer* /*pointer*/, std::uint32_t /*time*/, std::uint32_t /*axis*/,
                 wl_fixed_t /*value*/) {},
      // Sent from version 5 on only.
      .frame = nullptr,
      .axis_source = nullptr,
      .axis_stop = nullptr,
      .axis_discrete = nullptr,
      .axis_value120 = nullptr,
  };
};

std::unique_ptr<WaylandWindow> WaylandWindow::Attach(SDL_Window& window, const Form& form) {
  SDL_SysWMinfo info;
  if (!WaylandInfo(window, info) || info.info.wl.display == nullptr || info.info.wl.surface == nullptr) return nullptr;
  return std::make_unique<WaylandWindow>(window, *info.info.wl.display, *info.info.wl.surface, form);
}

WaylandWindow::WaylandWindow(SDL_Window& window, wl_display& display, wl_surface& surface, const Form& form)
    : window_(window),
      display_(display),
      surface_(surface),
      form_(form),
      width_(form.PixelRect().w),
      height_(form.PixelRect().h) {
  SDL_SetWindowHitTest(&window_, DragArea, this);
  BindSeats();
}

WaylandWindow::~WaylandWindow() { SDL_SetWindowHitTest(&window_, nullptr, nullptr); }

bool WaylandWindow::DragAreaAt(int x, int y) const { return form_.OwnSurfaceAt(map_.FormX(x), map_.FormY(y)); }

void WaylandWindow::BindSeats() {
  // The globals are listed on a queue of our own, so that nothing of SDL's is
  // dispatched meanwhile.
  const std::unique_ptr<wl_event_queue, QueueDeleter> queue(wl_display_create_queue(&display_));
  const std::unique_ptr<wl_registry, RegistryDeleter> registry(wl_display_get_registry(&display_));
  if (!queue || !registry) return;
  wl_proxy_set_queue(Proxy(registry.get()), queue.get());
  std::vector<std::pair<std::uint32_t, std::uint32_t>> found;  // each seat's name and version
  static constexpr wl_registry_listener kSeatFinder{
      .global =
          [](void* data, wl_registry* /*registry*/, std::uint32_t name, const char* interface, std::uint32_t version) {
            if (std::strcmp(interface, wl_seat_interface.name) == 0) {
              static_cast<decltype(found)*>(data)->emplace_back(name, version);
            }
          },
      .global_remove = [](void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {},
  };
  wl_registry_add_listener(registry.get(), &kSeatFinder, &found);
  if (wl_display_roundtrip_queue(&display_, queue.get()) < 0) return;
  for (const auto& [name, version] : found) {
    auto* seat = static_cast<wl_seat*>(
        wl_registry_bind(registry.get(), name, &wl_seat_interface, std::min(version, kSeatVersion)));
    if (seat == nullptr) continue;
    seats_.push_back(std::make_unique<Seat>(Seat{*this, std::unique_ptr<wl_seat, SeatDeleter>(seat), {}}));
    wl_seat_add_listener(seat, &Seat::kSeatListener, seats_.back().get());
  }
  // Each seat's capabilities, and with them our pointer.
  wl_display_roundtrip_queue(&display_, queue.get());
  // From here on, SDL's reading of the display dispatches their events.
  for (const auto& seat : seats_) {
    wl_proxy_set_queue(Proxy(seat->seat.get()), nullptr);
    if (seat->pointer) wl_proxy_set_queue(Proxy(seat->pointer.get()), nullptr);
  }
}

void WaylandWindow::Drag(const Seat& seat, std::uint32_t serial) {
  SDL_SysWMinfo info;
  if (!WaylandInfo(window_, info) || info.info.wl.xdg_toplevel == nullptr) return;
  wl_proxy_marshal(Proxy(info.info.wl.xdg_toplevel), kMove, seat.seat.get(), serial);
  wl_display_flush(&display_);
}

std::optional<MouseEvent> WaylandWindow::Pointer(const SDL_Event& e, ScreenPoint& window_at,
                                                 const PointerMap& map) const {
  // The press went to the compositor (SDL's hit test keeps the left button's to itself).
  if (e.type == SDL_MOUSEBUTTONDOWN && OtherDragButton(e.button.button) && DragAreaAt(e.button.x, e.button.y)) {
    return std::nullopt;
  }
  return DesktopWindow::Pointer(e, window_at, map);
}

// (SDL tells the compositor no size limits of a window that cannot be resized;
// its toplevel exists once the window shows.)
void WaylandWindow::Shown(SDL_Window& window) {
  SDL_SysWMinfo info;
  if (!WaylandInfo(window, info)) return;
  auto* toplevel = Proxy(info.info.wl.xdg_toplevel);
  if (toplevel == nullptr) return;
  wl_proxy_marshal(toplevel, kSetMaxSize, width_, height_);
  wl_proxy_marshal(toplevel, kSetMinSize, width_, height_);
}

}  // namespace tk
