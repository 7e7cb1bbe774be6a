#pragma once

#include <functional>

#include "controls.hpp"
#include "edge_table.hpp"

namespace logo {

// The values every animation tick passes to DrawModel.
inline constexpr double kPerspective = 1000;
inline constexpr double kShiftX = 15;
inline constexpr double kShiftZ = -3;
inline constexpr double kShiftY = -90;

// Rotates p by A about x, then C about y, then B about z (degrees), shifts it,
// divides by depth and maps it onto the form. Returns the screen x in the
// form's scale, or the screen y when flag is non-zero. A shifted depth of -1
// raises division by zero.
double ProjectPoint(const tk::Form& form, const Point3D& p, double angleA, double angleB, double angleC, double xShift,
                    double zShift, double yShift, double k, int flag);

// Clears the form's drawing and draws every edge of the table as a black line,
// calling yield after each one so that pending messages run between edges.
void DrawModel(tk::Form& form, const EdgeTable& edges, double angleA, double angleB, double angleC, double k,
               double xShift, double zShift, double yShift, const std::function<void()>& yield);

}  // namespace logo
