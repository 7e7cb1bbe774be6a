// What the logo draws, reduced to digests that two builds can compare: the
// native one and the WebAssembly one must print the same lines.
//
//   logo_scan frames TICKS [BLOCK]     the intro's own run (spins from the
//                                      unseeded generator, a new pick every 50
//                                      ticks): the 96 coordinates each pass hands
//                                      to the line operation, tick by tick
//   logo_scan degrees FROM TO [BLOCK]  sine and cosine of every whole degree
//
// --with SOURCE (default logo) picks the sines and cosines digested:
//   logo   logo::Sin and logo::Cos, what the program draws with
//   libm   the C library's std::sin and std::cos
//   exact  binary128 rounded once (libquadmath natively, long double in
//          WebAssembly): correctly rounded but in astronomically rare cases
// --against SOURCE adds figures (lines starting with #): how many ticks or
// angles come out differently with the other source, and for frames how many
// ticks draw a coordinate or a pixel differently.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "edge_table.hpp"
#include "logo_motion.hpp"
#include "projection.hpp"
#include "rnd.hpp"
#include "transform.hpp"
#include "trig.hpp"
#include "units.hpp"

#if defined(__SIZEOF_FLOAT128__) && !defined(__EMSCRIPTEN__)
// libquadmath's, declared here: clang does not see GCC's own quadmath.h.
extern "C" __float128 sinq(__float128);
extern "C" __float128 cosq(__float128);
#endif

namespace {

enum class Source { Logo, Libm, Exact };

std::optional<Source> SourceNamed(std::string_view name) {
  if (name == "logo") return Source::Logo;
  if (name == "libm") return Source::Libm;
  if (name == "exact") return Source::Exact;
  return std::nullopt;
}

struct SineCosine {
  double sin, cos;
};

SineCosine Exact(double x) {
#ifdef __EMSCRIPTEN__
  static_assert(sizeof(long double) == 16, "binary128 long double");
  return {static_cast<double>(std::sin(static_cast<long double>(x))),
          static_cast<double>(std::cos(static_cast<long double>(x)))};
#elif defined(__SIZEOF_FLOAT128__)
  return {static_cast<double>(sinq(x)), static_cast<double>(cosq(x))};
#else
#error "no binary128 here"
#endif
}

double Radians(double degrees) { return degrees * std::numbers::pi / 180; }

SineCosine Of(Source source, double degrees) {
  const double x = Radians(degrees);
  switch (source) {
    case Source::Logo: return {logo::Sin(x), logo::Cos(x)};
    case Source::Libm: return {std::sin(x), std::cos(x)};
    case Source::Exact: return Exact(x);
  }
  return {};
}

logo::Rotation RotationOf(Source source, double a, double b, double c) {
  if (source == Source::Logo) return logo::Rotation::FromAngles(a, b, c);  // the very code that draws
  const SineCosine sa = Of(source, a), sb = Of(source, b), sc = Of(source, c);
  return {sa.cos, sa.sin, sb.cos, sb.sin, sc.cos, sc.sin};
}

bool SameRotation(const logo::Rotation& r, const logo::Rotation& q) {
  return r.sA == q.sA && r.cA == q.cA && r.sB == q.sB && r.cB == q.cB && r.sC == q.sC && r.cC == q.cC;
}

// FNV-1a over the bytes of the values.
class Digest {
 public:
  template <typename T>
  void Add(T value) {
    unsigned char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    for (const unsigned char byte : bytes) hash_ = (hash_ ^ byte) * 1099511628211u;
  }
  std::uint64_t Value() const { return hash_; }

 private:
  std::uint64_t hash_ = 14695981039346656037u;
};

// One pass of the intro's window (4800 x 2835 twips): the line ends as the
// line operation gets them.
std::vector<float> Pass(const logo::EdgeTable& edges, const logo::Rotation& r) {
  constexpr float kHalfWidth = 4800 / 2.0f, kHalfHeight = 2835 / 2.0f;
  const logo::Shifts shifts{logo::kShiftX, logo::kShiftZ, logo::kShiftY, logo::kPerspective};
  std::vector<float> ends;
  for (const logo::Edge& edge : edges.Edges()) {
    for (const logo::Point3D& p : {edge.first, edge.second}) {
      const logo::ScreenPoint s = logo::Transform(p, r, shifts, kHalfWidth, kHalfHeight);
      ends.push_back(logo::ToSingle(s.x));
      ends.push_back(logo::ToSingle(s.y));
    }
  }
  return ends;
}

bool SamePixels(std::span<const float> a, std::span<const float> b) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (tk::TwipsToPixels(a[i]) != tk::TwipsToPixels(b[i])) return false;
  }
  return true;
}

