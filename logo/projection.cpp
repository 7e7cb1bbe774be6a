#include "projection.hpp"

#include "transform.hpp"

namespace logo {

namespace {

ScreenPoint Project(const tk::Form& form, const Point3D& p, const Rotation& r, const Shifts& s) {
  // The drawing area is read at every point; halving a single is exact.
  const float halfWidth = form.ScaleWidth() / 2;
  const float halfHeight = form.ScaleHeight() / 2;
  return Transform(p, r, s, halfWidth, halfHeight);
}

}  // namespace

double ProjectPoint(const tk::Form& form, const Point3D& p, double angleA, double angleB, double angleC, double xShift,
                    double zShift, double yShift, double k, int flag) {
  const ScreenPoint screen =
      Project(form, p, Rotation::FromAngles(angleA, angleB, angleC), Shifts{xShift, zShift, yShift, k});
  return flag != 0 ? screen.y : screen.x;
}

void DrawModel(tk::Form& form, const EdgeTable& edges, double angleA, double angleB, double angleC, double k,
               double xShift, double zShift, double yShift, const std::function<void()>& yield) {
  form.Cls();
  const Rotation rotation = Rotation::FromAngles(angleA, angleB, angleC);
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
