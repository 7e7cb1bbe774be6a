#pragma once

#include "surface.hpp"

namespace tk {

// Rounds towards minus infinity: a pointer 1 display pixel left of the
// window is in the form pixel left of it too.
constexpr int FloorDiv(int value, int by) { return value >= 0 ? value / by : -((-value + by - 1) / by); }

// Where the frame shows in a window of any size: every frame pixel as an
// N x N block, N the largest whole scale at which the frame fits (at least 1),
// centred; the rest of the window is black. Drawing and the pointer both go
// through it, so the picture and what a press hits are one.
struct FrameLayout {
  int scale = 1;
  int x = 0;  // the frame's top-left in window pixels
  int y = 0;

  // The frame pixel under window pixel (wx, wy); outside the frame too.
  constexpr int FrameX(int wx) const { return FloorDiv(wx - x, scale); }
  constexpr int FrameY(int wy) const { return FloorDiv(wy - y, scale); }
  friend constexpr bool operator==(const FrameLayout&, const FrameLayout&) = default;
};

FrameLayout FitFrame(int frame_w, int frame_h, int window_w, int window_h);

// The largest scale a desktop may ask for: beyond any screen made, so that a
// bad setting never asks for a window of gigapixels.
inline constexpr int kMaxScale = 64;

// The whole factor by which a desktop of `dpi` dots per inch wants windows
// scaled: dpi / 96 rounded down, at least 1, at most kMaxScale; 1 for a
// value that is no number.
int ScaleOfDpi(double dpi);

// Where a window opens on a screen: its scale and its top-left, in display pixels.
struct Opening {
  int scale = 1;
  int x = 0;
  int y = 0;
  friend constexpr bool operator==(const Opening&, const Opening&) = default;
};

// Opens the form's window (`place`: its place and size in form pixels) wholly inside
// `area` (the screen's work area, in display pixels), as large as it may be
// up to `wanted`: at the largest scale at which it fits at its own place
// (place and size times the scale); else at the largest scale at which it
// fits at all, moved just as far as it must be; else, on an area smaller than
// the window, at 1x with its top and right edges on the area's, so that the
// close glyph in its top-right corner and the picture beside it stay there.
// `wanted` is a desktop's scale (a few, never thousands).
Opening OpenOnScreen(Rect place, int wanted, Rect area);

}  // namespace tk
