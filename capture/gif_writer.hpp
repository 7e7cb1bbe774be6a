#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "capture/capture_error.hpp"
#include "toolkit/surface.hpp"

struct GifFileType;

namespace zenora {

class GifError : public CaptureError {
 public:
  using CaptureError::CaptureError;
};

// Up to 256 colours and, for each colour it holds exactly, its index.
struct GifPalette {
  std::vector<tk::Pixel> colours;
  std::unordered_map<tk::Pixel, std::uint8_t> index;
};

// Chooses the palette for a frame: its own colours when there are 256 or
// fewer; its 256 commonest when they cover nearly every pixel (a picture of
// 255 colours plus a few drawn ones), the rest taking their nearest; otherwise
// giflib's median-cut quantiser.
GifPalette ChoosePalette(const tk::Surface& frame);

// Streams an endlessly looping animated GIF, one frame at a time, so memory
// stays flat however long the animation is. The first frame's palette becomes
// the global one; a later frame with colours outside it gets an exact local
// palette when it has 256 colours or fewer, otherwise its colours map to the
// nearest global ones, so a busy background does not shimmer from frame to
// frame. Each frame stores only the rectangle that changed.
class GifWriter {
 public:
  // delay_cs: how long each frame shows, in hundredths of a second.
  GifWriter(const std::filesystem::path& path, int width, int height, int delay_cs);  // throws GifError
  // Without Finish the file is incomplete and is removed.
  ~GifWriter();
  GifWriter(const GifWriter&) = delete;
  GifWriter& operator=(const GifWriter&) = delete;

  void AddFrame(const tk::Surface& frame);  // throws GifError
  void Finish();                            // throws GifError
  int Frames() const { return frames_; }

 private:
  struct Closer {
    void operator()(GifFileType* gif) const;
  };

  void Check(int result, const char* what) const;
  void WriteHeader(const GifPalette& palette);
  std::uint8_t Nearest(tk::Pixel colour);

  std::filesystem::path path_;
  int width_;
  int height_;
  int delay_cs_;
  std::unique_ptr<GifFileType, Closer> gif_;
  GifPalette global_;
  // Colours outside the global palette, resolved once.
  std::unordered_map<tk::Pixel, std::uint8_t> nearest_;
  std::optional<tk::Surface> previous_;
  int frames_ = 0;
};

}  // namespace zenora
