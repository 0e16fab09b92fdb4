#include "vmc/dmc.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "random/streams.h"
#include "stats/blocking.h"
#include "vmc/scan.h"
#include "walk/diffusion.h"
#include "walk/start_configuration.h"

namespace vmc {
namespace {

constexpr int most_copies = 3;                     // a walker's copies in one step at the most
constexpr double feedback_steps = 50;              // population control: steps to correct ln(N/N0)
constexpr double average_share = 0.01;             // running average of E: weight of a new step
constexpr std::uint64_t streams_per_separation = std::uint64_t{1} << 26;

}  // namespace

dmc_row run_dmc(const dmc_settings& settings, std::size_t index,
                const std::function<void(std::int64_t, std::int64_t)>& progress) {
  const float s = settings.separations[index];
  const trial_parameters p = settings.parameters[index];
  const covalent_ionic_trial<float> t = trial_of(s, p);
  const double tau = static_cast<double>(settings.time_step);
  const std::int64_t total = settings.equilibration + settings.steps;
  // Each walker draws 8 deviates a step; a stream holds a whole run of them.
  const std::uint64_t per_stream =
      std::max<std::uint64_t>(8 * static_cast<std::uint64_t>(total) + 64,
                              6 + 7 * static_cast<std::uint64_t>(settings.vmc_steps + 10000 +
                                                                 20 * settings.walkers));
  const std::uint64_t base = static_cast<std::uint64_t>(index) * streams_per_separation;
  std::uint64_t next_stream = 0;
  auto new_stream = [&] {
    if (next_stream == streams_per_separation) {
      throw std::runtime_error("the population made more than 2^26 walkers");
    }
    return walk_stream(settings.seed, base + next_stream++, per_stream);
  };

  dmc_row row{s, p};
  row.time_step = settings.time_step;
  row.walkers = settings.walkers;
  row.steps = settings.steps;

  // The trial function's variational energy, for comparison.
  {
    ecuyer g = new_stream();
    const coords start = start_configuration(g, s, offset_rounding::per_operation);
    row.energy_vmc = measure(g, start, t, 0.40125f, 10000, settings.vmc_steps).energy;
  }
  // The first population: every second kept configuration of a walk of psi_T^2.
  std::vector<diffusion_walker> walkers;
  {
    ecuyer g = new_stream();
    const coords start = start_configuration(g, s, offset_rounding::per_operation);
    const sample smp = draw_sample(g, start, t, 0.40125f, 10000, 20 * settings.walkers);
    for (std::int64_t k = 0; k < settings.walkers; ++k) {
      walkers.push_back(diffusion_walker_at(smp.r[static_cast<std::size_t>(2 * k)], t, new_stream()));
    }
  }

  const double target = static_cast<double>(settings.walkers);
  double e_average = row.energy_vmc;
  double e_trial = e_average;
  std::int64_t moves = 0, accepted = 0;
  blocking series;
  double population_sum = 0, population_squares = 0;
  std::vector<diffusion_move> done;
  std::vector<diffusion_walker> next;

  for (std::int64_t step = 0; step < total; ++step) {
    const std::int64_t n = static_cast<std::int64_t>(walkers.size());
    done.resize(walkers.size());
#pragma omp parallel for schedule(static)
    for (std::int64_t k = 0; k < n; ++k) {
      done[static_cast<std::size_t>(k)] = diffusion_step(walkers[static_cast<std::size_t>(k)], t, tau);
    }
    // Everything from here on runs in walker order.
    for (const diffusion_move& m : done) accepted += m.accepted;
    moves += n;
    const double tau_eff = tau * static_cast<double>(accepted) / static_cast<double>(moves);
    double sw = 0, swe = 0;
    next.clear();
    for (std::size_t k = 0; k < walkers.size(); ++k) {
      const diffusion_move& m = done[k];
      const double mean_e =
          0.5 * (static_cast<double>(m.eloc_before) + static_cast<double>(m.eloc_after));
      const double w = std::exp(-tau_eff * (mean_e - e_trial));
      sw += w;
      swe += w * static_cast<double>(m.eloc_after);
      // Capped before the conversion: a weight can overflow near a nucleus
      // when the trial function breaks the cusp there.
      const int copies = static_cast<int>(
          std::floor(std::fmin(w + walkers[k].g.next(), static_cast<double>(most_copies))));
      for (int c = 0; c < copies; ++c) {
        next.push_back(walkers[k]);
        if (c > 0) next.back().g = new_stream();
      }
    }
    walkers.swap(next);
    if (walkers.empty()) throw std::runtime_error("the population of walkers died out");
    const double e_step = swe / sw;
    e_average += average_share * (e_step - e_average);
    e_trial = e_average -
              std::log(static_cast<double>(walkers.size()) / target) / (feedback_steps * tau);
    if (step >= settings.equilibration) {
      series.add(e_step);
      const double size = static_cast<double>(walkers.size());
      population_sum += size;
      population_squares += size * size;
    }
    if (progress && (step + 1) % 1000 == 0) progress(step + 1, total);
  }

  const blocking_result b = analyse(series);
  row.energy = b.mean;
  row.error = b.error;
  row.converged = b.converged;
  row.acceptance = static_cast<double>(accepted) / static_cast<double>(moves);
  const double measured = static_cast<double>(settings.steps);
  row.population_mean = population_sum / measured;
  row.population_spread =
      std::sqrt(std::max(0.0, population_squares / measured - row.population_mean * row.population_mean));
  return row;
}

namespace {

const std::vector<std::string> columns = {"s",      "time_step", "walkers",    "steps",
                                          "energy", "error",     "acceptance", "energy_vmc"};

}  // namespace

table dmc_table(const std::vector<dmc_row>& rows) {
  table t{columns, {}};
  for (const dmc_row& r : rows) {
    t.rows.push_back({shortest(r.s), shortest(r.time_step), std::to_string(r.walkers),
                      std::to_string(r.steps), shortest(r.energy), shortest(r.error),
                      shortest(r.acceptance), shortest(r.energy_vmc)});
  }
  return t;
}

table dmc_table_for_people(const std::vector<dmc_row>& rows) {
  table t{columns, {}};
  for (const dmc_row& r : rows) {
    t.rows.push_back({shortest(r.s), shortest(r.time_step), std::to_string(r.walkers),
                      std::to_string(r.steps), fixed(r.energy, 4), fixed(r.error, 4),
                      fixed(r.acceptance, 4), fixed(r.energy_vmc, 4)});
  }
  return t;
}

}  // namespace vmc
