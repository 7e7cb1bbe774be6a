#pragma once

#include "edge_table.hpp"

namespace logo {

// The sines and cosines of one set of angles (degrees). They depend on the
// angles alone, so a drawing pass computes them once for its 96 projections.
struct Rotation {
  static Rotation FromAngles(double angleA, double angleB, double angleC);
  double cA, sA, cB, sB, cC, sC;
};

struct Shifts {
  double x, z, y, k;
};

struct ScreenPoint {
  double x, y;
};

// Rotates p by A about x, then C about y, then B about z, shifts it, divides
// by depth and maps it onto a drawing area whose half width and half height
// are given, in the area's scale. A shifted depth of -1 raises division by zero.
ScreenPoint Transform(const Point3D& p, const Rotation& r, const Shifts& s, float halfWidth, float halfHeight);

// A coordinate narrowed to single precision, as the line operation takes it,
// with the runtime's overflow for a value that does not fit.
float ToSingle(double value);

}  // namespace logo