void Frames(std::int64_t ticks, std::int64_t block, Source with, std::optional<Source> against) {
  logo::EdgeTable edges;
  edges.BuildLogo(-2, -2, -2, 2, 2, -4);
  logo::LogoMotion motion;
  motion.SetStartSpins();
  tk::Rnd rnd;
  constexpr std::int64_t kTicksPerTune = 1000 / 20;  // TimerTune fires first when both are due
  std::int64_t trig = 0, coordinates = 0, pixels = 0;
  Digest digest;
  for (std::int64_t tick = 1; tick <= ticks; ++tick) {
    if (tick % kTicksPerTune == 0) motion.PickSpins(rnd);
    const logo::Rotation r = RotationOf(with, motion.AngleA(), motion.AngleB(), motion.AngleC());
    const std::vector<float> ends = Pass(edges, r);
    for (const float end : ends) digest.Add(end);
    if (against) {
      const logo::Rotation q = RotationOf(*against, motion.AngleA(), motion.AngleB(), motion.AngleC());
      if (!SameRotation(r, q)) {
        ++trig;
        const std::vector<float> other = Pass(edges, q);
        if (ends != other) ++coordinates;
        if (!SamePixels(ends, other)) ++pixels;
      }
    }
    motion.AdvanceAngles();
    if (tick % block == 0 || tick == ticks) {
      std::printf("frames %lld %016llx\n", static_cast<long long>(tick),
                  static_cast<unsigned long long>(digest.Value()));
      digest = Digest();
    }
  }
  std::printf("# largest angles reached: A %.0f, B %.0f, C %.0f\n", motion.AngleA(), motion.AngleB(), motion.AngleC());
  if (against) {
    std::printf(
        "# against the other source: %lld ticks, %lld with a sine or cosine of another bit, "
        "%lld drawing another coordinate, %lld another pixel\n",
        static_cast<long long>(ticks), static_cast<long long>(trig), static_cast<long long>(coordinates),
        static_cast<long long>(pixels));
  }
}

void Degrees(std::int64_t from, std::int64_t to, std::int64_t block, Source with, std::optional<Source> against) {
  std::int64_t sines = 0, cosines = 0, either = 0;
  Digest digest;
  for (std::int64_t n = from; n < to; ++n) {
    const auto degrees = static_cast<double>(n);
    const SineCosine v = Of(with, degrees);
    digest.Add(v.sin);
    digest.Add(v.cos);
    if (against) {
      const SineCosine w = Of(*against, degrees);
      sines += v.sin != w.sin;
      cosines += v.cos != w.cos;
      either += v.sin != w.sin || v.cos != w.cos;
    }
    if ((n + 1 - from) % block == 0 || n + 1 == to) {
      std::printf("degrees %lld %016llx\n", static_cast<long long>(n), static_cast<unsigned long long>(digest.Value()));
      digest = Digest();
    }
  }
  if (against) {
    std::printf("# against the other source: %lld angles, %lld sines and %lld cosines of another bit (%lld angles)\n",
                static_cast<long long>(to - from), static_cast<long long>(sines), static_cast<long long>(cosines),
                static_cast<long long>(either));
  }
}

std::optional<std::int64_t> Count(std::string_view text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

int Usage() {
  std::fputs(
      "usage: logo_scan frames TICKS [BLOCK] | degrees FROM TO [BLOCK]  [--with S] [--against S]\n"
      "       S: logo, libm or exact\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  Source with = Source::Logo;
  std::optional<Source> against;
  std::vector<std::int64_t> numbers;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if ((args[i] == "--with" || args[i] == "--against") && i + 1 < args.size()) {
      const std::optional<Source> source = SourceNamed(args[i + 1]);
      if (!source) return Usage();
      (args[i] == "--with" ? with : against.emplace()) = *source;
      ++i;
    } else if (const std::optional<std::int64_t> n = Count(args[i])) {
      numbers.push_back(*n);
    } else {
      return Usage();
    }
  }
  if (args.empty()) return Usage();
  if (args[0] == "frames" && (numbers.size() == 1 || numbers.size() == 2) && numbers[0] > 0) {
    Frames(numbers[0], numbers.size() == 2 && numbers[1] > 0 ? numbers[1] : 100000, with, against);
    return 0;
  }
  if (args[0] == "degrees" && (numbers.size() == 2 || numbers.size() == 3) && numbers[0] < numbers[1]) {
    Degrees(numbers[0], numbers[1], numbers.size() == 3 && numbers[2] > 0 ? numbers[2] : 1 << 20, with, against);
    return 0;
  }
  return Usage();
}
