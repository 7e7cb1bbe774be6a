// libbassmod figures. Goals: decode + mix at least 200x real time, a module
// load under 20 ms, no memory growth over 1,000 load/free cycles.
// The module comes from the first argument, else ZENORA_BENCH_MODULE, else
// the program's own music file.
#include "bassmod.h"
#include "module_loader.hpp"
#include "player.hpp"

#include "bassmod.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr DWORD rate = sound::kOutputRate;
constexpr DWORD program_flags = sound::kMusicFlags;

std::string& module_path() {
  static std::string path = [] {
    const char* chosen = std::getenv("ZENORA_BENCH_MODULE");
    return std::string(chosen != nullptr ? chosen : ZENORA_DEFAULT_MODULE);
  }();
  return path;
}

bool module_missing(benchmark::State& state) {
  if (!std::filesystem::is_regular_file(module_path())) {
    state.SkipWithError(("no module at " + module_path()).c_str());
    return true;
  }
  return false;
}

double resident_megabytes() {
  long pages = 0;
  long resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

// The whole song, rendered by the player the audio callback uses.
void BM_DecodeAndMix(benchmark::State& state) {
  if (module_missing(state)) {
    return;
  }
  std::ifstream in(module_path(), std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  bassmod::Player player;
  static_cast<void>(player.replace(
      bassmod::load_module_memory(bytes.data(), 0, static_cast<std::uint32_t>(bytes.size()), program_flags)));

  constexpr std::size_t block = 1024;  // frames per callback
  std::vector<std::int16_t> buffer(2 * block);
  double audio_seconds = 0;
  for (auto _ : state) {
    player.play();
    while (player.active()) {
      player.render(buffer.data(), block, rate);
      audio_seconds += static_cast<double>(block) / rate;
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.counters["song_s"] = audio_seconds / static_cast<double>(state.iterations());
  state.counters["x_realtime"] = benchmark::Counter(audio_seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeAndMix)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the program does at start-up and on every restart.
void BM_MusicLoad(benchmark::State& state) {
  if (module_missing(state)) {
    return;
  }
  BASSMOD_Init(BASSMOD_DEVICE_NO_SOUND, rate, 0);
  for (auto _ : state) {
    if (BASSMOD_MusicLoad(0, module_path().c_str(), 0, 0, program_flags) == 0) {
      state.SkipWithError("MusicLoad failed");
      break;
    }
  }
  BASSMOD_Free();
}
BENCHMARK(BM_MusicLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadFreeCycles(benchmark::State& state) {
  if (module_missing(state)) {
    return;
  }
  BASSMOD_Init(BASSMOD_DEVICE_NO_SOUND, rate, 0);
  const auto cycle = [] {
    BASSMOD_MusicLoad(0, module_path().c_str(), 0, 0, program_flags);
    BASSMOD_MusicPlay();
    BASSMOD_MusicFree();
  };
  for (int i = 0; i < 10; ++i) {  // let the allocator settle first
    cycle();
  }
  const double before = resident_megabytes();
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) {
      cycle();
    }
  }
  const double after = resident_megabytes();
  BASSMOD_Free();
  state.counters["rss_before_MB"] = before;
  state.counters["rss_after_MB"] = after;
  state.counters["growth_kB"] = (after - before) * 1024.0;
  std::printf("1,000 load/free cycles: resident %.1f MB before, %.1f MB after\n", before, after);
}
BENCHMARK(BM_LoadFreeCycles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc > 1) {
    module_path() = argv[1];
  }
  std::printf("module: %s\n", module_path().c_str());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
