#include "gif_writer.hpp"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <limits>
#include <new>
#include <span>
#include <string>

namespace zenora {

namespace {

constexpr std::size_t kMaxColours = 256;
// Share of the pixels the 256 commonest colours must cover to be used as they
// are, the rest going to their nearest.
constexpr double kNearlyPalettedShare = 0.99;
// What giflib writes goes to the file in pieces of about this size.
constexpr std::size_t kFlushBytes = std::size_t{64} * 1024;

int Red(tk::Pixel p) { return static_cast<int>(p >> 16 & 0xFF); }
int Green(tk::Pixel p) { return static_cast<int>(p >> 8 & 0xFF); }
int Blue(tk::Pixel p) { return static_cast<int>(p & 0xFF); }

GifPalette MakePalette(std::vector<tk::Pixel> colours) {
  GifPalette palette;
  palette.colours = std::move(colours);
  for (std::size_t i = 0; i < palette.colours.size(); ++i) {
    palette.index.Add(palette.colours[i], static_cast<std::uint8_t>(i));
  }
  return palette;
}

GifPalette Quantise(const tk::Surface& frame) {
  const std::size_t n = frame.Pixels().size();
  std::vector<GifByteType> red(n), green(n), blue(n), indices(n);
  for (std::size_t i = 0; i < n; ++i) {
    const tk::Pixel p = frame.Pixels()[i];
    red[i] = static_cast<GifByteType>(Red(p));
    green[i] = static_cast<GifByteType>(Green(p));
    blue[i] = static_cast<GifByteType>(Blue(p));
  }
  std::array<GifColorType, kMaxColours> map{};
  int size = static_cast<int>(kMaxColours);
  if (GifQuantizeBuffer(static_cast<unsigned>(frame.Width()), static_cast<unsigned>(frame.Height()), &size, red.data(),
                        green.data(), blue.data(), indices.data(), map.data()) == GIF_ERROR) {
    throw GifError("cannot reduce the frame's colours");
  }
  std::vector<tk::Pixel> colours;
  for (int i = 0; i < size; ++i) {
    const tk::Pixel p = tk::Pixel{map[i].Red} << 16 | tk::Pixel{map[i].Green} << 8 | map[i].Blue;
    // The quantiser can average two boxes to one colour: keep each once.
    if (std::find(colours.begin(), colours.end(), p) == colours.end()) colours.push_back(p);
  }
  return MakePalette(std::move(colours));
}

int Distance(tk::Pixel a, tk::Pixel b) {
  const int dr = Red(a) - Red(b);
  const int dg = Green(a) - Green(b);
  const int db = Blue(a) - Blue(b);
  return dr * dr + dg * dg + db * db;
}

struct MapFree {
  void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using MapPtr = std::unique_ptr<ColorMapObject, MapFree>;

// giflib wants a power of two entries, at least entries; the spare ones stay black.
int MapSize(std::size_t entries) {
  int size = 2;
  while (static_cast<std::size_t>(size) < entries) size *= 2;
  return size;
}

MapPtr MakeMap(const GifPalette& palette, std::size_t entries) {
  std::vector<GifColorType> colours(static_cast<std::size_t>(MapSize(entries)), GifColorType{0, 0, 0});
  for (std::size_t i = 0; i < palette.colours.size(); ++i) {
    const tk::Pixel p = palette.colours[i];
    colours[i] = GifColorType{static_cast<GifByteType>(Red(p)), static_cast<GifByteType>(Green(p)),
                              static_cast<GifByteType>(Blue(p))};
  }
  MapPtr map(GifMakeMapObject(static_cast<int>(colours.size()), colours.data()));
  if (!map) throw GifError("out of memory for a colour map");
  return map;
}

// The smallest rectangle holding every pixel that differs; empty when none does.
tk::Rect Changed(const std::vector<tk::Pixel>& before, const std::vector<tk::Pixel>& after, int width, int height) {
  const auto row = [&](const std::vector<tk::Pixel>& pixels, int y) {
    return pixels.data() + static_cast<std::ptrdiff_t>(y) * width;
  };
  const auto same = [&](int y) { return std::equal(row(before, y), row(before, y) + width, row(after, y)); };
  int top = 0;
  while (top < height && same(top)) ++top;
  if (top == height) return {};
  int bottom = height - 1;
  while (same(bottom)) --bottom;
  int left = width;
  int right = -1;
  for (int y = top; y <= bottom; ++y) {
    const tk::Pixel* b = row(before, y);
    const tk::Pixel* a = row(after, y);
    for (int x = 0; x < left; ++x) {
      if (a[x] != b[x]) left = x;
    }
    for (int x = width - 1; x > right; --x) {
      if (a[x] != b[x]) right = x;
    }
  }
  return {left, top, right - left + 1, bottom - top + 1};
}

// Calls f(pixel, changed) for each pixel of the area, row by row.
template <typename F>
void EachPixel(const std::vector<tk::Pixel>& pixels, const std::vector<tk::Pixel>& previous, int width,
               const tk::Rect& area, F&& f) {
  for (int y = area.y; y < area.y + area.h; ++y) {
    const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    for (std::size_t i = at + static_cast<std::size_t>(area.x); i < at + static_cast<std::size_t>(area.x + area.w);
         ++i) {
      f(pixels[i], pixels[i] != previous[i]);
    }
  }
}

}  // namespace

GifPalette ChoosePalette(const tk::Surface& frame) {
  std::unordered_map<tk::Pixel, std::size_t> counts;
  for (const tk::Pixel p : frame.Pixels()) ++counts[p];
  std::vector<std::pair<tk::Pixel, std::size_t>> by_use(counts.begin(), counts.end());
  // Commonest first; ties by colour, so the same frame always gives the same file.
  std::sort(by_use.begin(), by_use.end(), [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second > b.second : a.first < b.first;
  });
  std::size_t covered = 0;
  std::vector<tk::Pixel> colours;
  for (std::size_t i = 0; i < by_use.size() && i < kMaxColours; ++i) {
    colours.push_back(by_use[i].first);
    covered += by_use[i].second;
  }
  const auto total = static_cast<double>(frame.Pixels().size());
  if (by_use.size() <= kMaxColours || static_cast<double>(covered) >= kNearlyPalettedShare * total) {
    return MakePalette(std::move(colours));
  }
  return Quantise(frame);
}

void ColourIndex::Add(tk::Pixel colour, std::uint8_t index) {
  std::size_t slot = Slot(colour);
  while (keys_[slot] != kFree && keys_[slot] != colour) slot = (slot + 1) % kSlots;
  if (keys_[slot] == colour) return;
  keys_[slot] = colour;
  values_[slot] = index;
}

void GifWriter::Closer::operator()(GifFileType* gif) const {
  int error = 0;
  EGifCloseFile(gif, &error);
}

GifWriter::GifWriter(const std::filesystem::path& path, int width, int height, int delay_cs)
    : file_(path), width_(width), height_(height), delay_cs_(delay_cs) {
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535) throw GifError("bad GIF size");
  if (delay_cs < 0 || delay_cs > 65535) throw GifError("bad GIF frame delay");
  int error = 0;
  gif_.reset(EGifOpen(this, &GifWriter::Output, &error));
  if (!gif_) throw GifError("cannot write " + path.string() + ": out of memory");
}

int GifWriter::Output(GifFileType* gif, const std::uint8_t* bytes, int length) {
  auto* self = static_cast<GifWriter*>(gif->UserData);
  try {
    self->pending_.insert(self->pending_.end(), bytes, bytes + length);
  } catch (const std::bad_alloc&) {
    return 0;  // giflib's write error
  }
  return length;
}

void GifWriter::Flush() {
  file_.Write(std::as_bytes(std::span(pending_)));
  pending_.clear();
}

void GifWriter::Check(int result, const char* what) const {
  if (result == GIF_ERROR) {
    const char* reason = GifErrorString(gif_->Error);
    throw GifError(std::string("cannot write ") + what + " to " + file_.Path().string() + ": " +
                   (reason ? reason : "unknown error"));
  }
}

void GifWriter::WriteHeader(const GifPalette& palette) {
  const MapPtr map = MakeMap(palette, palette.colours.size());
  EGifSetGifVersion(gif_.get(), true);
  Check(EGifPutScreenDesc(gif_.get(), width_, height_, 8, 0, map.get()), "the screen");
  // Loop forever.
  static constexpr char kApplication[] = "NETSCAPE2.0";
  GifByteType loop[] = {1, 0, 0};
  Check(EGifPutExtensionLeader(gif_.get(), APPLICATION_EXT_FUNC_CODE), "the loop block");
  Check(EGifPutExtensionBlock(gif_.get(), 11, kApplication), "the loop block");
  Check(EGifPutExtensionBlock(gif_.get(), sizeof loop, loop), "the loop block");
  Check(EGifPutExtensionTrailer(gif_.get()), "the loop block");
}

std::uint8_t GifWriter::Nearest(tk::Pixel colour) {
  if (const auto it = nearest_.find(colour); it != nearest_.end()) return it->second;
  std::size_t best = 0;
  int best_distance = std::numeric_limits<int>::max();
  for (std::size_t i = 0; i < global_.colours.size(); ++i) {
    const int d = Distance(colour, global_.colours[i]);
    if (d < best_distance) {
      best_distance = d;
      best = i;
    }
  }
  const auto index = static_cast<std::uint8_t>(best);
  nearest_.emplace(colour, index);
  return index;
}

// Exact where the palette holds the colour; otherwise the nearest global one.
int GifWriter::PaletteIndex(const GifPalette& palette, tk::Pixel colour) {
  const int index = palette.index.Find(colour);
  return index >= 0 ? index : Nearest(colour);
}

// One image of indices_ over area; transparent: the index that leaves the
// pixel as it was, or -1.
void GifWriter::WriteImage(const tk::Rect& area, const GifPalette* local, int transparent) {
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;  // the next frame is drawn over this one
  control.UserInputFlag = false;
  control.DelayTime = delay_cs_;
  control.TransparentColor = transparent >= 0 ? transparent : NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  const auto length = EGifGCBToExtension(&control, extension);
  Check(EGifPutExtension(gif_.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension), "a frame");

  const MapPtr local_map =
      local ? MakeMap(*local, std::max(local->colours.size(), static_cast<std::size_t>(transparent + 1))) : nullptr;
  Check(EGifPutImageDesc(gif_.get(), area.x, area.y, area.w, area.h, false, local_map.get()), "a frame");
  for (int row = 0; row < area.h; ++row) {
    Check(EGifPutLine(gif_.get(), indices_.data() + static_cast<std::ptrdiff_t>(row) * area.w, area.w), "a frame");
  }
  // giflib keeps a copy of a local palette and, at the next frame without
  // one, drops it without freeing it: free it here, once it has been written.
  if (gif_->Image.ColorMap != nullptr) {
    GifFreeMapObject(gif_->Image.ColorMap);
    gif_->Image.ColorMap = nullptr;
  }
}

void GifWriter::WriteFirst(const tk::Surface& frame) {
  const Pixels& pixels = frame.Pixels();
  global_ = ChoosePalette(frame);
  WriteHeader(global_);
  indices_.resize(pixels.size());
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    indices_[i] = static_cast<std::uint8_t>(PaletteIndex(global_, pixels[i]));
  }
  WriteImage(frame.Bounds(), nullptr, -1);
}

