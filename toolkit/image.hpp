#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "toolkit/surface.hpp"

namespace tk {

// Decodes an image file held in memory (GIF, BMP incl. RLE8, ICO, PNG);
// throws std::runtime_error when it cannot.
Surface DecodeImage(std::span<const unsigned char> bytes);

// One image of an icon with its transparency: 0xAARRGGBB pixels, row by row.
struct IconImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> argb;
};

// Every image of an icon file (ICO) held in memory, in the file's order;
// throws std::runtime_error when it cannot decode one.
std::vector<IconImage> DecodeIcon(std::span<const unsigned char> bytes);

// Writes the surface as a PNG file; throws std::runtime_error on failure.
void SavePng(const Surface& surface, const std::filesystem::path& path);

}  // namespace tk
