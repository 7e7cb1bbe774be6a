// ZENOrA_capture: renders the intro without a display on a virtual clock and
// writes chosen frames as PNG, each with a JSON dump of the state, and on
// request the opening seconds as an animated GIF.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/intro.hpp"
#include "capture/capture_options.hpp"
#include "capture/gif_writer.hpp"
#include "toolkit/headless_backend.hpp"
#include "toolkit/image.hpp"
#include "toolkit/process.hpp"

namespace {

constexpr int kWindowWidth = 320;
constexpr int kWindowHeight = 189;
constexpr int kGifDelayCs = zenora::kGifFrameMs / 10;

}  // namespace

int main(int argc, char** argv) {
  auto options = zenora::ParseCaptureOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!options) {
    std::cerr << zenora::kCaptureUsage << "\n";
    return 2;
  }
  std::error_code ec;
  // The intro makes its own folder the current one: fix where --out points first.
  options->out = std::filesystem::absolute(options->out, ec);
  if (!ec) std::filesystem::create_directories(options->out, ec);
  if (ec) {
    std::cerr << "ZENOrA_capture: cannot create " << options->out << ": " << ec.message() << "\n";
    return 1;
  }
  // Nothing to hear without a display: the music plays to no device unless asked.
  setenv("SDL_AUDIODRIVER", "dummy", 0);

  tk::HeadlessBackend backend(&std::cerr);
  return zenora::RunIntro(backend, tk::ProgramFolder(), [&](zenora::ZENOrA& form) {
    try {
      std::optional<zenora::GifWriter> gif;
      if (options->gif_seconds > 0) gif.emplace(options->out / "intro.gif", kWindowWidth, kWindowHeight, kGifDelayCs);
      const std::int64_t gif_end = std::int64_t{options->gif_seconds} * 1000;

      for (const std::int64_t ms : zenora::CaptureTimeline(*options)) {
        form.Loop().RunUntil(backend.Clock(), ms);
        if (gif && ms < gif_end && ms % zenora::kGifFrameMs == 0) gif->AddFrame(backend.LastFrame());
        if (!std::binary_search(options->at_ms.begin(), options->at_ms.end(), ms)) continue;
        const auto png = options->out / ("frame-" + std::to_string(ms) + ".png");
        try {
          tk::SavePng(backend.LastFrame(), png);
        } catch (const std::runtime_error& e) {  // only the file: the intro's own errors go on up
          std::cerr << "ZENOrA_capture: " << e.what() << "\n";
          return 1;
        }
        std::ofstream state(options->out / ("state-" + std::to_string(ms) + ".json"));
        state << form.StateJson(ms);
        if (!state) {
          std::cerr << "ZENOrA_capture: cannot write the state at " << ms << " ms\n";
          return 1;
        }
      }
      if (gif) gif->Finish();
    } catch (const zenora::GifError& e) {
      std::cerr << "ZENOrA_capture: " << e.what() << "\n";
      return 1;
    }
    return 0;
  });
}