// A frame that changes nothing still takes its time: one transparent pixel.
void GifWriter::WriteUnchanged() {
  indices_.assign(1, 0);
  WriteImage({0, 0, 1, 1}, nullptr, 0);
}

// The changed pixels' own palette: none while the global one holds every
// changed colour; else the changed colours alone while they leave a slot
// free; else none, and the global palette's nearest colours stand in.
std::optional<GifPalette> GifWriter::LocalPalette(const Pixels& pixels, const tk::Rect& area) const {
  bool missing = false;
  EachPixel(pixels, previous_, width_, area,
            [&](tk::Pixel p, bool changed) { missing = missing || (changed && global_.index.Find(p) < 0); });
  if (!missing) return std::nullopt;
  std::optional<GifPalette> local(std::in_place);
  EachPixel(pixels, previous_, width_, area, [&](tk::Pixel p, bool changed) {
    if (!changed || !local || local->index.Find(p) >= 0) return;
    if (local->colours.size() == kMaxColours - 1) {
      local.reset();
      return;
    }
    local->index.Add(p, static_cast<std::uint8_t>(local->colours.size()));
    local->colours.push_back(p);
  });
  return local;
}

// The index that leaves a pixel as it was: a free slot, else one that no
// changed pixel needs; -1 when every one is needed.
int GifWriter::TransparentIndex(const GifPalette& palette, bool local, const Pixels& pixels, const tk::Rect& area) {
  if (local || palette.colours.size() < static_cast<std::size_t>(MapSize(palette.colours.size()))) {
    return static_cast<int>(palette.colours.size());
  }
  std::bitset<kMaxColours> used;
  EachPixel(pixels, previous_, width_, area, [&](tk::Pixel p, bool changed) {
    if (changed) used.set(static_cast<std::size_t>(PaletteIndex(palette, p)));
  });
  for (std::size_t i = 0; i < kMaxColours; ++i) {
    if (!used.test(i)) return static_cast<int>(i);
  }
  return -1;
}

