#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/covalent_ionic.h"
#include "model/geometry.h"
#include "output/table.h"
#include "random/ecuyer.h"

namespace vmc {

// The free parameters of the covalent-ionic trial function.
struct trial_parameters {
  double beta;    // correlation parameter, 1/A
  double lambda;  // ionic weight
  double a;       // orbital length, A
};

struct optimize_settings {
  std::vector<float> separations;
  std::int64_t steps = 10000000;       // the final, independent walk
  std::int64_t equilibration = 10000;  // before every walk
  std::int64_t sample_steps = 100000;  // walk steps of the first round; doubled each round to 8x
  int max_rounds = 10;
  float step_size = 0.40125f;
  std::int32_t seed = 5465;
};

struct optimize_row {
  float s;
  trial_parameters p;
  double energy = 0, error = 0, variance = 0;  // of the final walk
  int rounds = 0;                              // optimisation rounds made
  bool converged = false;                      // stopped by the criterion, not by max_rounds
  bool error_converged = true;                 // the final walk's blocking found independent blocks
};

// The covalent-ionic trial function at separation s with parameters p and
// the model constants.
covalent_ionic_trial<float> trial_of(float s, const trial_parameters& p);

// Configurations sampled from psi^2 of some parameters, with psi there.
struct sample {
  std::vector<coords> r;
  std::vector<float> psi;
};

// A walk of `steps` steps of t from start after `equilibration` unrecorded
// ones, drawing from g, keeping every tenth configuration.
sample draw_sample(ecuyer& g, const coords& start, const covalent_ionic_trial<float>& t,
                   float step_size, std::int64_t equilibration, std::int64_t steps);

// The energy of trial function t estimated from a sample of another one by
// reweighting, and the sample's effective size for t, (sum w)^2 / sum w^2, as
// a fraction of its size (1 when t is the sampled function).
struct reweighted_estimate {
  double energy;     // eV
  double variance;   // of the local energy, eV^2
  double effective;  // fraction of the sample
};
reweighted_estimate reweighted(const sample& smp, const covalent_ionic_trial<float>& t);

// What one round of the optimisation found, for progress lines.
struct optimize_round {
  float s;
  int round;
  trial_parameters p;  // the new parameters
  double predicted;    // their energy estimated from the round's sample, eV
  double gain;         // how far below the round's starting energy, eV
};

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

// Every separation, in parallel; rows in the order given, the same to the bit
// whatever the number of threads. progress is called one call at a time.
std::vector<optimize_row> run_optimize(
    const optimize_settings& settings,
    const std::function<void(const optimize_round&)>& progress = {});

// The separation indices given only (one process's share of a parallel job),
// rows in the order of tasks.
std::vector<optimize_row> run_optimize(
    const optimize_settings& settings, const std::vector<std::size_t>& tasks,
    const std::function<void(const optimize_round&)>& progress = {});

// The rows as a table with the columns s, beta, ionic_weight, a, energy,
// error, variance: exact numbers (files) or rounded ones (the console).
table optimize_table(const std::vector<optimize_row>& rows);
table optimize_table_for_people(const std::vector<optimize_row>& rows);

}  // namespace vmc
