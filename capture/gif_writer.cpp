#include "capture/gif_writer.hpp"

#include <fcntl.h>
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>

namespace zenora {

namespace {

constexpr std::size_t kMaxColours = 256;
// Share of the pixels the 256 commonest colours must cover to be used as they
// are, the rest going to their nearest.
constexpr double kNearlyPalettedShare = 0.99;

int Red(tk::Pixel p) { return static_cast<int>(p >> 16 & 0xFF); }
int Green(tk::Pixel p) { return static_cast<int>(p >> 8 & 0xFF); }
int Blue(tk::Pixel p) { return static_cast<int>(p & 0xFF); }

GifPalette MakePalette(std::vector<tk::Pixel> colours) {
  GifPalette palette;
  palette.colours = std::move(colours);
  for (std::size_t i = 0; i < palette.colours.size(); ++i) {
    palette.index.emplace(palette.colours[i], static_cast<std::uint8_t>(i));
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

// giflib wants a power of two entries; the spare ones stay black.
MapPtr MakeMap(const GifPalette& palette) {
  int size = 2;
  while (static_cast<std::size_t>(size) < palette.colours.size()) size *= 2;
  std::vector<GifColorType> entries(static_cast<std::size_t>(size), GifColorType{0, 0, 0});
  for (std::size_t i = 0; i < palette.colours.size(); ++i) {
    const tk::Pixel p = palette.colours[i];
    entries[i] = GifColorType{static_cast<GifByteType>(Red(p)), static_cast<GifByteType>(Green(p)),
                              static_cast<GifByteType>(Blue(p))};
  }
  MapPtr map(GifMakeMapObject(size, entries.data()));
  if (!map) throw GifError("out of memory for a colour map");
  return map;
}

// The smallest rectangle holding every pixel that differs; empty when none does.
tk::Rect Changed(const tk::Surface& before, const tk::Surface& after) {
  int left = after.Width(), top = after.Height(), right = -1, bottom = -1;
  for (int y = 0; y < after.Height(); ++y) {
    for (int x = 0; x < after.Width(); ++x) {
      if (before.At(x, y) == after.At(x, y)) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return {};
  return {left, top, right - left + 1, bottom - top + 1};
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

void GifWriter::Closer::operator()(GifFileType* gif) const {
  int error = 0;
  EGifCloseFile(gif, &error);
}

GifWriter::GifWriter(const std::filesystem::path& path, int width, int height, int delay_cs)
    : path_(path), width_(width), height_(height), delay_cs_(delay_cs) {
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535) throw GifError("bad GIF size");
  if (delay_cs < 0 || delay_cs > 65535) throw GifError("bad GIF frame delay");
  // Opened here rather than by giflib, which would make the file private to its owner.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw GifError("cannot write " + path.string() + ": " + std::strerror(errno));
  int error = 0;
  gif_.reset(EGifOpenFileHandle(fd, &error));  // owns fd from here on, when it succeeds
  if (!gif_) {
    ::close(fd);
    std::filesystem::remove(path);
    throw GifError("cannot write " + path.string() + ": " + GifErrorString(error));
  }
}

GifWriter::~GifWriter() {
  if (!gif_) return;
  gif_.reset();
  std::error_code ec;
  std::filesystem::remove(path_, ec);
}

void GifWriter::Check(int result, const char* what) const {
  if (result == GIF_ERROR) {
    const char* reason = GifErrorString(gif_->Error);
    throw GifError(std::string("cannot write ") + what + " to " + path_.string() + ": " +
                   (reason ? reason : "unknown error"));
  }
}

void GifWriter::WriteHeader(const GifPalette& palette) {
  const MapPtr map = MakeMap(palette);
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

void GifWriter::AddFrame(const tk::Surface& frame) {
  if (!gif_) throw GifError("the GIF is already finished");
  if (frame.Width() != width_ || frame.Height() != height_) throw GifError("frame size differs from the GIF's");

  if (frames_ == 0) {
    global_ = ChoosePalette(frame);
    WriteHeader(global_);
  }

  // Only what changed; a frame that changes nothing still takes its time.
  tk::Rect area = previous_ ? Changed(*previous_, frame) : frame.Bounds();
  if (area.Empty()) area = {0, 0, 1, 1};
  std::vector<tk::Pixel> pixels;
  pixels.reserve(static_cast<std::size_t>(area.w) * static_cast<std::size_t>(area.h));
  for (int y = area.y; y < area.y + area.h; ++y) {
    for (int x = area.x; x < area.x + area.w; ++x) pixels.push_back(frame.At(x, y));
  }

  // Which palette: the global one when it holds every colour exactly, else an
  // exact one of the rectangle's own, else the global one by nearest colour.
  std::optional<GifPalette> local;
  if (!std::all_of(pixels.begin(), pixels.end(), [&](tk::Pixel p) { return global_.index.contains(p); })) {
    std::vector<tk::Pixel> colours = pixels;
    std::sort(colours.begin(), colours.end());
    colours.erase(std::unique(colours.begin(), colours.end()), colours.end());
    if (colours.size() <= kMaxColours) local = MakePalette(std::move(colours));
  }
  const GifPalette& palette = local ? *local : global_;

  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.UserInputFlag = false;
  control.DelayTime = delay_cs_;
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  const auto length = EGifGCBToExtension(&control, extension);
  Check(EGifPutExtension(gif_.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension), "a frame");

  const MapPtr local_map = local ? MakeMap(*local) : nullptr;
  Check(EGifPutImageDesc(gif_.get(), area.x, area.y, area.w, area.h, false, local_map.get()), "a frame");
  std::vector<GifPixelType> line(static_cast<std::size_t>(area.w));
  for (int row = 0; row < area.h; ++row) {
    for (int x = 0; x < area.w; ++x) {
      const tk::Pixel p =
          pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(area.w) + static_cast<std::size_t>(x)];
      const auto it = palette.index.find(p);
      line[static_cast<std::size_t>(x)] = it != palette.index.end() ? it->second : Nearest(p);
    }
    Check(EGifPutLine(gif_.get(), line.data(), area.w), "a frame");
  }
  // giflib keeps a copy of a local palette and, at the next frame without
  // one, drops it without freeing it: free it here, once it has been written.
  if (gif_->Image.ColorMap != nullptr) {
    GifFreeMapObject(gif_->Image.ColorMap);
    gif_->Image.ColorMap = nullptr;
  }
  previous_ = frame;
  ++frames_;
}

void GifWriter::Finish() {
  if (!gif_) throw GifError("the GIF is already finished");
  if (frames_ == 0) throw GifError("a GIF needs at least one frame");
  int error = 0;
  if (EGifCloseFile(gif_.release(), &error) == GIF_ERROR) {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
    const char* reason = GifErrorString(error);
    throw GifError("cannot finish " + path_.string() + ": " + (reason ? reason : "unknown error"));
  }
}

}  // namespace zenora
