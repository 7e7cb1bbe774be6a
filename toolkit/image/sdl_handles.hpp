#pragma once

#include <SDL.h>

#include <memory>

namespace tk {

// Owners of SDL's own objects.
struct SdlSurfaceDeleter {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SdlSurfacePtr = std::unique_ptr<SDL_Surface, SdlSurfaceDeleter>;

struct SdlWindowDeleter {
  void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
};

}  // namespace tk
