#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace sound {
class Bassmod;
}

namespace zenora {

// The intro's music as the form drives the library, decoded to memory on the
// virtual clock at the program's output rate (sound::kOutputRate). Before the
// form starts, the library's default output is made "no sound": the form
// still calls BASSMOD_Init(-1, sound::kOutputRate, 0), loads, plays, frees
// and restarts the music at its own virtual times, and nothing pulls the
// music but this track, through the library's own decoder
// (BASSMOD_MusicDecode). Decoding up to each instant before the form's
// handlers due then run puts every call at its exact sample.
class MusicTrack {
 public:
  // Looks up the library's decoding exports and sets it up; a missing
  // export is the program's run-time error, as for any other.
  explicit MusicTrack(sound::Bassmod& library);

  // Decodes the music from where it stands up to ms on the intro's clock and
  // hands the samples (interleaved 16-bit stereo) to sink.
  void DecodeTo(std::int64_t ms, const std::function<void(std::span<const std::int16_t>)>& sink);
  std::int64_t Samples() const { return samples_; }

 private:
  using DecodeFn = std::int32_t(void*, std::uint32_t);
  DecodeFn* decode_;
  std::int64_t samples_ = 0;  // decoded so far
  std::vector<std::int16_t> buffer_;
};

}  // namespace zenora
