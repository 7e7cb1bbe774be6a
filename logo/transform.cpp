#include "transform.hpp"

#include <cmath>
#include <limits>
#include <numbers>

#include "errors.hpp"
#include "trig.hpp"

namespace logo {

namespace {

double Radians(double degrees) { return degrees * std::numbers::pi / 180; }

}  // namespace

Rotation Rotation::FromAngles(double angleA, double angleB, double angleC) {
  return {Cos(Radians(angleA)), Sin(Radians(angleA)), Cos(Radians(angleB)),
          Sin(Radians(angleB)), Cos(Radians(angleC)), Sin(Radians(angleC))};
}

ScreenPoint Transform(const Point3D& p, const Rotation& r, const Shifts& s, float halfWidth, float halfHeight) {
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
  return {10 * u + halfWidth, 10 * v + halfHeight};
}

float ToSingle(double value) {
  if (!(std::abs(value) <= std::numeric_limits<float>::max())) throw tk::RuntimeError::Overflow();
  return static_cast<float>(value);
}

}  // namespace logo
