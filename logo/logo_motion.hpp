#pragma once

#include <cstdint>

#include "rnd.hpp"

namespace logo {

// One spin speed from a draw r in [0, 1): floor(r * choices + lowest).
std::int16_t SpinFromDraw(float r, std::int16_t choices, std::int16_t lowest);

// The logo's three angles (degrees) and the speeds they turn at per tick.
class LogoMotion {
 public:
  // The speeds until the first random pick.
  void SetStartSpins();
  // One animation tick: A, then B, then C grow by their speeds. Never wrapped.
  void AdvanceAngles();
  // New speeds from three fresh draws, in the order A, B, C: A 3..4, B 2..5, C 1..6.
  void PickSpins(tk::Rnd& rnd);

  double AngleA() const { return angle_a_; }
  double AngleB() const { return angle_b_; }
  double AngleC() const { return angle_c_; }
  std::int16_t SpinA() const { return spin_a_; }
  std::int16_t SpinB() const { return spin_b_; }
  std::int16_t SpinC() const { return spin_c_; }

 private:
  // Whole numbers that only grow: a double holds them exactly for far longer
  // than any window stays open.
  double angle_a_ = 0;
  double angle_b_ = 0;
  double angle_c_ = 0;
  std::int16_t spin_a_ = 0;
  std::int16_t spin_b_ = 0;
  std::int16_t spin_c_ = 0;
};

}  // namespace logo
