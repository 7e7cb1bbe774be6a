// load_cycles MODULE CYCLES: the music loaded, played and freed over and over
// while an output runs (SDL's dummy driver: its audio thread pulls from the
// player in real time, so frees meet renders), alternating loads from the
// file and from memory, and closing and reopening the library every 100
// cycles. Built with LeakSanitizer, which checks for leaks at exit; resident
// memory is printed before and after and must stay flat.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "soundlib/bassmod.h"

namespace {

constexpr DWORD kRate = 44100;
constexpr DWORD kProgramFlags = BASSMOD_MUSIC_RAMPS | BASSMOD_MUSIC_SURROUND;
constexpr int kWarmUp = 20;  // the allocator and SDL settle first
constexpr double kAllowedGrowthMb = 1.0;

double ResidentMb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

bool Check(BOOL ok, const char* call, int cycle) {
  if (ok == 0)
    std::fprintf(stderr, "load_cycles: %s failed in cycle %d with code %d\n", call, cycle, BASSMOD_ErrorGetCode());
  return ok != 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::atoi(argv[2]) < 1) {
    std::fprintf(stderr, "usage: load_cycles MODULE CYCLES\n");
    return 2;
  }
  const std::string path = argv[1];
  const int cycles = std::atoi(argv[2]);
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty()) {
    std::fprintf(stderr, "load_cycles: cannot read %s\n", path.c_str());
    return 1;
  }
  setenv("SDL_AUDIODRIVER", "dummy", 0);

  if (!Check(BASSMOD_Init(BASSMOD_DEVICE_DEFAULT, kRate, 0), "BASSMOD_Init", 0)) return 1;
  const auto cycle = [&](int i) {
    const BOOL loaded = i % 2 == 0
                            ? BASSMOD_MusicLoad(0, path.c_str(), 0, 0, kProgramFlags)
                            : BASSMOD_MusicLoad(1, bytes.data(), 0, static_cast<DWORD>(bytes.size()), kProgramFlags);
    if (!Check(loaded, "BASSMOD_MusicLoad", i) || !Check(BASSMOD_MusicPlay(), "BASSMOD_MusicPlay", i)) return false;
    BASSMOD_MusicFree();
    if (i % 100 == 99) {
      return Check(BASSMOD_Free(), "BASSMOD_Free", i) &&
             Check(BASSMOD_Init(BASSMOD_DEVICE_DEFAULT, kRate, 0), "BASSMOD_Init", i);
    }
    return true;
  };

  for (int i = 0; i < kWarmUp; ++i) {
    if (!cycle(i)) return 1;
  }
  const double before = ResidentMb();
  for (int i = 0; i < cycles; ++i) {
    if (!cycle(i)) return 1;
  }
  const double after = ResidentMb();
  BASSMOD_Free();

  std::printf("load_cycles: %d load/play/free cycles of %s (a library close and reopen every 100)\n", cycles,
              path.c_str());
  std::printf("load_cycles: resident %.1f MB before, %.1f MB after (%+.0f kB; allowed %+.0f kB)\n", before, after,
              (after - before) * 1024.0, kAllowedGrowthMb * 1024.0);
  if (after - before > kAllowedGrowthMb) {
    std::printf("load_cycles: FAILED, memory grew\n");
    return 1;
  }
  std::printf("load_cycles: ok; LeakSanitizer checks for leaks as the process ends\n");
  return 0;
}
