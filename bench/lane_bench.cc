// The walks in lanes against the scalar walks (the classic and the
// covalent-ionic trial function), and the lane exponential against
// the scalar one, in the same run: ns per walk-step and ns per exp.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "lanes/lane_walk.h"
#include "model/constants.h"
#include "random/streams.h"
#include "walk/proposals.h"
#include "walk/start_configuration.h"

namespace {

constexpr float step = 0.40125f;

vmc::trial_function<vmc::exp_double> trial(std::size_t k) {
  return vmc::cusp_trial_function<vmc::exp_double>(0.3f + 0.05f * static_cast<float>(k), 0.25f,
                                                   vmc::apar_start::abohr);
}

void ScalarWalk(benchmark::State& state) {
  const std::int64_t steps = state.range(0);
  float sum = 0;
  for (auto _ : state) {
    for (std::size_t k = 0; k < vmc::lane_width; ++k) {
      vmc::ecuyer g = vmc::walk_stream(5465, k, 1u << 30);
      const auto t = trial(k);
      vmc::walker w = vmc::walker_at(vmc::start_configuration(g, t.s, vmc::offset_rounding::per_operation), t);
      vmc::metropolis_walk(w, g, vmc::scaled_step{step}, t, vmc::acceptance::above_deviate, steps,
                           [&](const vmc::walk_step& s) { sum += s.now.at.eloc; });
    }
  }
  benchmark::DoNotOptimize(sum);
  state.counters["ns_per_walk_step"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(steps * vmc::lane_width),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(ScalarWalk)->Arg(100000)->Unit(benchmark::kMillisecond);

// With the steps recorded (as the programs use it) or not (equilibration).
void LaneWalk(benchmark::State& state) {
  const std::int64_t steps = state.range(0);
  const bool recorded = state.range(1) != 0;
  vmc::lane_steps out(1024, false);
  float sum = 0;
  for (auto _ : state) {
    vmc::lane_walkers group{};
    for (std::size_t k = 0; k < vmc::lane_width; ++k) {
      vmc::ecuyer g = vmc::walk_stream(5465, k, 1u << 30);
      const auto t = trial(k);
      const auto w = vmc::walker_at(vmc::start_configuration(g, t.s, vmc::offset_rounding::per_operation), t);
      vmc::set_lane(group, k, w, g, t, step);
    }
    for (std::int64_t done = 0; done < steps; done += 1024) {
      const std::int64_t n = std::min<std::int64_t>(1024, steps - done);
      vmc::walk_lanes(group, n, recorded ? &out : nullptr);
      sum += out.eloc[0];
    }
  }
  benchmark::DoNotOptimize(sum);
  state.counters["ns_per_walk_step"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(steps * vmc::lane_width),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(LaneWalk)->Args({100000, 1})->Args({100000, 0})->Unit(benchmark::kMillisecond);

// The covalent-ionic trial function with reflections, as vmc optimize walks
// it: eight scalar walks one after another, and the same eight in lanes.
vmc::covalent_ionic_trial<float> ionic_trial(std::size_t k) {
  constexpr vmc::model_constants c = vmc::make_constants();
  return {0.6f + 0.2f * static_cast<float>(k), 0.45f, c.alfa, 1.2f, 0.5f, c.e2, c.hbm};
}

void ScalarCovalentIonicWalk(benchmark::State& state) {
  const std::int64_t steps = state.range(0);
  float sum = 0;
  for (auto _ : state) {
    for (std::size_t k = 0; k < vmc::lane_width; ++k) {
      vmc::ecuyer g = vmc::walk_stream(5465, k, 1u << 30);
      const auto t = ionic_trial(k);
      vmc::walker w = vmc::walker_at(vmc::start_configuration(g, t.s, vmc::offset_rounding::per_operation), t);
      vmc::metropolis_walk(w, g, vmc::reflecting_step{step}, t, vmc::acceptance::above_deviate, steps,
                           [&](const vmc::walk_step& s) { sum += s.now.at.eloc; });
    }
  }
  benchmark::DoNotOptimize(sum);
  state.counters["ns_per_walk_step"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(steps * vmc::lane_width),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(ScalarCovalentIonicWalk)->Arg(20000)->Unit(benchmark::kMillisecond);

void LaneCovalentIonicWalk(benchmark::State& state) {
  const std::int64_t steps = state.range(0);
  vmc::lane_steps out(1024, false);
  float sum = 0;
  for (auto _ : state) {
    vmc::lane_walkers group{};
    group.reflect = true;
    for (std::size_t k = 0; k < vmc::lane_width; ++k) {
      vmc::ecuyer g = vmc::walk_stream(5465, k, 1u << 30);
      const auto t = ionic_trial(k);
      const auto w = vmc::walker_at(vmc::start_configuration(g, t.s, vmc::offset_rounding::per_operation), t);
      vmc::set_lane(group, k, w, g, t, step);
    }
    for (std::int64_t done = 0; done < steps; done += 1024) {
      vmc::walk_lanes(group, std::min<std::int64_t>(1024, steps - done), &out);
      sum += out.eloc[0];
    }
  }
  benchmark::DoNotOptimize(sum);
  state.counters["ns_per_walk_step"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(steps * vmc::lane_width),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(LaneCovalentIonicWalk)->Arg(100000)->Unit(benchmark::kMillisecond);

std::vector<float> exp_arguments() {
  std::mt19937 gen(1);
  std::uniform_real_distribution<float> u(-10.0f, 2.0f);
  std::vector<float> x(4096);
  for (float& v : x) v = u(gen);
  return x;
}

void ScalarExp(benchmark::State& state) {
  const auto x = exp_arguments();
  std::vector<float> y(x.size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < x.size(); ++i) {
      y[i] = static_cast<float>(std::exp(static_cast<double>(x[i])));
    }
    benchmark::DoNotOptimize(y.data());
  }
  state.counters["ns_per_exp"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(x.size()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(ScalarExp);

void LaneExp(benchmark::State& state) {
  const auto x = exp_arguments();
  std::vector<float> y(x.size());
  for (auto _ : state) {
    vmc::exp_lanes(x.data(), y.data(), x.size());
    benchmark::DoNotOptimize(y.data());
  }
  state.counters["ns_per_exp"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(x.size()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(LaneExp);

}  // namespace
