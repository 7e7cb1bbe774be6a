#include "x11_window.hpp"

#include <SDL_syswm.h>
#if !defined(SDL_VIDEO_DRIVER_X11)
#error "SDL was built without X11: build without x11_window.cpp"
#endif

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "controls.hpp"
#include "errors.hpp"

namespace tk {

static_assert(std::is_same_v<Window, unsigned long>, "X11Window keeps Xlib's Window as unsigned long");

namespace {

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

// An XInput2 move or crossing as the core move it stands for: its data lives
// only while SDL tells of it.
template <typename XiEvent>  // XIDeviceEvent, XIEnterEvent
XEvent CoreMove(const XiEvent& move) {
  XEvent core{};
  core.xmotion.type = MotionNotify;
  core.xmotion.window = move.event;
  core.xmotion.x = static_cast<int>(std::floor(move.event_x));
  core.xmotion.y = static_cast<int>(std::floor(move.event_y));
  core.xmotion.x_root = static_cast<int>(std::floor(move.root_x));
  core.xmotion.y_root = static_cast<int>(std::floor(move.root_y));
  unsigned int state = static_cast<unsigned int>(move.mods.effective) & 0xFF;  // Shift to Mod5
  for (int button = 1; button <= 5; ++button) {
    if (button < move.buttons.mask_len * 8 && XIMaskIsSet(move.buttons.mask, button))
      state |= Button1Mask << (button - 1);
  }
  core.xmotion.state = state;
  return core;
}

// What an XInput2 event of window is, rewritten as the core move it stands for.
Queued SortXInput2(XEvent& x, int xi_opcode, Window window) {
  if (x.xcookie.extension != xi_opcode || x.xcookie.data == nullptr) return Queued::Drop;
  switch (x.xcookie.evtype) {
    // SDL's own moves, with no button held (during a press the server sends the core ones).
    case XI_Motion: {
      const auto& move = *static_cast<const XIDeviceEvent*>(x.xcookie.data);
      if (move.event != window || (move.flags & XIPointerEmulated) != 0) return Queued::Drop;
      x = CoreMove(move);
      return Queued::Move;
    }
    // Crossing the edge is a move too: a pointer that jumps in brings no other.
    case XI_Enter:
    case XI_Leave: {
      const auto& crossing = *static_cast<const XIEnterEvent*>(x.xcookie.data);
      if (crossing.event != window) return Queued::Drop;
      x = CoreMove(crossing);
      return Queued::Move;
    }
    default: return Queued::Drop;
  }
}

}  // namespace

int ChooseScale(const char* gdk_scale, const char* xft_dpi) {
  int scale = 0;
  if (gdk_scale != nullptr && *gdk_scale != '\0' && std::strspn(gdk_scale, "0123456789") == std::strlen(gdk_scale)) {
    scale = static_cast<int>(std::min(std::strtol(gdk_scale, nullptr, 10), static_cast<long>(kMaxScale)));
  }
  if (scale < 1 && xft_dpi != nullptr) {
    char* end = nullptr;
    const double dpi = std::strtod(xft_dpi, &end);
    if (end != xft_dpi && std::isfinite(dpi)) scale = ScaleOfDpi(dpi);
  }
  return std::clamp(scale, 1, kMaxScale);
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

  // The work area of the screen the window opens on, where the desktop names one.
  const Rect r = form.PixelRect();
  const int screen = std::max(SDL_GetWindowDisplayIndex(&window), 0);
  SDL_Rect area{r.x, r.y, r.w, r.h};
  if (SDL_GetDisplayUsableBounds(screen, &area) != 0 || SDL_RectEmpty(&area)) SDL_GetDisplayBounds(screen, &area);
  const std::string dpi = XftDpi(display_);
  opening_ = OpenOnScreen(r, ChooseScale(SDL_getenv("GDK_SCALE"), dpi.empty() ? nullptr : dpi.c_str()),
                          {area.x, area.y, area.w, area.h});

  SetIcons(display_, x_window_, form.Icon());
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  SelectEvents();
}

void X11Window::SelectEvents() {
  // The version SDL asked for on this connection: the server holds a client to its first.
  int major = 2, minor = 2;
  if (xi_opcode_ < 0 || XIQueryVersion(display_, &major, &minor) != Success || major < 2) {
    xi_opcode_ = -1;
    return;
  }
  std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
  const auto select = [&](Window window) {
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(bits.size()), bits.data()};
    XISelectEvents(display_, window, &mask, 1);
  };
  // SDL's raw events on the root serve only its relative mouse mode, which
  // the form never takes: each would be one more event a move in a flood.
  select(DefaultRootWindow(display_));
  // Crossings through XInput2, added to what SDL selected on the window (its
  // moves and touches), which this replaces; and no core ones, nor focus.
  int count = 0;
  if (XIEventMask* selected = XIGetSelectedEvents(display_, x_window_, &count)) {
    for (int i = 0; i < count; ++i) {
      if (selected[i].deviceid != XIAllMasterDevices) continue;
      std::copy_n(selected[i].mask, std::min<std::size_t>(bits.size(), selected[i].mask_len), bits.begin());
    }
    XFree(selected);
  }
  XISetMask(bits.data(), XI_Enter);
  XISetMask(bits.data(), XI_Leave);
  select(x_window_);
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display_, x_window_, &attributes) != 0) {
    XSelectInput(display_, x_window_,
                 attributes.your_event_mask & ~(EnterWindowMask | LeaveWindowMask | FocusChangeMask));
  }
}

