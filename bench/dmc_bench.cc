// The diffusion step of 2000 walkers, weights included, in lanes against the scalar step, in
// the same run: ns per walker-step. VMC_LANE_TARGET=AVX2 (or another target)
// restricts the lanes to that target.
#include <benchmark/benchmark.h>

#include <vector>

#include "lanes/diffusion_lanes.h"
#include "lanes/lane_walk.h"
#include "model/constants.h"
#include "random/streams.h"
#include "walk/start_configuration.h"

namespace {

constexpr std::size_t walkers = 2000;
constexpr double tau = 1e-4;  // vmc dmc's default

vmc::covalent_ionic_trial<float> trial() {
  constexpr vmc::model_constants c = vmc::make_constants();
  return {0.74f, 0.424f, c.alfa, 1.1f, 0.59f, c.e2, c.hbm};
}

std::vector<vmc::diffusion_walker> population() {
  std::vector<vmc::diffusion_walker> w;
  for (std::size_t k = 0; k < walkers; ++k) {
    vmc::ecuyer g = vmc::walk_stream(5465, k, 1u << 30);
    w.push_back(vmc::diffusion_walker_at(
        vmc::start_configuration(g, 0.74f, vmc::offset_rounding::per_operation), trial(), g));
  }
  // Away from the start, into the walk's own distribution.
  std::vector<vmc::diffusion_move> m(walkers);
  for (int step = 0; step < 200; ++step) {
    for (std::size_t k = 0; k < walkers; ++k) m[k] = vmc::diffusion_step(w[k], trial(), tau);
  }
  return w;
}

void count(benchmark::State& state) {
  state.counters["ns_per_walker_step"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(walkers),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void ScalarDiffusionStep(benchmark::State& state) {
  std::vector<vmc::diffusion_walker> w = population();
  std::vector<vmc::diffusion_move> m(walkers);
  const vmc::diffusion_weighing h{-31.9, 1043.0, -31.9, tau};
  for (auto _ : state) {
    for (std::size_t k = 0; k < walkers; ++k) {
      m[k] = vmc::diffusion_step(w[k], trial(), tau);
      benchmark::DoNotOptimize(vmc::weigh(m[k], h));
    }
    benchmark::DoNotOptimize(m.data());
  }
  count(state);
}
BENCHMARK(ScalarDiffusionStep)->Unit(benchmark::kMillisecond);

void LaneDiffusionStep(benchmark::State& state) {
  std::vector<vmc::diffusion_walker> w = population();
  std::vector<vmc::diffusion_move> m(walkers);
  std::vector<vmc::diffusion_weight> weights(walkers);
  const vmc::diffusion_weighing h{-31.9, 1043.0, -31.9, tau};
  for (auto _ : state) {
    vmc::diffusion_step_lanes(w.data(), walkers, trial(), tau, h, m.data(), weights.data());
    benchmark::DoNotOptimize(m.data());
  }
  count(state);
}
BENCHMARK(LaneDiffusionStep)->Unit(benchmark::kMillisecond);

}  // namespace
