// load_cycles MODULE CYCLES: the music loaded (from the file and from memory in
// turn), played and freed over and over while an output runs (SDL's dummy
// driver pulls from the player in real time, so frees meet renders), with the
// library closed and reopened every 100 cycles. Built with LeakSanitizer,
// which checks for leaks at exit; resident memory may not grow by 1 MB.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bassmod.h"

namespace {

double ResidentMb() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::atoi(argv[2]) < 1) {
    std::fprintf(stderr, "usage: load_cycles MODULE CYCLES\n");
    return 2;
  }
  const std::string path = argv[1];
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  const DWORD flags = BASSMOD_MUSIC_RAMPS | BASSMOD_MUSIC_SURROUND;  // as the program loads it
  const auto cycle = [&](int i) {
    const bool ok = (i % 2 == 0 ? BASSMOD_MusicLoad(0, path.c_str(), 0, 0, flags)
                                : BASSMOD_MusicLoad(1, bytes.data(), 0, static_cast<DWORD>(bytes.size()), flags)) &&
                    BASSMOD_MusicPlay();
    if (ok) BASSMOD_MusicFree();
    return ok && (i % 100 != 99 || (BASSMOD_Free() && BASSMOD_Init(BASSMOD_DEVICE_DEFAULT, 44100, 0)));
  };
  bool ok = !bytes.empty() && BASSMOD_Init(BASSMOD_DEVICE_DEFAULT, 44100, 0);
  for (int i = 0; ok && i < 20; ++i) ok = cycle(i);  // the allocator and SDL settle first
  const double before = ResidentMb();
  for (int i = 0; ok && i < std::atoi(argv[2]); ++i) ok = cycle(i);
  if (!ok) {
    std::fprintf(stderr, "load_cycles: %s failed to load, play or free: code %d\n", path.c_str(),
                 BASSMOD_ErrorGetCode());
    return 1;
  }
  const double growth = ResidentMb() - before;
  BASSMOD_Free();
  std::printf(
      "load_cycles: %s cycles of %s (a library close and reopen every 100): resident memory %+.0f kB, "
      "allowed +1024 kB; LeakSanitizer checks for leaks as the process ends\n",
      argv[2], path.c_str(), growth * 1024.0);
  return growth > 1.0 ? 1 : 0;
}
