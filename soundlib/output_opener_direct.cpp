// Opening the output where SDL's open never waits and there are no threads
// (a browser: the output is a Web Audio graph): directly, on the caller's
// thread, with nothing to bound.
#include "audio_output.hpp"

#include "failure.hpp"

namespace bassmod {

SDL_AudioDeviceID OutputOpener::open(int device, const SDL_AudioSpec& wanted) {
  SDL_AudioDeviceID opened = 0;
  if (const int error = open_with_sdl(device, wanted, opened); error != 0) throw Failure{error};
  return opened;
}

}  // namespace bassmod
