#include "capture/capture_options.hpp"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace zenora {

namespace {

// A list like "0,20,1000": whole milliseconds, none negative.
bool ParseTimes(std::string_view text, std::vector<std::int64_t>& times) {
  while (true) {
    const auto comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
    if (item.empty() || error != std::errc() || end != item.data() + item.size() || value < 0) return false;
    times.push_back(value);
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

// Whole seconds, 1 to kMaxGifSeconds.
bool ParseSeconds(std::string_view text, int& seconds) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return false;
  if (value < 1 || value > kMaxGifSeconds) return false;
  seconds = value;
  return true;
}

}  // namespace

std::optional<CaptureOptions> ParseCaptureOptions(const std::vector<std::string>& args) {
  CaptureOptions options;
  bool have_out = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i + 1 >= args.size()) return std::nullopt;
    const std::string& value = args[++i];
    if (args[i - 1] == "--out" && !have_out && !value.empty()) {
      options.out = value;
      have_out = true;
    } else if (args[i - 1] == "--at" && options.at_ms.empty()) {
      if (!ParseTimes(value, options.at_ms)) return std::nullopt;
    } else if (args[i - 1] == "--gif" && options.gif_seconds == 0) {
      if (!ParseSeconds(value, options.gif_seconds)) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  if (!have_out || (options.at_ms.empty() && options.gif_seconds == 0)) return std::nullopt;
  std::sort(options.at_ms.begin(), options.at_ms.end());
  options.at_ms.erase(std::unique(options.at_ms.begin(), options.at_ms.end()), options.at_ms.end());
  return options;
}

std::vector<std::int64_t> CaptureTimeline(const CaptureOptions& options) {
  std::vector<std::int64_t> times = options.at_ms;
  const std::int64_t gif_end = std::int64_t{options.gif_seconds} * 1000;
  for (std::int64_t ms = 0; ms < gif_end; ms += kGifFrameMs) times.push_back(ms);
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  return times;
}

}  // namespace zenora
