// ZENOrA_intro: the intro in its borderless window. It takes no command line.
#include "intro.hpp"
#include "os.hpp"
#include "runtime.hpp"
#include "sdl_backend.hpp"
#include "signals.hpp"

int main() try {
  tk::SignalPolicy signals;  // first: Ctrl-C and SIGTERM end the start, whatever it waits for
  if (!tk::OpenStandardDescriptors()) return 1;
  tk::SdlBackend backend;
  return zenora::RunIntro(backend, tk::ProgramFolder(), [&signals](zenora::ZENOrA& form) {
    signals.Running();
    return form.Loop().Run();
  });
} catch (...) {  // before there is a window to show a box on: no display, or no memory
  return tk::ReportUncaught(zenora::kProgramName);
}
