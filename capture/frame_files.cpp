#include "capture/frame_files.hpp"

#include <SDL_image.h>

#include <span>

#include "capture/capture_error.hpp"
#include "capture/json.hpp"
#include "capture/whole_file.hpp"
#include "toolkit/sdl_handles.hpp"

namespace zenora {

namespace {

struct RwClose {
  void operator()(SDL_RWops* rw) const { SDL_RWclose(rw); }
};

JsonObject TimerJson(const FormState::TimerState& timer) {
  JsonObject json(JsonObject::Layout::OneLine);
  json.Bool("Enabled", timer.Enabled);
  json.Number("Interval", timer.Interval);
  return json;
}

}  // namespace

std::vector<unsigned char> EncodePng(const tk::Surface& frame) {
  // Room for every pixel stored without compression, with every chunk's and
  // block's header: more than the encoder ever needs. A full buffer would
  // mean a file cut short.
  const std::size_t raw = frame.Pixels().size() * 4 + static_cast<std::size_t>(frame.Height());
  std::vector<unsigned char> bytes(raw + raw / 64 + 65536);
  const tk::SdlSurfacePtr wrapped = tk::WrapSurface(frame);
  const std::unique_ptr<SDL_RWops, RwClose> out(SDL_RWFromMem(bytes.data(), static_cast<int>(bytes.size())));
  if (!wrapped || !out || IMG_SavePNG_RW(wrapped.get(), out.get(), 0) != 0) {
    throw CaptureError(std::string("cannot make a PNG of the frame: ") + IMG_GetError());
  }
  const auto size = static_cast<std::size_t>(SDL_RWtell(out.get()));
  if (size >= bytes.size()) throw CaptureError("cannot make a PNG of the frame: too large");
  bytes.resize(size);
  return bytes;
}

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
  const std::vector<unsigned char> png = EncodePng(frame);
  WriteWholeFile(folder / ("frame-" + at + ".png"), std::as_bytes(std::span(png)));
  const std::string json = StateJson(state);
  WriteWholeFile(folder / ("state-" + at + ".json"), std::as_bytes(std::span(json)));
}

}  // namespace zenora
