#include "toolkit/x11_window.hpp"

#include <SDL_syswm.h>
#if !defined(SDL_VIDEO_DRIVER_X11)
#error "SDL was built without X11: build without x11_window.cpp"
#endif

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <poll.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "toolkit/controls.hpp"

namespace tk {

static_assert(std::is_same_v<Window, unsigned long>, "X11Window keeps Xlib's Window as unsigned long");

namespace {

constexpr int kXiMotion = 6;  // XInput2's XI_Motion

struct XrmDeleter {
  void operator()(XrmDatabase db) const { XrmDestroyDatabase(db); }
};

// The Xft.dpi resource as the desktop published it, or empty.
std::string XftDpi(Display* display) {
  const char* resources = XResourceManagerString(display);
  if (resources == nullptr) return {};
  XrmInitialize();
  const std::unique_ptr<std::remove_pointer_t<XrmDatabase>, XrmDeleter> db(XrmGetStringDatabase(resources));
  char* type = nullptr;
  XrmValue value{};
  if (!db || !XrmGetResource(db.get(), "Xft.dpi", "Xft.Dpi", &type, &value) || value.addr == nullptr) return {};
  return std::string(value.addr, strnlen(value.addr, value.size));
}

// Every image of the icon, with its transparency, as _NET_WM_ICON.
void SetIcons(Display* display, Window window, const std::vector<IconImage>& icons) {
  // Width, height and the ARGB pixels of each image in turn, each number a
  // long as Xlib wants for 32-bit properties.
  std::vector<unsigned long> property;
  for (const IconImage& image : icons) {
    property.push_back(static_cast<unsigned long>(image.width));
    property.push_back(static_cast<unsigned long>(image.height));
    property.insert(property.end(), image.argb.begin(), image.argb.end());
  }
  if (property.empty()) return;
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(property.data()), static_cast<int>(property.size()));
}

// The buttons (1 left, 2 right, 4 middle) of an X button number or of the
// state of an event, and its shift state (1 shift, 2 ctrl, 4 alt).
std::int16_t ButtonBit(unsigned int button) {
  switch (button) {
    case Button1: return 1;
    case Button3: return 2;
    case Button2: return 4;
    default: return 0;  // wheel and side buttons
  }
}

std::int16_t ButtonMask(unsigned int state) {
  std::int16_t mask = 0;
  if (state & Button1Mask) mask |= 1;
  if (state & Button3Mask) mask |= 2;
  if (state & Button2Mask) mask |= 4;
  return mask;
}

std::int16_t ShiftState(unsigned int state) {
  std::int16_t shift = 0;
  if (state & ShiftMask) shift |= 1;
  if (state & ControlMask) shift |= 2;
  if (state & Mod1Mask) shift |= 4;
  return shift;
}

}  // namespace

int ChooseScale(const char* gdk_scale, const char* xft_dpi, int limit) {
  // Beyond any screen made: a bad setting must not ask for a window of gigapixels.
  constexpr int kMaxScale = 64;
  int scale = 0;
  if (gdk_scale != nullptr && *gdk_scale != '\0' && std::strspn(gdk_scale, "0123456789") == std::strlen(gdk_scale)) {
    scale = static_cast<int>(std::min(std::strtol(gdk_scale, nullptr, 10), static_cast<long>(kMaxScale)));
  }
  if (scale < 1 && xft_dpi != nullptr) {
    char* end = nullptr;
    const double dpi = std::strtod(xft_dpi, &end);
    if (end != xft_dpi && std::isfinite(dpi)) {
      scale = static_cast<int>(std::clamp(std::floor(dpi / 96), 1.0, double{kMaxScale}));
    }
  }
  return std::clamp(scale, 1, std::max(limit, 1));
}

std::unique_ptr<X11Window> X11Window::Attach(SDL_Window& window, const Form& form) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(&window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
  return std::make_unique<X11Window>(window, info.info.x11.display, info.info.x11.window, form);
}

