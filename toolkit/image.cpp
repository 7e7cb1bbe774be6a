#include "toolkit/image.hpp"

#include <SDL_image.h>

#include <stdexcept>
#include <string>

#include "toolkit/sdl_handles.hpp"

namespace tk {

SdlSurfacePtr WrapSurface(const Surface& surface) {
  // SDL does not write through this surface; the cast only satisfies its C signature.
  void* pixels = const_cast<Pixel*>(surface.Pixels().data());
  return SdlSurfacePtr(SDL_CreateRGBSurfaceWithFormatFrom(pixels, surface.Width(), surface.Height(), 32,
                                                          surface.Width() * 4, SDL_PIXELFORMAT_RGB888));
}

Surface DecodeImage(std::span<const unsigned char> bytes) {
  SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
  SdlSurfacePtr decoded(IMG_Load_RW(rw, 1));
  if (!decoded) throw std::runtime_error(std::string("cannot decode image: ") + IMG_GetError());
  SdlSurfacePtr rgb(SDL_ConvertSurfaceFormat(decoded.get(), SDL_PIXELFORMAT_RGB888, 0));
  if (!rgb) throw std::runtime_error(std::string("cannot convert image: ") + SDL_GetError());
  Surface out(rgb->w, rgb->h);
  SDL_LockSurface(rgb.get());
  for (int y = 0; y < rgb->h; ++y) {
    const auto* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(rgb->pixels) + y * rgb->pitch);
    for (int x = 0; x < rgb->w; ++x) out.Set(x, y, row[x] & 0xFFFFFFu);
  }
  SDL_UnlockSurface(rgb.get());
  return out;
}

void SavePng(const Surface& surface, const std::filesystem::path& path) {
  SdlSurfacePtr wrapped = WrapSurface(surface);
  if (!wrapped || IMG_SavePNG(wrapped.get(), path.c_str()) != 0) {
    throw std::runtime_error("cannot write " + path.string() + ": " + IMG_GetError());
  }
}

}  // namespace tk
