#include "music_track.hpp"

#include <algorithm>
#include <string>

#include "bassmod.hpp"
#include "capture_error.hpp"

namespace zenora {

namespace {

constexpr std::int32_t kNoSound = 0;
// Decoded at most this many sample frames at a time.
constexpr std::int64_t kChunk = 4096;

}  // namespace

MusicTrack::MusicTrack(sound::Bassmod& library)
    : decode_(reinterpret_cast<DecodeFn*>(library.Export("BASSMOD_MusicDecode"))) {
  using SetDefaultDeviceFn = std::int32_t(std::int32_t);
  auto* set_default_device = reinterpret_cast<SetDefaultDeviceFn*>(library.Export("BASSMOD_SetDefaultDevice"));
  if (set_default_device(kNoSound) == 0) {
    throw CaptureError("the sound library cannot decode without an output (code " +
                       std::to_string(library.BASSMOD_ErrorGetCode()) + ")");
  }
}

void MusicTrack::DecodeTo(std::int64_t ms, const std::function<void(std::span<const std::int16_t>)>& sink) {
  const std::int64_t end = ms * sound::kOutputRate / 1000;
  while (samples_ < end) {
    const std::int64_t count = std::min(end - samples_, kChunk);
    buffer_.resize(static_cast<std::size_t>(2 * count));
    if (decode_(buffer_.data(), static_cast<std::uint32_t>(count)) == 0) {
      throw CaptureError("cannot decode the music");
    }
    samples_ += count;
    sink(buffer_);
  }
}

}  // namespace zenora
