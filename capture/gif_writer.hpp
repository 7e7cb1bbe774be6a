#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "capture_error.hpp"
#include "surface.hpp"
#include "whole_file.hpp"

struct GifFileType;

namespace zenora {

class GifError : public CaptureError {
 public:
  using CaptureError::CaptureError;
};

// Palette indexes of up to 256 colours, looked up for every changed pixel of
// every frame: a small open-addressed table.
class ColourIndex {
 public:
  ColourIndex() { keys_.fill(kFree); }
  // The colour's index, or -1.
  int Find(tk::Pixel colour) const {
    for (std::size_t slot = Slot(colour);; slot = (slot + 1) % kSlots) {
      if (keys_[slot] == colour) return values_[slot];
      if (keys_[slot] == kFree) return -1;
    }
  }
  // A colour already there keeps its index.
  void Add(tk::Pixel colour, std::uint8_t index);

 private:
  static constexpr std::size_t kSlots = 1024;     // at most a quarter full
  static constexpr tk::Pixel kFree = 0xFF000000;  // no 24-bit colour
  static std::size_t Slot(tk::Pixel colour) { return (colour * 2654435761u) >> 22; }
  std::array<tk::Pixel, kSlots> keys_;
  std::array<std::uint8_t, kSlots> values_{};
};

// Up to 256 colours and, for each colour it holds exactly, its index.
struct GifPalette {
  std::vector<tk::Pixel> colours;
  ColourIndex index;
};

// Chooses the palette for a frame: its own colours when there are 256 or
// fewer; its 256 commonest when they cover nearly every pixel (a picture of
// 255 colours plus a few drawn ones), the rest taking their nearest; otherwise
// giflib's median-cut quantiser.
GifPalette ChoosePalette(const tk::Surface& frame);

// Streams an endlessly looping animated GIF, one frame at a time, so memory
// stays flat however long the animation is, and writes it as an optimiser
// would: the first frame's palette is the global one; every later frame is
// only the rectangle around what changed, each frame drawn over the one
// before, with the pixels that stay as they were transparent, so that long
// runs of them pack into few codes. A frame whose changed colours are not
// all in the global palette gets a small exact palette of its own (255
// colours or fewer, plus the transparent one); beyond that its colours map to
// the nearest global ones, so a busy background does not shimmer from frame
// to frame. The file takes its name only in Finish (a WholeFile); dropped
// before, it is removed.
class GifWriter {
 public:
  // delay_cs: how long each frame shows, in hundredths of a second.
  GifWriter(const std::filesystem::path& path, int width, int height, int delay_cs);  // throws CaptureError
  GifWriter(const GifWriter&) = delete;
  GifWriter& operator=(const GifWriter&) = delete;

  void AddFrame(const tk::Surface& frame);  // throws CaptureError
  void Finish();                            // throws CaptureError
  int Frames() const { return frames_; }

 private:
  struct Closer {
    void operator()(GifFileType* gif) const;
  };
  using Pixels = std::vector<tk::Pixel>;

  // giflib's writes, kept until there are enough for the file.
  static int Output(GifFileType* gif, const std::uint8_t* bytes, int length);
  void Flush();
  void Check(int result, const char* what) const;
  void WriteHeader(const GifPalette& palette);
  void WriteFirst(const tk::Surface& frame);
  void WriteUnchanged();
  void WriteChanged(const Pixels& pixels, const tk::Rect& area);
  std::optional<GifPalette> LocalPalette(const Pixels& pixels, const tk::Rect& area) const;
  int TransparentIndex(const GifPalette& palette, bool local, const Pixels& pixels, const tk::Rect& area);
  void WriteImage(const tk::Rect& area, const GifPalette* local, int transparent);
  int PaletteIndex(const GifPalette& palette, tk::Pixel colour);
  std::uint8_t Nearest(tk::Pixel colour);

  WholeFile file_;
  std::vector<std::uint8_t> pending_;
  int width_;
  int height_;
  int delay_cs_;
  std::unique_ptr<GifFileType, Closer> gif_;  // after pending_, which its closing writes to
  GifPalette global_;
  // Colours outside the global palette, resolved once.
  std::unordered_map<tk::Pixel, std::uint8_t> nearest_;
  Pixels previous_;
  // Per pixel of the frame's rectangle: what is written, as a palette index.
  std::vector<std::uint8_t> indices_;
  int frames_ = 0;
};

}  // namespace zenora
