#pragma once

#include <cstddef>
#include <filesystem>
#include <span>

#include "toolkit/surface.hpp"

namespace tk {

// Decodes an image file held in memory (GIF, BMP incl. RLE8, ICO, PNG);
// throws std::runtime_error when it cannot.
Surface DecodeImage(std::span<const unsigned char> bytes);

// Writes the surface as a PNG file; throws std::runtime_error on failure.
void SavePng(const Surface& surface, const std::filesystem::path& path);

}  // namespace tk
