#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/covalent_ionic.h"
#include "model/geometry.h"
#include "output/table.h"
#include "random/ecuyer.h"
#include "vmc/flags.h"
#include "vmc/sampling.h"
#include "vmc/stop_request.h"
#include "vmc/trial_parameters.h"

namespace vmc {

struct optimize_settings {
  std::vector<float> separations;
  std::int64_t steps = 10000000;       // the final, independent walk
  std::int64_t equilibration = 10000;  // before every walk
  std::int64_t sample_steps = 100000;  // walk steps of the first round; doubled each round to 8x
  int max_rounds = 10;
  float step_size = 0.40125f;  // the first step of every walk
  bool tune_step = true;       // each walk tunes its step to an acceptance near one half (its first lane)
  std::int32_t seed = 5465;
};

// Every thread keeps its sample in memory: every tenth configuration (44
// bytes, reweighting_sample) of up to 8 times sample_steps steps, 3.5 GB at
// 1e8. The same bound
// on every machine, so that the ranks of a job agree on it.
inline constexpr std::int64_t most_sample_steps = 100000000;  // 1e8

// Throws usage_error with the line the command line prints for settings it
// would refuse, naming the option ("--sample-steps: ..."); returns for
// settings a run takes. run_optimize checks its settings so.
void validate(const optimize_settings& settings);

// Where the search for parameters may go, chosen for what the trial
// function means: beta, the inverse range of the electrons' correlation
// hole, from 0 to 5 /A (a hole of 0.2 A at the least: beyond it the Jastrow
// factor is constant); the ionic weight from 0 (two atoms, Heitler-London)
// to 1 (the molecular orbital, the classic trial function): ionic
// arrangements never outweigh covalent ones; the orbital length from 0.2 A
// (tighter than the united atom, helium, at 0.31 A) to 1 A (twice the free
// atom's). Parameters found within 0.5 % of the range from a bound are
// flagged, except beta at 5 and the ionic weight at 0.
struct parameter_bounds {
  double beta_low = 0, beta_high = 5;
  double lambda_low = 0, lambda_high = 1;
  double a_low = 0.2, a_high = 1;
};
inline constexpr parameter_bounds search_bounds{};

struct optimize_row {
  float s;
  trial_parameters p;
  double energy = 0, error = 0, variance = 0;  // of the final walk
  double acceptance = 0;                       // of the final walk
  float step_size = 0;                         // of the final walk
  double predicted = 0, predicted_error = 0;   // the last round's reweighted estimate of energy, eV
  int rounds = 0;                              // optimisation rounds made
  bool converged = false;                      // stopped by the criterion, not by max_rounds
  bool error_converged = true;                 // false when the final walk is too short for its error
};

// What makes the row other than it seems: the final walk's flags
// (walk_flags), parameters at a bound of the search, an optimisation still
// gaining when its rounds ran out, and a fresh walk more than four combined
// errors from the optimiser's own estimate. Empty for a sound row.
std::vector<flag> flags_of(const optimize_row& r);

// What one round of the optimisation found, for progress lines.
struct optimize_round {
  float s;
  int round;
  trial_parameters p;  // the new parameters
  double predicted;    // their energy estimated from the round's sample, eV
  double gain;         // how far below the round's starting energy, eV
};

// Each walk of optimize, a round's sample and the final walk alike, is
// lane_width walks in vector lanes, each on its own stream and of this many
// of the walk's steps: steps / lane_width, rounded up.
inline std::int64_t steps_per_lane(std::int64_t steps) {
  const auto width = static_cast<std::int64_t>(lane_width);
  return (steps + width - 1) / width;
}

// Optimises the parameters at separations[index] and measures the energy of
// the result with a fresh walk.
//
// Each round walks psi^2 of the current parameters p0 and keeps every tenth
// configuration R_i. For other parameters p the same sample estimates the
// energy by reweighting (correlated sampling):
//   E(p) = sum_i w_i E_L(p; R_i) / sum_i w_i,  w_i = (psi(p; R_i) / psi(p0; R_i))^2,
// and E(p) + 0.005/eV var(p) (the variance of E_L, estimated alike; its small
// share keeps the simplex from drifting where the energy is flat in a
// parameter) is minimised over (beta, lambda, a) with the Nelder-Mead simplex
// (GSL), where the sample still represents p: its effective size
// (sum w)^2 / sum w^2 must stay above half the sample. Differences of E
// between nearby p come from the same configurations, so their noise largely
// cancels. The next round samples the new parameters afresh, with twice the
// steps, up to 8 times the first. The optimisation stops when a round lowers
// that objective by less than 0.005 eV (converged), or after max_rounds rounds.
optimize_row optimize_separation(const optimize_settings& settings, std::size_t index,
                                 const std::function<void(const optimize_round&)>& progress = {});

// Where a separation's optimisation stands after its finished rounds: the
// parameters found, the next round's sample steps, the last round's
// estimate and whether the search has ended (the final walk is not kept).
struct optimize_state {
  int rounds = 0;
  trial_parameters p{};
  std::int64_t steps = 0;
  double predicted = 0, predicted_error = 0;
  bool converged = false;
  bool searched = false;
};

// What keeps an optimisation's rounds for a checkpoint; called from every
// thread at once.
class optimize_keeper {
 public:
  virtual ~optimize_keeper() = default;
  virtual bool find(std::size_t index, optimize_state& st) = 0;
  virtual void keep(std::size_t index, const optimize_state& st, bool force) = 0;
};

// optimize_separation from the rounds the keeper holds (or afresh), handing
// it each round's state; reads the stop request before each round and before
// the final walk.
optimize_row optimize_separation_keeping(const optimize_settings& settings, std::size_t index,
                                         const std::function<void(const optimize_round&)>& progress,
                                         const stop_request* stop, optimize_keeper* keeper);

// run_optimize with a keeper (none: run_optimize itself).
std::vector<optimize_row> run_optimize_keeping(
    const optimize_settings& settings, const std::vector<std::size_t>& tasks,
    const std::function<void(const optimize_round&)>& progress, const stop_request* stop,
    optimize_keeper* keeper);

// Every separation, in parallel; rows in the order given, the same to the bit
// whatever the number of threads. progress is called one call at a time. A
// run whose stop request is set stops and throws run_stopped once every
// thread has stopped.
std::vector<optimize_row> run_optimize(
    const optimize_settings& settings,
    const std::function<void(const optimize_round&)>& progress = {},
    const stop_request* stop = nullptr);

// The separation indices given only (one process's share of a parallel job),
// rows in the order of tasks.
std::vector<optimize_row> run_optimize(
    const optimize_settings& settings, const std::vector<std::size_t>& tasks,
    const std::function<void(const optimize_round&)>& progress = {},
    const stop_request* stop = nullptr);

// The rows as a table with the columns s, beta, ionic_weight, a, energy,
// error, variance, acceptance, flag: exact numbers (files) or rounded ones (the console).
table optimize_table(const std::vector<optimize_row>& rows);
table optimize_table_for_people(const std::vector<optimize_row>& rows);

}  // namespace vmc
