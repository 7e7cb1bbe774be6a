// Composing one frame of the window, and one whole animation tick with it.
#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <filesystem>

#include "app/zenora.hpp"
#include "toolkit/headless_backend.hpp"

namespace {

const std::filesystem::path kBuildDir = ZENORA_BUILD_DIR;

// The form as the program builds it, loaded, on a virtual clock.
struct Intro {
  tk::HeadlessBackend backend;
  sound::Bassmod bassmod{kBuildDir};
  zenora::Assets assets = zenora::LoadAssets();
  zenora::ZENOrA form{backend, bassmod, assets, kBuildDir};
  Intro() {
    form.Form_Initialize();
    form.Form_Load();
    form.Loop().Show();
    form.Loop().RunUntil(backend.Clock(), 6000);  // logo drawn, ticker text on show
  }
  ~Intro() {
    if (void* library = dlopen((kBuildDir / "libbassmod.so").c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      if (auto* free_library = reinterpret_cast<int (*)()>(dlsym(library, "BASSMOD_Free"))) free_library();
      dlclose(library);
    }
  }
};

// The whole window painted afresh (a tick repaints only what changed).
void BM_ComposeFrame(benchmark::State& state) {
  Intro intro;
  tk::Surface frame;
  for (auto _ : state) {
    intro.form.Form().Compose(frame);
    benchmark::DoNotOptimize(frame.Pixels().data());
  }
}
BENCHMARK(BM_ComposeFrame);

// Logo pass with its 24 yields, angle advance, star step, then the frame.
void BM_WholeTick(benchmark::State& state) {
  Intro intro;
  std::int64_t now = intro.backend.Clock().NowMs();
  for (auto _ : state) {
    now += 20;
    intro.form.Loop().RunUntil(intro.backend.Clock(), now);
  }
}
BENCHMARK(BM_WholeTick);

}  // namespace

BENCHMARK_MAIN();
