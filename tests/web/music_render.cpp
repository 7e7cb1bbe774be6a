// The first second of a module as the program's library renders it (44,100 Hz
// stereo, no dither): frames, RMS and a digest of the samples. Then a damaged
// copy, which must come back as libopenmpt's exception and not end the program.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <libopenmpt/libopenmpt.hpp>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: music_render MODULE\n", stderr);
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary | std::ios::ate);
  const std::streamoff size = file ? static_cast<std::streamoff>(file.tellg()) : 0;
  std::vector<char> bytes(static_cast<std::size_t>(std::max<std::streamoff>(size, 0)));
  if (size <= 0 || !file.seekg(0) || !file.read(bytes.data(), size)) {
    std::fprintf(stderr, "music_render: cannot read %s\n", argv[1]);
    return 1;
  }
  constexpr std::int32_t kRate = 44100;
  try {
    openmpt::module module(bytes);
    module.ctl_set_integer("dither", 0);
    std::vector<std::int16_t> samples(2 * kRate);
    std::size_t frames = 0;
    while (frames < kRate) {
      const std::size_t got = module.read_interleaved_stereo(kRate, kRate - frames, samples.data() + 2 * frames);
      if (got == 0) break;
      frames += got;
    }
    double squares = 0;
    std::uint64_t digest = 14695981039346656037u;
    for (std::size_t i = 0; i < 2 * frames; ++i) {
      squares += static_cast<double>(samples[i]) * samples[i];
      digest = (digest ^ static_cast<std::uint16_t>(samples[i])) * 1099511628211u;
    }
    const double rms = frames == 0 ? 0 : std::sqrt(squares / static_cast<double>(2 * frames));
    std::printf("%zu frames, rms %.2f, digest %016llx\n", frames, rms, static_cast<unsigned long long>(digest));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "music_render: %s\n", e.what());
    return 1;
  }
  std::vector<char> damaged(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 64));
  for (std::size_t i = 0; i < damaged.size(); i += 3) damaged[i] = static_cast<char>(0xA5);
  try {
    openmpt::module module(damaged);
    std::puts("damaged copy loaded");
  } catch (const openmpt::exception&) {
    std::puts("damaged copy refused");
  }
  return 0;
}
