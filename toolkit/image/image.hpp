#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "icon.hpp"
#include "surface.hpp"

// Images through SDL_image: the window's own, and frames as PNG files.
namespace tk {

// Decodes an image file held in memory (GIF, BMP incl. RLE8, ICO, PNG);
// throws std::runtime_error when it cannot.
Surface DecodeImage(std::span<const unsigned char> bytes);

// Every image of an icon file (ICO) held in memory, in the file's order;
// throws std::runtime_error when it cannot decode one.
std::vector<IconImage> DecodeIcon(std::span<const unsigned char> bytes);

// The surface as a PNG file's bytes, for the caller to write as it must;
// throws std::runtime_error when it cannot.
std::vector<unsigned char> EncodePng(const Surface& surface);

}  // namespace tk
