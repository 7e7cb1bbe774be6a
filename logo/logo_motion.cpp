#include "logo_motion.hpp"

#include <cmath>

namespace logo {

std::int16_t SpinFromDraw(float r, std::int16_t choices, std::int16_t lowest) {
  // In double precision: single precision would round the draws just below 1
  // up onto the next whole number (r = 1 - 2^-24 gives 5 for A).
  return static_cast<std::int16_t>(std::floor(static_cast<double>(r) * choices + lowest));
}

void LogoMotion::SetStartSpins() {
  spin_a_ = 2;
  spin_b_ = 3;
  spin_c_ = 4;
}

void LogoMotion::AdvanceAngles() {
  angle_a_ += spin_a_;
  angle_b_ += spin_b_;
  angle_c_ += spin_c_;
}

void LogoMotion::PickSpins(tk::Rnd& rnd) {
  spin_a_ = SpinFromDraw(rnd.Next(), 2, 3);
  spin_b_ = SpinFromDraw(rnd.Next(), 4, 2);
  spin_c_ = SpinFromDraw(rnd.Next(), 6, 1);
}

}  // namespace logo
