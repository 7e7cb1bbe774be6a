// ZENOrA_intro: the intro in its borderless window. It takes no command line.
#include <iostream>
#include <memory>

#include "app/intro.hpp"
#include "toolkit/process.hpp"
#include "toolkit/sdl_backend.hpp"

int main() {
  std::unique_ptr<tk::SdlBackend> backend;
  try {
    backend = std::make_unique<tk::SdlBackend>();
  } catch (const tk::NoDisplay& e) {
    std::cerr << zenora::kProgramName << ": no display to open the window on (" << e.what() << ")\n";
    return 1;
  }
  return zenora::RunIntro(*backend, tk::ProgramFolder(), [](zenora::ZENOrA& form) { return form.Loop().Run(); });
}
