#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zenora {

struct CaptureOptions {
  std::filesystem::path out;
  std::vector<std::int64_t> at_ms;  // rising, without repeats
  int gif_seconds = 0;              // 0: no GIF
  int video_seconds = 0;            // 0: no video
  int scale = 4;                    // video pixels per intro pixel, each way
};

inline constexpr const char* kCaptureUsage =
    "usage: ZENOrA_capture --out DIR [--at MS[,MS...]] [--gif SECONDS] [--video SECONDS [--scale N]] "
    "(at least one of --at, --gif, --video; MS 0 to 86400000, a day; SECONDS 1 to 600; N 1 to 8, default 4)";

// Latest --at: a day of intro, which runs in well under a minute.
inline constexpr std::int64_t kMaxAtMs = 86'400'000;
// Longest GIF or video the tool writes, in seconds of intro.
inline constexpr int kMaxMovieSeconds = 600;
inline constexpr int kMaxScale = 8;
// The GIF and the video show one frame per TimerStars tick.
inline constexpr int kMovieFrameMs = 20;

// Parses the command line; nullopt when it is not usable.
std::optional<CaptureOptions> ParseCaptureOptions(const std::vector<std::string>& args);

// Every instant the capture stops at, rising: the --at times and, with --gif
// or --video, one frame every kMovieFrameMs from 0 up to (not including) the
// end of the longer of the two.
std::vector<std::int64_t> CaptureTimeline(const CaptureOptions& options);

}  // namespace zenora
