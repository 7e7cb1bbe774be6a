#include "edge_table.hpp"

#include <cmath>
#include <limits>

#include "errors.hpp"

namespace logo {

std::int32_t ToInt32(double value) {
  // Does not depend on the floating-point rounding mode in force.
  double rounded = std::floor(value);
  const double fraction = value - rounded;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) rounded += 1.0;
  constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
  if (!(rounded >= kLowest && rounded <= kHighest)) throw tk::RuntimeError::Overflow();
  return static_cast<std::int32_t>(rounded);
}

void EdgeTable::AddEdge(double x1, double y1, double z1, double x2, double y2, double z2) {
  if (edge_count_ < 0 || edge_count_ >= kSize) throw tk::RuntimeError::SubscriptOutOfRange();
  // Field by field: a failed conversion leaves the fields before it written,
  // harmless since the count has not moved.
  Edge& edge = edges_[static_cast<std::size_t>(edge_count_)];
  edge.first.x = ToInt32(x1);
  edge.first.y = ToInt32(y1);
  edge.first.z = ToInt32(z1);
  edge.second.x = ToInt32(x2);
  edge.second.y = ToInt32(y2);
  edge.second.z = ToInt32(z2);
  edge_count_ = static_cast<std::int16_t>(edge_count_ + 1);
}

void EdgeTable::BuildLogo(double xP, double yP, double zP, double xQ, double yQ, double zQ) {
  // The outer box runs in depth from zP to zQ, the slot from zP to zP - 2
  // whatever zQ is: only the start-up box (zQ = zP - 2) makes them meet.
  AddEdge(xP, yP, zP, xP, yP, zQ);
  AddEdge(xP, yP, zP, xP, yQ, zP);
  AddEdge(xP, yP, zP, xQ, yP, zP);
  AddEdge(xQ, yQ, zQ, xQ, yQ, zP);
  AddEdge(xQ, yQ, zQ, xQ, yP, zQ);
  AddEdge(xP + 3, yQ - 3, zP, xQ - 1, yQ - 3, zP - 2);
  AddEdge(xP + 1, yQ - 3, zP, xQ - 3, yQ - 3, zP - 2);
  AddEdge(xP + 3, yQ, zP, xQ - 1, yQ, zP - 2);
  AddEdge(xP + 1, yQ, zP, xQ - 3, yQ, zP - 2);
  AddEdge(xP + 1, yQ - 3, zP, xQ - 1, yQ - 3, zP);
  AddEdge(xP + 1, yQ - 3, zP, xQ - 3, yQ, zP);
  AddEdge(xP + 3, yQ - 3, zP, xQ - 1, yQ, zP);
  AddEdge(xP, yQ, zP, xQ - 3, yQ, zP);
  AddEdge(xP + 3, yQ, zP, xQ, yQ, zP);
  AddEdge(xP + 1, yQ - 3, zP - 2, xQ - 1, yQ - 3, zP - 2);
  AddEdge(xP + 1, yQ - 3, zP - 2, xQ - 3, yQ, zP - 2);
  AddEdge(xP + 3, yQ - 3, zP - 2, xQ - 1, yQ, zP - 2);
  AddEdge(xP, yQ, zP - 2, xQ - 3, yQ, zP - 2);
  AddEdge(xP + 3, yQ, zP - 2, xQ, yQ, zP - 2);
  AddEdge(xQ, yQ, zP, xQ, yP, zP);
  AddEdge(xQ, yP, zP, xQ, yP, zQ);
  AddEdge(xP, yP, zQ, xQ, yP, zQ);
  AddEdge(xP, yQ, zP, xP, yQ, zQ);
  AddEdge(xP, yP, zQ, xP, yQ, zQ);
}

}  // namespace logo
