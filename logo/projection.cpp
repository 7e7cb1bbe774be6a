#include "logo/projection.hpp"

#include <cmath>
#include <limits>
#include <numbers>

#include "toolkit/errors.hpp"

namespace logo {

namespace {

double Radians(double degrees) { return degrees * std::numbers::pi / 180; }

// The sines and cosines of one set of angles. They depend on the angles alone,
// so a drawing pass computes them once for its 96 projections.
struct Rotation {
  Rotation(double angleA, double angleB, double angleC)
      : cA(std::cos(Radians(angleA))),
        sA(std::sin(Radians(angleA))),
        cB(std::cos(Radians(angleB))),
        sB(std::sin(Radians(angleB))),
        cC(std::cos(Radians(angleC))),
        sC(std::sin(Radians(angleC))) {}

  double cA, sA, cB, sB, cC, sC;
};

struct Shifts {
  double x, z, y, k;
};

struct ScreenPoint {
  double x, y;
};

ScreenPoint Project(const tk::Form& form, const Point3D& p, const Rotation& r, const Shifts& s) {
  const double x = p.x;
  const double y = p.y;
  const double z = p.z;
  const double y1 = y * r.cA - z * r.sA;
  const double z1 = y * r.sA + z * r.cA;
  const double x2 = x * r.cC - z1 * r.sC;
  const double z2 = x * r.sC + z1 * r.cC;
  const double x3 = x2 * r.cB - y1 * r.sB;
  const double y3 = x2 * r.sB + y1 * r.cB;
  const double shiftedX = x3 + s.x;
  const double shiftedY = y3 + s.y;
  const double shiftedZ = z2 + s.z;
  const double d = shiftedY + 1;
  if (d == 0) throw tk::RuntimeError::DivisionByZero();
  const double u = (-shiftedX / d) * s.k;
  const double v = (-shiftedZ / d) * s.k;
  // The drawing area is read at every point; halving a single is exact.
  const float halfWidth = form.ScaleWidth() / 2;
  const float halfHeight = form.ScaleHeight() / 2;
  return {10 * u + halfWidth, 10 * v + halfHeight};
}

// Narrowing to single precision, with the runtime's overflow for a value that
// does not fit.
float ToSingle(double value) {
  if (!(std::abs(value) <= std::numeric_limits<float>::max())) throw tk::RuntimeError::Overflow();
  return static_cast<float>(value);
}

}  // namespace

double ProjectPoint(const tk::Form& form, const Point3D& p, double angleA, double angleB, double angleC, double xShift,
                    double zShift, double yShift, double k, int flag) {
  const ScreenPoint screen = Project(form, p, Rotation(angleA, angleB, angleC), Shifts{xShift, zShift, yShift, k});
  return flag != 0 ? screen.y : screen.x;
}

void DrawModel(tk::Form& form, const EdgeTable& edges, double angleA, double angleB, double angleC, double k,
               double xShift, double zShift, double yShift, const std::function<void()>& yield) {
  form.Cls();
  const Rotation rotation(angleA, angleB, angleC);
  const Shifts shifts{xShift, zShift, yShift, k};
  // The table is fixed once the logo is built; the pass takes its extent once.
  const std::span<const Edge> table = edges.Edges();
  for (const Edge& edge : table) {
    const ScreenPoint a = Project(form, edge.first, rotation, shifts);
    const ScreenPoint b = Project(form, edge.second, rotation, shifts);
    form.Line(ToSingle(a.x), ToSingle(a.y), ToSingle(b.x), ToSingle(b.y), 0);
    if (yield) yield();
  }
}

}  // namespace logo
