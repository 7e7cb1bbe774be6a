#include "tests/soundlib/test_tune.hpp"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace soundlib_test {
namespace {

void put16(std::vector<std::uint8_t>& out, std::size_t at, unsigned value) {
  out[at] = static_cast<std::uint8_t>(value & 0xFFU);
  out[at + 1] = static_cast<std::uint8_t>((value >> 8U) & 0xFFU);
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, unsigned value) {
  put16(out, at, value & 0xFFFFU);
  put16(out, at + 2, value >> 16U);
}

void put_text(std::vector<std::uint8_t>& out, std::size_t at, std::string_view text) {
  std::ranges::copy(text, out.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace

std::vector<std::uint8_t> make_test_tune(const TuneShape& shape) {
  // Layout, every block on a 16-byte boundary (S3M addresses them in paragraphs):
  // header + order list + pointers, instrument, sample data, pattern.
  constexpr std::size_t instrument_at = 0x70;
  constexpr std::size_t sample_at = 0xC0;
  constexpr unsigned sample_length = 64;
  constexpr std::size_t pattern_at = 0x100;

  std::vector<std::uint8_t> tune(pattern_at, 0);
  put_text(tune, 0x00, "test tune");
  tune[0x1C] = 0x1A;
  tune[0x1D] = 16;            // module type
  put16(tune, 0x20, 2);       // orders
  put16(tune, 0x22, 1);       // instruments
  put16(tune, 0x24, 1);       // patterns
  put16(tune, 0x28, 0x1320);  // tracker version
  put16(tune, 0x2A, 2);       // unsigned samples
  put_text(tune, 0x2C, "SCRM");
  tune[0x30] = 64;  // global volume
  tune[0x31] = static_cast<std::uint8_t>(shape.speed);
  tune[0x32] = static_cast<std::uint8_t>(shape.tempo);
  tune[0x33] = 0xB0;  // stereo, master volume 0x30
  std::fill(tune.begin() + 0x40, tune.begin() + 0x60, std::uint8_t{255});
  tune[0x40] = 0;  // left channel 1
  tune[0x41] = 8;  // right channel 1
  tune[0x60] = 0;  // order list: pattern 0, end
  tune[0x61] = 255;
  put16(tune, 0x62, instrument_at / 16);
  put16(tune, 0x64, pattern_at / 16);

  tune[instrument_at] = 1;  // sampled instrument
  put16(tune, instrument_at + 0x0E, sample_at / 16);
  put32(tune, instrument_at + 0x10, sample_length);
  put32(tune, instrument_at + 0x14, 0);
  put32(tune, instrument_at + 0x18, sample_length);
  tune[instrument_at + 0x1C] = 64;
  tune[instrument_at + 0x1F] = 1;  // looped
  put32(tune, instrument_at + 0x20, 8363);
  put_text(tune, instrument_at + 0x30, "square");
  put_text(tune, instrument_at + 0x4C, "SCRS");

  for (unsigned i = 0; i < sample_length; ++i) {
    tune[sample_at + i] = i < sample_length / 2 ? 192 : 64;
  }

  std::vector<std::uint8_t> rows;
  for (int row = 0; row < 64; ++row) {
    if (row == 0) {  // C-5, instrument 1, full volume on channel 0
      rows.insert(rows.end(), {0x20 | 0x40, 0x50, 1, 64});
    }
    if (row == shape.rows - 1 && shape.rows < 64) {  // pattern break (C00)
      rows.insert(rows.end(), {0x80 | 1, 3, 0});
    }
    rows.push_back(0);
  }
  tune.resize(pattern_at + 2);
  put16(tune, pattern_at, static_cast<unsigned>(rows.size() + 2));
  tune.insert(tune.end(), rows.begin(), rows.end());
  return tune;
}

}  // namespace soundlib_test
