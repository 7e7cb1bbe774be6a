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
};

inline constexpr const char* kCaptureUsage = "usage: ZENOrA_capture --out DIR --at MS[,MS...]";

// Parses the command line; nullopt when it is not usable.
std::optional<CaptureOptions> ParseCaptureOptions(const std::vector<std::string>& args);

}  // namespace zenora
