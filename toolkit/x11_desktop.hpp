#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/image.hpp"

namespace tk {

// The whole factor by which an X11 desktop wants windows scaled: GDK_SCALE
// when it is a whole number of 1 or more, else the Xft.dpi resource over 96
// (rounded down, at least 1), else 1; never more than limit (what fits the
// screen). Either text may be null (not set).
int ChooseScale(const char* gdk_scale, const char* xft_dpi, int limit);

// What the SDL backend reads from an X11 desktop and tells it itself, where
// SDL has no call for it. Display and window are Xlib's, passed untyped to
// keep Xlib's macros out of other files.
namespace x11 {

// The Xft.dpi resource as the desktop published it, or empty.
std::string XftDpi(void* display);

// Every image of the icon, with its transparency, as _NET_WM_ICON.
void SetIcons(void* display, unsigned long window, const std::vector<IconImage>& icons);

// The buttons (1 left, 2 right, 4 middle) of an X button number or of the
// state of an event, and its shift state (1 shift, 2 ctrl, 4 alt).
std::int16_t ButtonBit(unsigned int button);
std::int16_t ButtonMask(unsigned int state);
std::int16_t ShiftState(unsigned int state);

}  // namespace x11
}  // namespace tk
