// Each image decoded by SDL2_image (BMP, GIF, ICO), as its size and a digest
// of its pixels in one format; then the first one through PNG and back, which
// must give the same pixels.
#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <SDL_image.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct SurfaceFree {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFree>;

SurfacePtr Argb(SurfacePtr decoded) {
  if (!decoded) return nullptr;
  return SurfacePtr(SDL_ConvertSurfaceFormat(decoded.get(), SDL_PIXELFORMAT_ARGB8888, 0));
}

std::uint64_t Digest(const SDL_Surface& s) {
  std::uint64_t digest = 14695981039346656037u;
  for (int y = 0; y < s.h; ++y) {
    const auto* row = static_cast<const unsigned char*>(s.pixels) + static_cast<std::ptrdiff_t>(y) * s.pitch;
    for (int x = 0; x < 4 * s.w; ++x) digest = (digest ^ row[x]) * 1099511628211u;
  }
  return digest;
}

}  // namespace

int main(int argc, char** argv) {
  SDL_SetMainReady();
  SurfacePtr first;
  for (int i = 1; i < argc; ++i) {
    SurfacePtr image = Argb(SurfacePtr(IMG_Load(argv[i])));
    if (!image) {
      std::fprintf(stderr, "image_decode: %s: %s\n", argv[i], IMG_GetError());
      return 1;
    }
    const char* name = std::strrchr(argv[i], '/');
    std::printf("%s %dx%d %016llx\n", name ? name + 1 : argv[i], image->w, image->h,
                static_cast<unsigned long long>(Digest(*image)));
    if (!first) first = std::move(image);
  }
  if (!first) return 0;
  std::vector<unsigned char> png(1 << 20);
  SDL_RWops* out = SDL_RWFromMem(png.data(), static_cast<int>(png.size()));
  if (IMG_SavePNG_RW(first.get(), out, 0) != 0) {
    std::fprintf(stderr, "image_decode: PNG: %s\n", IMG_GetError());
    return 1;
  }
  const auto size = SDL_RWtell(out);
  SDL_RWclose(out);
  SurfacePtr back = Argb(SurfacePtr(IMG_Load_RW(SDL_RWFromConstMem(png.data(), static_cast<int>(size)), 1)));
  std::printf("PNG and back: %s\n", back && Digest(*back) == Digest(*first) ? "the same pixels" : "DIFFERENT");
  return 0;
}