// The rectangle around what changed, the rest of it transparent.
void GifWriter::WriteChanged(const Pixels& pixels, const tk::Rect& area) {
  const std::optional<GifPalette> local = LocalPalette(pixels, area);
  const GifPalette& palette = local ? *local : global_;
  const int transparent = TransparentIndex(palette, local.has_value(), pixels, area);
  indices_.clear();
  EachPixel(pixels, previous_, width_, area, [&](tk::Pixel p, bool changed) {
    indices_.push_back(static_cast<std::uint8_t>(changed || transparent < 0 ? PaletteIndex(palette, p) : transparent));
  });
  WriteImage(area, local ? &*local : nullptr, transparent);
}

void GifWriter::AddFrame(const tk::Surface& frame) {
  if (!gif_) throw GifError("the GIF is already finished");
  if (frame.Width() != width_ || frame.Height() != height_) throw GifError("frame size differs from the GIF's");
  const Pixels& pixels = frame.Pixels();
  if (frames_ == 0) {
    WriteFirst(frame);
  } else if (const tk::Rect area = Changed(previous_, pixels, width_, height_); area.Empty()) {
    WriteUnchanged();
  } else {
    WriteChanged(pixels, area);
  }
  previous_ = pixels;
  ++frames_;
  if (pending_.size() >= kFlushBytes) Flush();
}

void GifWriter::Finish() {
  if (!gif_) throw GifError("the GIF is already finished");
  if (frames_ == 0) throw GifError("a GIF needs at least one frame");
  int error = 0;
  if (EGifCloseFile(gif_.release(), &error) == GIF_ERROR) {
    const char* reason = GifErrorString(error);
    throw GifError("cannot finish " + file_.Path().string() + ": " + (reason ? reason : "unknown error"));
  }
  Flush();
  file_.Commit();
}

}  // namespace zenora
