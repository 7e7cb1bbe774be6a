#pragma once

#include <cstdint>

namespace tk {

// The runtime's uniform generator, never seeded: the same sequence in every run.
// x <- (x * 1140671485 + 12820163) mod 2^24, starting at 327680.
class Rnd {
 public:
  float Next() {
    state_ = (state_ * 1140671485u + 12820163u) & 0xFFFFFFu;
    return static_cast<float>(state_) / 16777216.0f;
  }

 private:
  std::uint32_t state_ = 327680;
};

}  // namespace tk
