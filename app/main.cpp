// ZENOrA_intro: the intro in its borderless window. It takes no command line.
#include "app/intro.hpp"
#include "toolkit/process.hpp"
#include "toolkit/sdl_backend.hpp"

int main() try {
  if (!tk::OpenStandardDescriptors()) return 1;
  tk::SdlBackend backend;
  return zenora::RunIntro(backend, tk::ProgramFolder(), [](zenora::ZENOrA& form) { return form.Loop().Run(); });
} catch (...) {  // before there is a window to show a box on: no display, or no memory
  return tk::ReportUncaught(zenora::kProgramName);
}
