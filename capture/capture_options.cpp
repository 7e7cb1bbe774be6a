#include "capture_options.hpp"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace zenora {

namespace {

// A whole number from first to last, nothing else in the text.
template <typename Number>
bool ParseNumber(std::string_view text, Number first, Number last, Number& number) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return false;
  if (value < first || value > last) return false;
  number = value;
  return true;
}

// A list like "0,20,1000": whole milliseconds, 0 to kMaxAtMs.
bool ParseTimes(std::string_view text, std::vector<std::int64_t>& times) {
  while (true) {
    const auto comma = text.find(',');
    std::int64_t value = 0;
    if (!ParseNumber<std::int64_t>(text.substr(0, comma), 0, kMaxAtMs, value)) return false;
    times.push_back(value);
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

}  // namespace

std::optional<CaptureOptions> ParseCaptureOptions(const std::vector<std::string>& args) {
  CaptureOptions options;
  bool have_out = false;
  bool have_scale = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i + 1 >= args.size()) return std::nullopt;
    const std::string& name = args[i];
    const std::string& value = args[++i];
    bool ok = false;
    if (name == "--out" && !have_out) {
      options.out = value;
      ok = have_out = !value.empty();
    } else if (name == "--at" && options.at_ms.empty()) {
      ok = ParseTimes(value, options.at_ms);
    } else if (name == "--gif" && options.gif_seconds == 0) {
      ok = ParseNumber(value, 1, kMaxMovieSeconds, options.gif_seconds);
    } else if (name == "--video" && options.video_seconds == 0) {
      ok = ParseNumber(value, 1, kMaxMovieSeconds, options.video_seconds);
    } else if (name == "--scale" && !have_scale) {
      ok = have_scale = ParseNumber(value, 1, kMaxScale, options.scale);
    }
    if (!ok) return std::nullopt;
  }
  const bool anything = !options.at_ms.empty() || options.gif_seconds > 0 || options.video_seconds > 0;
  if (!have_out || !anything || (have_scale && options.video_seconds == 0)) return std::nullopt;
  std::sort(options.at_ms.begin(), options.at_ms.end());
  options.at_ms.erase(std::unique(options.at_ms.begin(), options.at_ms.end()), options.at_ms.end());
  return options;
}

std::vector<std::int64_t> CaptureTimeline(const CaptureOptions& options) {
  std::vector<std::int64_t> times = options.at_ms;
  const std::int64_t movie_end = std::int64_t{std::max(options.gif_seconds, options.video_seconds)} * 1000;
  for (std::int64_t ms = 0; ms < movie_end; ms += kMovieFrameMs) times.push_back(ms);
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  return times;
}

}  // namespace zenora
