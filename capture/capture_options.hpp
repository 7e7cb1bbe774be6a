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
};

inline constexpr const char* kCaptureUsage =
    "usage: ZENOrA_capture --out DIR [--at MS[,MS...]] [--gif SECONDS] (at least one of --at, --gif)";

// Longest GIF the tool writes, in seconds of intro.
inline constexpr int kMaxGifSeconds = 600;
// The GIF shows one frame per TimerStars tick.
inline constexpr int kGifFrameMs = 20;

// Parses the command line; nullopt when it is not usable.
std::optional<CaptureOptions> ParseCaptureOptions(const std::vector<std::string>& args);

// Every instant the capture stops at, rising: the --at times and, with --gif,
// one frame every kGifFrameMs from 0 up to (not including) the end.
std::vector<std::int64_t> CaptureTimeline(const CaptureOptions& options);

}  // namespace zenora
