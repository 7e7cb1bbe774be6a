#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace logo {

// One point of the logo's model space.
struct Point3D {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t z = 0;
  friend bool operator==(const Point3D&, const Point3D&) = default;
};

// A straight edge, drawn from first to second.
struct Edge {
  Point3D first;
  Point3D second;
  friend bool operator==(const Edge&, const Edge&) = default;
};

// The logo's wireframe: a fixed table that is only ever appended to.
class EdgeTable {
 public:
  static constexpr std::int16_t kSize = 101;

  // Appends one edge. A full table raises subscript out of range before
  // anything is written; an argument that does not fit a 32-bit integer raises
  // overflow at its own field, and the entry stays outside the valid range.
  void AddEdge(double x1, double y1, double z1, double x2, double y2, double z2);

  // Appends the extruded letter U inside the box with opposite corners P and Q.
  // Appends again on a second call; nothing is cleared.
  void BuildLogo(double xP, double yP, double zP, double xQ, double yQ, double zQ);

  std::int16_t EdgeCount() const { return edge_count_; }
  // The valid entries, 0 to EdgeCount - 1. A view into the table, so never of
  // a temporary one.
  std::span<const Edge> Edges() const& {
    return std::span<const Edge>(edges_).first(static_cast<std::size_t>(edge_count_));
  }
  std::span<const Edge> Edges() const&& = delete;

 private:
  std::array<Edge, kSize> edges_{};
  std::int16_t edge_count_ = 0;
};

// The runtime's conversion of a number to a 32-bit integer: nearest, halves to
// even; anything outside the range (or not a number) is an overflow.
std::int32_t ToInt32(double value);

}  // namespace logo
