#pragma once

#include <SDL.h>

#include <memory>

#include "toolkit/surface.hpp"

namespace tk {

struct SdlSurfaceDeleter {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SdlSurfacePtr = std::unique_ptr<SDL_Surface, SdlSurfaceDeleter>;

struct SdlWindowDeleter {
  void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
};

// An SDL surface sharing the pixels of ours (0x00RRGGBB), valid while it lives.
SdlSurfacePtr WrapSurface(const Surface& surface);

}  // namespace tk
