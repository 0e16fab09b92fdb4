// The combined generator: one deviate, and a jump to the start of a pass.
#include <benchmark/benchmark.h>

#include "random/ecuyer.h"

namespace {

void DrawOneDeviate(benchmark::State& state) {
  vmc::ecuyer g{5465, 9675};
  for (auto _ : state) benchmark::DoNotOptimize(g.next());
}
BENCHMARK(DrawOneDeviate);

void AdvanceToTheLastPass(benchmark::State& state) {
  const vmc::ecuyer seeded{5465, 9675};
  for (auto _ : state) {
    benchmark::DoNotOptimize(vmc::ecuyer_advance(seeded, 44 * 700006ull));
  }
}
BENCHMARK(AdvanceToTheLastPass);

}  // namespace
