#include "frame_files.hpp"

#include <span>
#include <stdexcept>

#include "capture_error.hpp"
#include "image.hpp"
#include "json.hpp"
#include "whole_file.hpp"

namespace zenora {

namespace {

// A field of the state as JSON: numbers of every width alike, the stars'
// places as a list, a timer as an object on one line.
struct StateField {
  JsonObject& json;
  void operator()(std::string_view key, const std::string& value) const { json.String(key, value); }
  void operator()(std::string_view key, bool value) const { json.Bool(key, value); }
  void operator()(std::string_view key, const StarLefts& lefts) const {
    json.Numbers(key, std::vector<double>(lefts.begin(), lefts.end()));
  }
  void operator()(std::string_view key, const TimerState& timer) const {
    JsonObject object(JsonObject::Layout::OneLine);
    object.Bool("Enabled", timer.Enabled);
    object.Number("Interval", timer.Interval);
    json.Object(key, object);
  }
  template <typename Number>
  void operator()(std::string_view key, Number value) const {
    json.Number(key, static_cast<double>(value));
  }
};

}  // namespace

std::string StateJson(const FormState& state) {
  JsonObject json;
  state.Fields(StateField{json});
  return json.Text() + "\n";
}

void SaveFrame(const std::filesystem::path& folder, std::int64_t ms, const tk::Surface& frame, const FormState& state) {
  const std::string at = std::to_string(ms);
  std::vector<unsigned char> png;
  try {
    png = tk::EncodePng(frame);
  } catch (const std::runtime_error& e) {
    throw CaptureError(e.what());
  }
  WriteWholeFile(folder / ("frame-" + at + ".png"), std::as_bytes(std::span(png)));
  const std::string json = StateJson(state);
  WriteWholeFile(folder / ("state-" + at + ".json"), std::as_bytes(std::span(json)));
}

}  // namespace zenora
