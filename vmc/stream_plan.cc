#include "vmc/stream_plan.h"

#include <algorithm>
#include <bit>

#include "random/streams.h"
#include "vmc/dmc.h"
#include "vmc/optimize.h"
#include "vmc/scan.h"

namespace vmc {
namespace {

constexpr std::uint64_t start_draws = 6;   // a walk's start around the protons
constexpr std::uint64_t metropolis_draws = 7;  // a Metropolis step
constexpr std::uint64_t diffusion_draws = 8;   // a diffusion step and its branching

std::uint64_t u(std::int64_t n) { return static_cast<std::uint64_t>(std::max<std::int64_t>(n, 0)); }

}  // namespace

stream_plan stream_plan::of(const scan_settings& settings) {
  stream_plan p;
  p.seed = settings.seed;
  p.separations = settings.separations.size();
  p.streams_per_separation = u(settings.walkers);
  p.most_draws = start_draws + metropolis_draws * (u(settings.equilibration) + u(walker_steps(settings, 0)));
  p.length_option = "--steps";
  p.streams_option = "--walkers";
  return p;
}

stream_plan stream_plan::of(const optimize_settings& settings) {
  // Every round and the final walk are lane_width walks, each on its own
  // stream and of its share of the steps; the first of them tunes the step
  // in ten stretches of 500 steps first.
  constexpr std::int64_t tuning = 5000;
  stream_plan p;
  p.seed = settings.seed;
  p.separations = settings.separations.size();
  p.streams_per_separation = (u(settings.max_rounds) + 1) * lane_width;
  const std::int64_t longest =
      std::max(steps_per_lane(settings.steps), steps_per_lane(8 * settings.sample_steps));
  p.most_draws = start_draws + metropolis_draws * (u(longest) + u(settings.equilibration) + tuning);
  p.length_option = settings.steps >= 8 * settings.sample_steps ? "--steps" : "--sample-steps";
  p.streams_option = "--max-rounds";
  return p;
}

stream_plan stream_plan::of(const dmc_settings& settings) {
  // A copy takes over the generator of a walker that died, or else the next
  // stream: a population within its band of 4 W holds at most 12 W
  // generators at once (dmc.cc). Each generator is drawn by one walker at a
  // time, 8 deviates a step at the most; the first sixteen streams walk the
  // eight lanes of the variational walk and of the first sample, each after
  // 10000 steps of equilibration.
  stream_plan p;
  p.seed = settings.seed;
  p.separations = dmc_runs(settings);
  p.streams_per_separation = first_walker_stream + 12 * u(settings.walkers);
  const std::uint64_t walkers_draws =
      diffusion_draws * (u(settings.equilibration) + u(settings.steps)) + 64;
  const std::uint64_t first_walks =
      start_draws + metropolis_draws * (u(std::max(steps_per_lane(settings.vmc_steps),
                                                   first_sample_steps_per_lane(settings.walkers))) +
                                        10000);
  p.most_draws = std::max(walkers_draws, first_walks);
  p.length_option = "--steps";
  p.streams_option = "--walkers";
  return p;
}

std::uint64_t stream_plan::draws_per_stream() const {
  const std::uint64_t n = std::max<std::uint64_t>(streams(), 1);
  const auto share = static_cast<std::uint64_t>(usable_draws) / n;
  return share == 0 ? 0 : std::uint64_t{1} << (std::bit_width(share) - 1);
}

ecuyer stream_plan::stream(std::size_t index, std::uint64_t k) const {
  return walk_stream(seed, static_cast<std::uint64_t>(index) * streams_per_separation + k,
                     draws_per_stream());
}

std::optional<std::string> stream_plan::misfit() const {
  const std::uint64_t length = draws_per_stream();
  if (length < 4096) {
    return streams_option + ": with the separations, the run's " + std::to_string(streams()) +
           " streams would share out more than the generator's period (about 2.3e18 deviates)";
  }
  if (most_draws > length) {
    return length_option + ": a walk would draw " + std::to_string(most_draws) +
           " deviates, more than its stream's share of the generator's period, 2^" +
           std::to_string(std::bit_width(length) - 1) + " with these " + streams_option +
           " and separations";
  }
  return std::nullopt;
}

}  // namespace vmc
