#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "capture/capture_error.hpp"
#include "toolkit/surface.hpp"

namespace zenora {

class VideoError : public CaptureError {
 public:
  using CaptureError::CaptureError;
};

// The frame rate of the video: one frame per TimerStars tick.
inline constexpr int kVideoFps = 50;
// The music's rate: 882 samples to a frame, exactly.
inline constexpr int kAudioRate = 44100;

// Streams an MP4 of H.264 video at kVideoFps and AAC stereo at kAudioRate.
// Every intro pixel becomes a scale x scale block; as H.264 in 4:2:0 needs an
// even height and the window's is odd, an odd scale gets one more black row
// at the bottom (the window's own bottom rows are black). The file is written
// under a temporary name beside its own and takes its name only in Finish, so
// no unfinished video ever carries it.
class VideoWriter {
 public:
  VideoWriter(const std::filesystem::path& path, int width, int height, int scale);  // throws VideoError
  // Without Finish the unfinished file is removed.
  ~VideoWriter();
  VideoWriter(const VideoWriter&) = delete;
  VideoWriter& operator=(const VideoWriter&) = delete;

  // The next frame, shown for 1 / kVideoFps s.
  void AddFrame(const tk::Surface& frame);  // throws VideoError
  // The next samples of the sound track: interleaved 16-bit stereo.
  void AddAudio(std::span<const std::int16_t> stereo);  // throws VideoError
  // Drains the encoders, closes the file and gives it its name.
  void Finish();  // throws VideoError

  int Width() const;
  int Height() const;

 private:
  struct Encoder;
  std::unique_ptr<Encoder> encoder_;
};

}  // namespace zenora
