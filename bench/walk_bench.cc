// One step of the scan's walk, as the program runs it: seven deviates, the
// combined evaluation and, on acceptance, two records. ns per step.
#include <benchmark/benchmark.h>

#include <string>

#include "vodik/scan.h"

namespace {

void ScanPass(benchmark::State& state) {
  const int steps = static_cast<int>(state.range(0));
  std::string e1, e2;
  for (auto _ : state) {
    vmc::ecuyer g{5465, 9675};
    e1.clear();
    e2.clear();
    benchmark::DoNotOptimize(vmc::run_pass(g, 0.74f, steps, e1, e2));
  }
  state.counters["ns_per_step"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * steps,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(ScanPass)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
