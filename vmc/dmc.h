#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string_view>
#include <vector>

#include "output/table.h"
#include "stats/blocking.h"
#include "walk/diffusion.h"
#include "vmc/flags.h"
#include "vmc/stop_request.h"
#include "vmc/trial_parameters.h"

namespace vmc {

struct dmc_settings {
  std::vector<float> separations{0.74f};
  // tau, 1/eV (hbar = 1); 1e-4 /eV is 0.0027 /hartree. Every separation is
  // run at each, and with more than one the table gains the limit tau -> 0.
  // At 0.74 A the default's time-step bias is about 1 meV, below a third of
  // the default run's error; at 2e-4 it would be 2 meV.
  std::vector<float> time_steps{1e-4f};
  std::int64_t walkers = 2000;         // target population
  std::int64_t steps = 100000;         // measured steps
  std::int64_t equilibration = 5000;   // steps before measuring
  std::int32_t seed = 5465;
  std::int64_t vmc_steps = 1000000;    // the walk that measures energy_vmc
  // The trial function's parameters at each separation (beta, lambda, a).
  std::vector<trial_parameters> parameters;
};

// The streams of a separation: the variational walk's eight lanes 0 ... 7,
// the first sample's 8 ... 15, the walkers and their copies from 16.
inline constexpr std::uint64_t first_walker_stream = 16;
// The steps of each of the first sample's eight walks: a multiple of ten
// that keeps, all eight together, at least 2 W configurations (the
// population takes every second).
inline std::int64_t first_sample_steps_per_lane(std::int64_t walkers) {
  return 10 * ((2 * walkers + 7) / 8);
}

// Throws usage_error with the line the command line prints for settings it
// would refuse, naming the option ("--walkers: ..."); also when parameters
// has not one row for each separation. run_dmc checks its settings so.
void validate(const dmc_settings& settings);

// The time steps of "2e-4" or of a comma list "1e-4,2e-4,4e-4,8e-4": each
// above 0 and at most 0.01 /eV, at most 16, no two alike. Throws usage_error
// naming --time-step.
std::vector<float> parse_time_steps(std::string_view text);

// The runs of the settings: every separation at every time step, numbered
// separation by separation, run = separation index x time steps + time step
// index (with one time step, the separation's index).
inline std::size_t dmc_runs(const dmc_settings& settings) {
  return settings.separations.size() * settings.time_steps.size();
}

struct dmc_row {
  float s;
  trial_parameters p;
  float time_step = 0;
  std::int64_t walkers = 0, steps = 0;
  double energy = 0, error = 0;  // mixed estimator and its blocking error, eV
  double acceptance = 0;         // of the drift-diffusion moves
  double energy_vmc = 0;         // the trial function's variational energy, eV
  double population_mean = 0, population_spread = 0;  // over the measured steps
  // The plain mean local energy of the population after each step's
  // branching, averaged over the measured steps: the same mixed estimate as
  // energy (noisier), a check on the weights.
  double energy_unweighted = 0;
  bool converged = true;         // false when the series is too short for its error
  // A row of the limit tau -> 0 (time_step 0) fitted to the rows of its
  // separation; acceptance and the population are then not defined (NaN).
  bool extrapolated = false;
  double chi_squared = 0;        // of the fit
  std::int64_t degrees_of_freedom = 0;
};

// Diffusion Monte Carlo of run `index` (dmc_runs): the separation and its
// trial parameters, at one of the time steps:
// - the population starts from configurations of a walk of psi_T^2;
// - each step moves every walker (diffusion_step, in parallel; every walker
//   draws from its own stream), weighs it by
//   exp(-tau_eff ((S(R) + S(R'))/2 - E_T)), tau_eff = tau times the
//   acceptance so far and S the local energy cut off at E_cut around the
//   best estimate (see dmc.cc), and replaces it by floor(weight + u) copies
//   (at most 3), in walker order;
// - E_T follows the energy and pulls the population back to its target:
//   E_T = E_avg - ln(N / N_target) / (50 tau), E_avg a running average;
// - the energy is the mean over the measured steps of the weighted mean
//   local energy of each step (the mixed estimator), its error from the
//   blocking analysis of that series.
// A population that leaves a quarter to four times its target, or a local
// energy or weight that is not finite, ends the run with a runtime_error
// naming the separation and the step.
// The table depends on the settings alone, never on the number of threads.
// The stop request is read every step; once set, run_dmc throws run_stopped.
dmc_row run_dmc(const dmc_settings& settings, std::size_t index,
                const std::function<void(std::int64_t, std::int64_t)>& progress = {},
                const stop_request* stop = nullptr);

// Where a separation's run stands after `step` steps (equilibration
// included): the population in walker order (configuration, evaluation,
// generator), the generators of the walkers that died, the run's scalars and
// its sums. How a step moves the walkers is no part of it.
struct dmc_state {
  std::int64_t step = 0;
  double energy_vmc = 0;
  std::vector<diffusion_walker> walkers;
  std::deque<ecuyer> idle;
  std::uint64_t streams = 0;  // of the separation opened so far
  double e_average = 0, e_trial = 0;
  std::int64_t moves = 0, accepted = 0;
  blocking series;
  double population_sum = 0, population_squares = 0, unweighted_sum = 0;
};

// A walker's copies in one step at the most.
inline constexpr int most_copies = 3;

// A walker that leaves other than one copy in a step, and the generators of
// its copies beyond the first.
struct branching {
  std::size_t k;
  int copies;
  std::array<ecuyer, most_copies - 1> g;
};

// Replaces the walkers by their copies, in place: walker k's copies in
// order, every walker one copy but those of `branchings` (in walker order),
// the first copy with the walker's generator, the later ones with the
// branching's. The walkers between two branchings move as one block, by the
// copies gained so far; a block or copy moved left (or not at all) only
// overwrites walkers to its left that have moved already, when they are
// moved from left to right, and one moved right only walkers to its right,
// when they are moved from right to left. Walkers that stay are not copied.
void branch_in_place(std::vector<diffusion_walker>& walkers, const std::vector<branching>& branchings);

// What keeps a dmc run's states for a checkpoint: find gives the state a
// separation was left in; after every step the run asks due (done true when
// the separation ends) and, when it is, hands keep the state: the run lays
// its population out in walker order only then.
class dmc_keeper {
 public:
  virtual ~dmc_keeper() = default;
  virtual bool find(std::size_t index, dmc_state& st) = 0;
  virtual void keep(std::size_t index, const dmc_state& st, bool done) = 0;
  virtual bool due(bool /*done*/) const { return true; }
  virtual void stopped(std::size_t index, const dmc_state& st) = 0;
};

// run_dmc from the state the keeper finds (or afresh), handing it each
// step's state it is due; a state of fewer --steps is continued to more.
dmc_row run_dmc_keeping(const dmc_settings& settings, std::size_t index,
                        const std::function<void(std::int64_t, std::int64_t)>& progress,
                        const stop_request* stop, dmc_keeper* keeper);

// The rows of every separation's runs, and after them, when the settings
// hold more than one time step, the row of the limit tau -> 0: a straight
// line E(tau) = E_0 + b tau fitted to the runs' energies weighted by their
// errors (1 / error^2), E_0 with its error from the fit, enlarged by
// sqrt(chi^2 / degrees of freedom) when the points scatter more than their
// errors say. rows hold dmc_runs(settings) rows in run order.
std::vector<dmc_row> with_time_step_limits(const dmc_settings& settings,
                                           const std::vector<dmc_row>& rows);

// What makes the row other than it seems; empty for a sound row.
std::vector<flag> flags_of(const dmc_row& r);

// The rows as a table with the columns s, time_step, walkers, steps, energy,
// error, acceptance, energy_vmc, beta, ionic_weight, a, population_mean,
// population_spread, flag: exact (files) or rounded (the console).
table dmc_table(const std::vector<dmc_row>& rows);
table dmc_table_for_people(const std::vector<dmc_row>& rows);

}  // namespace vmc
