// The music as the library renders it natively: a module loaded as the intro
// loads it, decoded from its start as an output pulls it, written to stdout
// as raw 16-bit stereo. The page test compares what its page handed to Web
// Audio with it.  usage: music_decode MODULE FRAMES
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bassmod.h"
#include "bassmod.hpp"

int main(int argc, char** argv) try {
  const long frames = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 0;
  if (frames <= 0) {
    std::fprintf(stderr, "usage: music_decode MODULE FRAMES\n");
    return 2;
  }
  std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * 2);
  if (BASSMOD_SetDefaultDevice(BASSMOD_DEVICE_NO_SOUND) == 0 || BASSMOD_Init(-1, sound::kOutputRate, 0) == 0 ||
      BASSMOD_MusicLoad(0, argv[1], 0, 0, sound::kMusicFlags) == 0 || BASSMOD_MusicPlay() == 0 ||
      BASSMOD_MusicDecode(samples.data(), static_cast<DWORD>(frames)) == 0) {
    std::fprintf(stderr, "music_decode: the library failed with code %d\n", BASSMOD_ErrorGetCode());
    return 1;
  }
  return std::fwrite(samples.data(), sizeof samples[0], samples.size(), stdout) == samples.size() ? 0 : 1;
} catch (...) {  // no memory for the samples
  std::fprintf(stderr, "music_decode: out of memory\n");
  return 1;
}
