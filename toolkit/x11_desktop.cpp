#include "toolkit/x11_desktop.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>

namespace tk {

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

namespace x11 {

namespace {

struct XrmDeleter {
  void operator()(XrmDatabase db) const { XrmDestroyDatabase(db); }
};

}  // namespace

std::string XftDpi(void* display) {
  const char* resources = XResourceManagerString(static_cast<Display*>(display));
  if (resources == nullptr) return {};
  XrmInitialize();
  const std::unique_ptr<std::remove_pointer_t<XrmDatabase>, XrmDeleter> db(XrmGetStringDatabase(resources));
  char* type = nullptr;
  XrmValue value{};
  if (!db || !XrmGetResource(db.get(), "Xft.dpi", "Xft.Dpi", &type, &value) || value.addr == nullptr) return {};
  return std::string(value.addr, strnlen(value.addr, value.size));
}

void SetIcons(void* display, unsigned long window, const std::vector<IconImage>& icons) {
  // Width, height and the ARGB pixels of each image in turn, each number a
  // long as Xlib wants for 32-bit properties.
  std::vector<unsigned long> property;
  for (const IconImage& image : icons) {
    property.push_back(static_cast<unsigned long>(image.width));
    property.push_back(static_cast<unsigned long>(image.height));
    property.insert(property.end(), image.argb.begin(), image.argb.end());
  }
  if (property.empty()) return;
  auto* x = static_cast<Display*>(display);
  XChangeProperty(x, window, XInternAtom(x, "_NET_WM_ICON", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(property.data()), static_cast<int>(property.size()));
}

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

}  // namespace x11
}  // namespace tk
