#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "capture_error.hpp"
#include "library.hpp"
#include "surface.hpp"
#include "whole_file.hpp"

namespace zenora {

class VideoError : public CaptureError {
 public:
  using CaptureError::CaptureError;
};

// The frame rate of the video: one frame per TimerStars tick.
inline constexpr int kVideoFps = 50;

// An MP4 being written: H.264 video at kVideoFps and AAC stereo at the
// program's output rate (sound::kOutputRate: 882 samples to a frame,
// exactly). Every intro pixel becomes a scale x scale block; as H.264 in
// 4:2:0 needs even sizes and the window's height is odd, an odd scale gets one
// more black row at the bottom (the window's own bottom rows are black). The
// encoder writes into a file it is given, open for reading and writing and
// empty; whoever gave it names the file.
class VideoSink {
 public:
  virtual ~VideoSink() = default;
  // The next frame, shown for 1 / kVideoFps s.
  virtual void AddFrame(const tk::Surface& frame) = 0;  // throws VideoError
  // The next samples of the sound track: interleaved 16-bit stereo.
  virtual void AddAudio(std::span<const std::int16_t> stereo) = 0;  // throws VideoError
  // Drains the encoders and writes the rest of the file.
  virtual void Finish() = 0;  // throws VideoError
};

// A video written by the encoder module libzenora_video.so, which lies beside
// the tool and is loaded only for a video: FFmpeg's libraries take tens of
// megabytes of address space, which every other capture would pay at start.
// The file takes its name only in Finish (a WholeFile); dropped before, it is
// removed.
class VideoWriter {
 public:
  // Throws CaptureError, also when the module cannot be loaded.
  VideoWriter(const std::filesystem::path& module_folder, const std::filesystem::path& path, int width, int height,
              int scale);

  void AddFrame(const tk::Surface& frame) { sink_->AddFrame(frame); }
  void AddAudio(std::span<const std::int16_t> stereo) { sink_->AddAudio(stereo); }
  void Finish();

  static constexpr const char* kModule = "libzenora_video.so";

 private:
  tk::Library module_;
  WholeFile file_;
  std::unique_ptr<VideoSink> sink_;  // declared last: gone before the file and the module
};

}  // namespace zenora