void X11Window::ReadyOtherWindow() {
  // SDL draws only into pixels it knows (not 30 bits to the pixel): a
  // true-colour visual of 24 or 32 bits, if the screen has one, which the
  // server shows converted to the screen's.
  XVisualInfo want{};
  want.screen = DefaultScreen(display_);
  want.c_class = TrueColor;
  int count = 0;
  const std::unique_ptr<XVisualInfo, int (*)(void*)> visuals(
      XGetVisualInfo(display_, VisualScreenMask | VisualClassMask, &want, &count), XFree);
  for (const int depth : {24, 32}) {
    for (int i = 0; visuals && i < count; ++i) {
      const XVisualInfo& v = visuals.get()[i];
      if (v.depth == depth && v.red_mask == 0xFF0000 && v.green_mask == 0xFF00 && v.blue_mask == 0xFF) {
        SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, std::to_string(v.visualid).c_str());
        return;
      }
    }
  }
  Visual* own = DefaultVisual(display_, want.screen);
  const int bits = DefaultDepth(display_, want.screen);
  const char* kind = own->c_class == TrueColor     ? "true colour"
                     : own->c_class == DirectColor ? "direct colour"
                     : own->c_class == PseudoColor ? "a colour map"
                                                   : "a fixed map or greys";
  throw DisplayUnfit("the display's screen has " + std::to_string(bits) + " bits to the pixel (" + kind +
                     ") and no true-colour visual of 24 or 32 bits: the window's colours cannot be shown there");
}

void X11Window::Place(SDL_Window& /*window*/, ScreenPoint at) {
  // Straight to the server: SDL's own call waits for each move to be done.
  XMoveWindow(display_, x_window_, at.x, at.y);
  XFlush(display_);
}

Queued X11Window::Sort(SDL_Event& e) const {
  switch (e.type) {
    // The pointer is read from the server's own events; SDL's readings of them are of no use.
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL: return Queued::Drop;
    case SDL_SYSWMEVENT: break;
    default: return Queued::Keep;
  }
  if (e.syswm.msg == nullptr || e.syswm.msg->subsystem != SDL_SYSWM_X11) return Queued::Drop;
  XEvent& x = e.syswm.msg->msg.x11.event;
  if (x.type == GenericEvent) return SortXInput2(x, xi_opcode_, x_window_);
  if (x.xany.window != x_window_) return Queued::Drop;
  switch (x.type) {
    case ButtonPress:
    case ButtonRelease: return Queued::Keep;
    case MotionNotify:
    case EnterNotify:
    case LeaveNotify: return Queued::Move;
    default: return Queued::Drop;
  }
}

std::optional<MouseEvent> X11Window::Pointer(const SDL_Event& e, ScreenPoint& window_at, const PointerMap& map) const {
  if (e.type != SDL_SYSWMEVENT || e.syswm.msg == nullptr || e.syswm.msg->subsystem != SDL_SYSWM_X11) {
    return std::nullopt;
  }
  const XEvent& x = e.syswm.msg->msg.x11.event;
  // Where a move with no button held happened against where the window was
  // then; with one held, where it went against where the window is now.
  const auto move = [&](int x_event, int y_event, int x_root, int y_root, unsigned int state) {
    const bool held = ButtonMask(state) != 0;
    return MouseEvent{MouseEvent::Kind::Move, map.FormX(held ? x_root - window_at.x : x_event),
                      map.FormY(held ? y_root - window_at.y : y_event), ButtonMask(state), ShiftState(state)};
  };
  switch (x.type) {
    case ButtonPress:
    case ButtonRelease: {
      const std::int16_t button = ButtonBit(x.xbutton.button);
      if (button == 0) return std::nullopt;
      if (x.type == ButtonPress) window_at = {x.xbutton.x_root - x.xbutton.x, x.xbutton.y_root - x.xbutton.y};
      return MouseEvent{x.type == ButtonPress ? MouseEvent::Kind::Down : MouseEvent::Kind::Up, map.FormX(x.xbutton.x),
                        map.FormY(x.xbutton.y), button, ShiftState(x.xbutton.state)};
    }
    case MotionNotify: return move(x.xmotion.x, x.xmotion.y, x.xmotion.x_root, x.xmotion.y_root, x.xmotion.state);
    case EnterNotify:
    case LeaveNotify:
      return move(x.xcrossing.x, x.xcrossing.y, x.xcrossing.x_root, x.xcrossing.y_root, x.xcrossing.state);
    default: return std::nullopt;
  }
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
