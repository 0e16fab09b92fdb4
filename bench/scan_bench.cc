// vmc scan's walks in lanes against its scalar path, in the same run and on
// one thread: ns per walk-step of the whole measurement (walk, local
// energies, blocking), 16 separations of 200000 steps after 10000 discarded.
#include <benchmark/benchmark.h>
#include <omp.h>

#include "vmc/scan.h"

namespace {

void Scan(benchmark::State& state) {
  omp_set_num_threads(1);
  vmc::scan_settings s;
  for (int k = 0; k < 16; ++k) s.separations.push_back(0.4f + 0.1f * static_cast<float>(k));
  s.steps = 200000;
  s.lanes = state.range(0) != 0;
  double energy = 0;
  for (auto _ : state) energy += vmc::run_scan(s)[0].energy;
  benchmark::DoNotOptimize(energy);
  state.counters["ns_per_walk_step"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 16.0 * static_cast<double>(s.steps + s.equilibration),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(Scan)->ArgName("lanes")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
