#include "image.hpp"

#include <SDL_image.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

#include "sdl_handles.hpp"

namespace tk {

namespace {

// An SDL surface sharing the pixels of ours (0x00RRGGBB), valid while it lives.
SdlSurfacePtr WrapSurface(const Surface& surface) {
  // SDL does not write through this surface; the cast only satisfies its C signature.
  void* pixels = const_cast<Pixel*>(surface.Pixels().data());
  return SdlSurfacePtr(SDL_CreateRGBSurfaceWithFormatFrom(pixels, surface.Width(), surface.Height(), 32,
                                                          surface.Width() * 4, SDL_PIXELFORMAT_RGB888));
}

}  // namespace

Surface DecodeImage(std::span<const unsigned char> bytes) {
  SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
  SdlSurfacePtr decoded(IMG_Load_RW(rw, 1));
  if (!decoded) throw std::runtime_error(std::string("cannot decode image: ") + IMG_GetError());
  SdlSurfacePtr rgb(SDL_ConvertSurfaceFormat(decoded.get(), SDL_PIXELFORMAT_RGB888, 0));
  if (!rgb) throw std::runtime_error(std::string("cannot convert image: ") + SDL_GetError());
  Surface out(rgb->w, rgb->h);
  SDL_LockSurface(rgb.get());
  for (int y = 0; y < rgb->h; ++y) {
    const auto* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(rgb->pixels) +
                                                      static_cast<std::ptrdiff_t>(y) * rgb->pitch);
    for (int x = 0; x < rgb->w; ++x) out.Set(x, y, row[x] & 0xFFFFFFu);
  }
  SDL_UnlockSurface(rgb.get());
  return out;
}

std::vector<IconImage> DecodeIcon(std::span<const unsigned char> bytes) {
  // The decoder reads one image of a file: hand it each entry as an icon file of its own.
  constexpr std::size_t kHeader = 6, kEntry = 16;
  const auto word = [&](std::size_t at) { return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8); };
  if (bytes.size() < kHeader || word(0) != 0 || word(2) != 1) throw std::runtime_error("not an icon file");
  const std::size_t count = word(4);
  if (bytes.size() < kHeader + count * kEntry) throw std::runtime_error("icon file cut short");
  std::vector<IconImage> images;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = kHeader + i * kEntry;
    const std::size_t size = word(entry + 8) | static_cast<std::size_t>(word(entry + 10)) << 16;
    const std::size_t offset = word(entry + 12) | static_cast<std::size_t>(word(entry + 14)) << 16;
    if (offset > bytes.size() || size > bytes.size() - offset)
      throw std::runtime_error("icon entry past the file's end");
    std::vector<unsigned char> single(bytes.begin(), bytes.begin() + kHeader + kEntry);
    single[4] = 1;
    single[5] = 0;
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(entry), kEntry, single.begin() + kHeader);
    single[kHeader + 12] = kHeader + kEntry;  // the image follows the one entry
    std::fill_n(single.begin() + kHeader + 13, 3, 0);
    single.insert(single.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                  bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
    SdlSurfacePtr decoded(
        IMG_LoadTyped_RW(SDL_RWFromConstMem(single.data(), static_cast<int>(single.size())), 1, "ICO"));
    if (!decoded) throw std::runtime_error(std::string("cannot decode icon: ") + IMG_GetError());
    SdlSurfacePtr argb(SDL_ConvertSurfaceFormat(decoded.get(), SDL_PIXELFORMAT_ARGB8888, 0));
    if (!argb) throw std::runtime_error(std::string("cannot convert icon: ") + SDL_GetError());
    IconImage image{argb->w, argb->h, std::vector<std::uint32_t>(static_cast<std::size_t>(argb->w * argb->h))};
    SDL_ConvertPixels(argb->w, argb->h, SDL_PIXELFORMAT_ARGB8888, argb->pixels, argb->pitch, SDL_PIXELFORMAT_ARGB8888,
                      image.argb.data(), argb->w * 4);
    images.push_back(std::move(image));
  }
  return images;
}

namespace {

struct RwClose {
  void operator()(SDL_RWops* rw) const { SDL_RWclose(rw); }
};

}  // namespace

std::vector<unsigned char> EncodePng(const Surface& surface) {
  // Room for every pixel stored without compression, with every chunk's and
  // block's header: more than the encoder ever needs. A full buffer would
  // mean a file cut short.
  const std::size_t raw = surface.Pixels().size() * 4 + static_cast<std::size_t>(surface.Height());
  std::vector<unsigned char> bytes(raw + raw / 64 + 65536);
  const SdlSurfacePtr wrapped = WrapSurface(surface);
  const std::unique_ptr<SDL_RWops, RwClose> out(SDL_RWFromMem(bytes.data(), static_cast<int>(bytes.size())));
  if (!wrapped || !out || IMG_SavePNG_RW(wrapped.get(), out.get(), 0) != 0) {
    throw std::runtime_error(std::string("cannot make a PNG of the frame: ") + IMG_GetError());
  }
  const auto size = static_cast<std::size_t>(SDL_RWtell(out.get()));
  if (size >= bytes.size()) throw std::runtime_error("cannot make a PNG of the frame: too large");
  bytes.resize(size);
  return bytes;
}

}  // namespace tk
