// The logo's per-tick work: one projection (goal: 100 ns or less) and one
// whole drawing pass of the 24-edge logo on the intro's window.
#include <benchmark/benchmark.h>

#include "edge_table.hpp"
#include "logo_motion.hpp"
#include "projection.hpp"

namespace {

// The intro's window: 4800 x 2835 twips with its 320 x 130 picture.
struct Window {
  Window() {
    form.SetBounds(0, 0, 4800, 2835);
    form.SetPicture(tk::Surface(320, 130, 0x406080));
  }
  tk::Form form{"ZENOrA"};
};

void BM_ProjectPoint(benchmark::State& state) {
  const Window window;
  const tk::Form& form = window.form;
  const logo::Point3D p{2, -1, -4};
  // Angles that move every tick, as in the running intro.
  double a = 0, b = 0, c = 0;
  int flag = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        logo::ProjectPoint(form, p, a, b, c, logo::kShiftX, logo::kShiftZ, logo::kShiftY, logo::kPerspective, flag));
    a += 3;
    b += 4;
    c += 5;
    flag ^= 1;
  }
}
BENCHMARK(BM_ProjectPoint);

void BM_DrawModel(benchmark::State& state) {
  Window window;
  tk::Form& form = window.form;
  logo::EdgeTable edges;
  edges.BuildLogo(-2, -2, -2, 2, 2, -4);
  logo::LogoMotion motion;
  motion.SetStartSpins();
  const auto yield = [] {};
  for (auto _ : state) {
    logo::DrawModel(form, edges, motion.AngleA(), motion.AngleB(), motion.AngleC(), logo::kPerspective, logo::kShiftX,
                    logo::kShiftZ, logo::kShiftY, yield);
    benchmark::ClobberMemory();
    motion.AdvanceAngles();
  }
  state.counters["edges"] = edges.EdgeCount();
}
BENCHMARK(BM_DrawModel);

}  // namespace

BENCHMARK_MAIN();
