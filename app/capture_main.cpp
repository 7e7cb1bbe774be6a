// ZENOrA_capture: renders the intro without a display on a virtual clock and
// writes chosen frames as PNG, each with a JSON dump of the state.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "app/capture_options.hpp"
#include "app/intro.hpp"
#include "toolkit/process.hpp"
#include "toolkit/headless_backend.hpp"
#include "toolkit/image.hpp"

int main(int argc, char** argv) {
  const auto options = zenora::ParseCaptureOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!options) {
    std::cerr << zenora::kCaptureUsage << "\n";
    return 2;
  }
  std::error_code ec;
  std::filesystem::create_directories(options->out, ec);
  if (ec) {
    std::cerr << "ZENOrA_capture: cannot create " << options->out << ": " << ec.message() << "\n";
    return 1;
  }
  // Nothing to hear without a display: the music plays to no device unless asked.
  setenv("SDL_AUDIODRIVER", "dummy", 0);

  tk::HeadlessBackend backend(&std::cerr);
  return zenora::RunIntro(backend, tk::ProgramFolder(), [&](zenora::ZENOrA& form) {
    for (const std::int64_t ms : options->at_ms) {
      form.Loop().RunUntil(backend.Clock(), ms);
      const auto stem = options->out / ("frame-" + std::to_string(ms));
      tk::SavePng(backend.LastFrame(), stem.string() + ".png");
      std::ofstream state(options->out / ("state-" + std::to_string(ms) + ".json"));
      state << form.StateJson(ms);
      if (!state) {
        std::cerr << "ZENOrA_capture: cannot write the state at " << ms << " ms\n";
        return 1;
      }
    }
    return 0;
  });
}
