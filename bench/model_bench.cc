// Cost of evaluating one trial configuration of the walk: the local energy
// and psi, either as the two separate model calls or as one evaluation.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "model/evaluation.h"
#include "model/local_energy.h"
#include "model/trial_function.h"
#include "model/wave_function.h"

namespace {

constexpr float s = 0.74f;

std::vector<vmc::coords> configurations() {
  std::mt19937 gen(1);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::vector<vmc::coords> v(4096);
  for (vmc::coords& r : v) {
    for (float& x : r) x = u(gen);
    r[2] -= s / 2;
    r[5] += s / 2;
  }
  return v;
}

void ElocalThenPhi(benchmark::State& state) {
  const auto v = configurations();
  const auto t = vmc::cusp_trial_function<vmc::exp_double>(s, 0.25f, vmc::apar_start::abohr);
  std::size_t i = 0;
  for (auto _ : state) {
    const vmc::coords& r = v[i++ & 4095];
    benchmark::DoNotOptimize(vmc::elocal(r, t));
    benchmark::DoNotOptimize(vmc::phi(r, t));
  }
}
BENCHMARK(ElocalThenPhi);

void CombinedEvaluation(benchmark::State& state) {
  const auto v = configurations();
  const auto t = vmc::cusp_trial_function<vmc::exp_double>(s, 0.25f, vmc::apar_start::abohr);
  std::size_t i = 0;
  for (auto _ : state) {
    const vmc::coords& r = v[i++ & 4095];
    benchmark::DoNotOptimize(vmc::evaluate(r, t));
  }
}
BENCHMARK(CombinedEvaluation);

}  // namespace
