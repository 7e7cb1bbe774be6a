#pragma once

#include <cstdint>
#include <vector>

namespace soundlib_test {

// A tiny but complete S3M: one looped square-wave sample sounding from the
// first row of a single pattern that breaks after `rows` rows. It plays for
// rows * speed * 2.5 / tempo seconds (0.48 s by default), then the song ends.
struct TuneShape {
  int rows = 8;
  int speed = 3;
  int tempo = 125;
};

std::vector<std::uint8_t> make_test_tune(const TuneShape& shape = {});

}  // namespace soundlib_test
