// Composing one frame of the window, and one whole animation tick with it.
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>

#include "headless_intro.hpp"

namespace {

// The intro 6 s in: logo drawn, ticker text on show. Null, with the reason
// given to the benchmark, when it cannot start.
std::unique_ptr<bench::HeadlessIntro> Started(benchmark::State& state) {
  try {
    auto intro = std::make_unique<bench::HeadlessIntro>();
    intro->RunUntil(6000);
    return intro;
  } catch (const std::runtime_error& e) {
    state.SkipWithError(e.what());
    return nullptr;
  }
}

// The whole window painted afresh (a tick repaints only what changed).
void BM_ComposeFrame(benchmark::State& state) {
  const auto intro = Started(state);
  if (!intro) return;
  tk::Surface frame;
  for (auto _ : state) {
    intro->Form().Form().Compose(frame);
    benchmark::DoNotOptimize(frame.Pixels().data());
  }
}
BENCHMARK(BM_ComposeFrame);

// Logo pass with its 24 yields, angle advance, star step, then the frame.
void BM_WholeTick(benchmark::State& state) {
  const auto intro = Started(state);
  if (!intro) return;
  std::int64_t now = intro->NowMs();
  for (auto _ : state) {
    now += zenora::kStarsInterval;
    intro->RunUntil(now);
  }
}
BENCHMARK(BM_WholeTick);

}  // namespace

BENCHMARK_MAIN();