X11Window::X11Window(SDL_Window& window, Display* display, Window x_window, const Form& form)
    : display_(display), x_window_(x_window) {
  int first_event = 0, first_error = 0;
  if (!XQueryExtension(display_, "XInputExtension", &xi_opcode_, &first_event, &first_error)) xi_opcode_ = -1;

  const Rect r = form.PixelRect();
  SDL_Rect screen{0, 0, r.w, r.h};
  SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(&window), 0), &screen);
  const std::string dpi = XftDpi(display_);
  scale_ = ChooseScale(SDL_getenv("GDK_SCALE"), dpi.empty() ? nullptr : dpi.c_str(),
                       std::min(screen.w / std::max(r.w, 1), screen.h / std::max(r.h, 1)));

  SetIcons(display_, x_window_, form.Icon());
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

void X11Window::Place(SDL_Window& /*window*/, ScreenPoint at) {
  // Straight to the server: SDL's own call waits for each move to be done.
  XMoveWindow(display_, x_window_, at.x, at.y);
  XFlush(display_);
}

std::optional<MouseEvent> X11Window::Pointer(const SDL_Event& e, ScreenPoint window_at) const {
  switch (e.type) {
    case SDL_SYSWMEVENT: return ServerPointer(*e.syswm.msg, window_at);
    // Taken as the server sent them.
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return std::nullopt;
    // Only the moves the server sends through XInput2, with no button held
    // (the hover): where they happened, against where the window was then.
    case SDL_MOUSEMOTION: return FromXInput2() ? SdlPointer(e, scale_) : std::nullopt;
    default: return std::nullopt;
  }
}

std::optional<MouseEvent> X11Window::ServerPointer(const SDL_SysWMmsg& message, ScreenPoint window_at) const {
  if (message.subsystem != SDL_SYSWM_X11) return std::nullopt;
  const XEvent& x = message.msg.x11.event;
  if (x.type == GenericEvent || x.xany.window != x_window_) return std::nullopt;
  switch (x.type) {
    case ButtonPress:
    case ButtonRelease: {
      const std::int16_t button = ButtonBit(x.xbutton.button);
      if (button == 0) return std::nullopt;
      // Where it happened, against where the window was then: the
      // coordinates the server gave it, not where the pointer is by now.
      return MouseEvent{x.type == ButtonPress ? MouseEvent::Kind::Down : MouseEvent::Kind::Up,
                        FloorDiv(x.xbutton.x, scale_), FloorDiv(x.xbutton.y, scale_), button,
                        ShiftState(x.xbutton.state)};
    }
    case MotionNotify:
      // While a button holds the pointer: where it went on the screen,
      // against where the window is now, as the drag may have moved it since.
      // Each counts, a warp too, even where SDL sees the same spot of a
      // window that follows the pointer and drops it.
      return MouseEvent{MouseEvent::Kind::Move, FloorDiv(x.xmotion.x_root - window_at.x, scale_),
                        FloorDiv(x.xmotion.y_root - window_at.y, scale_), ButtonMask(x.xmotion.state),
                        ShiftState(x.xmotion.state)};
    case EnterNotify:
    case LeaveNotify:
      // Crossing the edge is a move too (a pointer that jumps in brings no other).
      return MouseEvent{MouseEvent::Kind::Move, FloorDiv(x.xcrossing.x_root - window_at.x, scale_),
                        FloorDiv(x.xcrossing.y_root - window_at.y, scale_), ButtonMask(x.xcrossing.state),
                        ShiftState(x.xcrossing.state)};
    default: return std::nullopt;
  }
}

// SDL tells of an XInput2 event after what it made of it, of a core one before.
bool X11Window::FromXInput2() const {
  SDL_Event next;
  if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_SYSWMEVENT, SDL_SYSWMEVENT) != 1) return false;
  const XEvent& x = next.syswm.msg->msg.x11.event;
  return x.type == GenericEvent && x.xcookie.extension == xi_opcode_ && x.xcookie.evtype == kXiMotion;
}

bool X11Window::Wait(std::int64_t timeout_ms) {
  if (XEventsQueued(display_, QueuedAlready) == 0 &&
      SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 0) {
    XFlush(display_);
    pollfd connection{ConnectionNumber(display_), POLLIN, 0};
    poll(&connection, 1, static_cast<int>(timeout_ms));
  }
  return false;  // whatever woke us is read at the next poll
}

}  // namespace tk
