#include "frame_files.hpp"

#include <span>
#include <stdexcept>

#include "capture_error.hpp"
#include "image.hpp"
#include "json.hpp"
#include "whole_file.hpp"

namespace zenora {

namespace {

JsonObject TimerJson(const FormState::TimerState& timer) {
  JsonObject json(JsonObject::Layout::OneLine);
  json.Bool("Enabled", timer.Enabled);
  json.Number("Interval", timer.Interval);
  return json;
}

}  // namespace

std::string StateJson(const FormState& state) {
  JsonObject json;
  json.Number("time_ms", static_cast<double>(state.time_ms));
  json.Number("AngleA", state.AngleA);
  json.Number("AngleB", state.AngleB);
  json.Number("AngleC", state.AngleC);
  json.Number("SpinA", state.SpinA);
  json.Number("SpinB", state.SpinB);
  json.Number("SpinC", state.SpinC);
  json.Number("EdgeCount", state.EdgeCount);
  json.Number("InfoIndex", state.InfoIndex);
  json.Number("HoldTicks", state.HoldTicks);
  json.Number("FadeTicks", state.FadeTicks);
  json.Number("FadeInStage", state.FadeInStage);
  json.Number("FadeOutStage", state.FadeOutStage);
  json.Number("TuneSeconds", state.TuneSeconds);
  json.Number("TuneLength", state.TuneLength);
  json.String("MusicFile", state.MusicFile);
  json.Number("Dragging", state.Dragging);
  json.Number("DragX", state.DragX);
  json.Number("DragY", state.DragY);
  json.Numbers("star_Left", std::vector<double>(state.star_Left.begin(), state.star_Left.end()));
  json.String("lblInfos_Caption", state.lblInfos_Caption);
  json.Number("lblInfos_ForeColor", state.lblInfos_ForeColor);
  json.Bool("cmdClose_Visible", state.cmdClose_Visible);
  json.Number("Left", state.Left);
  json.Number("Top", state.Top);
  json.Object("TimerStars", TimerJson(state.TimerStars));
  json.Object("TimerTune", TimerJson(state.TimerTune));
  json.Object("TimerText", TimerJson(state.TimerText));
  json.Object("TimerFadeIn", TimerJson(state.TimerFadeIn));
  json.Object("TimerFadeOut", TimerJson(state.TimerFadeOut));
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
