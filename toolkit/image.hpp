#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <vector>

#include "toolkit/icon.hpp"
#include "toolkit/surface.hpp"

// Images through SDL_image: the window's own, and frames saved as files.
namespace tk {

// Decodes an image file held in memory (GIF, BMP incl. RLE8, ICO, PNG);
// throws std::runtime_error when it cannot.
Surface DecodeImage(std::span<const unsigned char> bytes);

// Every image of an icon file (ICO) held in memory, in the file's order;
// throws std::runtime_error when it cannot decode one.
std::vector<IconImage> DecodeIcon(std::span<const unsigned char> bytes);

// Writes the surface as a PNG file; throws std::runtime_error on failure.
void SavePng(const Surface& surface, const std::filesystem::path& path);

}  // namespace tk
