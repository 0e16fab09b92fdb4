#include "vmc/optimize.h"

#include <gsl/gsl_multimin.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <stdexcept>

#include "lanes/diffusion_lanes.h"
#include "model/constants.h"
#include "model/covalent_ionic.h"
#include "vmc/parallel_tasks.h"
#include "vmc/scan.h"
#include "vmc/stoppable_walk.h"
#include "vmc/stream_plan.h"
#include "walk/metropolis.h"
#include "walk/proposals.h"
#include "walk/start_configuration.h"

namespace vmc {
namespace {

constexpr int thinning = 10;                  // a configuration kept every tenth step
constexpr double gain_tolerance = 0.005;      // eV: a round that gains less ends the search
constexpr double least_effective = 0.5;       // of the sample, for reweighted estimates
constexpr int largest_growth = 8;             // the sample grows to 8 times the first
constexpr double refused = 1e6;               // the objective outside the allowed region
// Where the energy hardly depends on a parameter (beta at large separations)
// the simplex would drift along the flat valley; a small share of the
// variance of the local energy, which does depend on it, picks the point of
// that valley with the steadiest local energy. Its effect on the energy at
// the minimum is of second order: below a meV here.
constexpr double variance_share = 0.005;      // 1/eV
// Far apart, the walk stays with one electron at each proton and never sees
// the ionic arrangements: the sample cannot tell one ionic weight from
// another, and the simplex would wander over the whole range. A share of
// 0.01 eV lambda^2 picks the smallest, the physical limit of two atoms;
// where the sample does see lambda (the energy's curvature in it is of the
// order of an eV), it moves the optimum by 0.006 and the energy by 4e-5 eV.
constexpr double ionic_share = 0.01;          // eV

}  // namespace

covalent_ionic_trial<float> trial_of(float s, const trial_parameters& p) {
  constexpr model_constants c = make_constants();
  return {s,  static_cast<float>(p.a), c.alfa, static_cast<float>(p.beta),
          static_cast<float>(p.lambda), c.e2, c.hbm};
}

sample draw_sample(ecuyer& g, const coords& start, const covalent_ionic_trial<float>& t,
                   float step_size, std::int64_t equilibration, std::int64_t steps,
                   const stop_request* stop) {
  sample out;
  out.r.reserve(static_cast<std::size_t>(steps / thinning));
  out.psi.reserve(static_cast<std::size_t>(steps / thinning));
  std::int64_t j = 0;
  stoppable_walk(start, g, reflecting_step{step_size}, t, acceptance::above_deviate, equilibration,
                 steps,
                 [&](const walk_step& step) {
                   if (++j % thinning == 0) {
                     out.r.push_back(step.now.r);
                     out.psi.push_back(step.now.at.psi);
                   }
                 },
                 stop);
  return out;
}

namespace {

// Walks lane_width walks in lanes (stoppable_lane_walk) and hands on every
// tenth recorded step of each, piece by piece: keep(k, i, r, psi) with r and
// psi the kept configurations i, i + 1, ... of walk k in this piece.
template <class Keep>
void kept_in_lanes(lane_starts& starts, const covalent_ionic_trial<float>& t, float step_size,
                   std::int64_t equilibration, std::int64_t steps, const stop_request* stop,
                   Keep&& keep) {
  constexpr std::size_t record = 4096;  // steps a piece: 1.1 MB of records
  lane_steps made(record, false, true);
  std::vector<coords> r;
  std::vector<float> psi;
  stoppable_lane_walk(
      starts, t, step_size, equilibration, steps, &made, nullptr, stop,
      [&](const lane_steps& o, std::int64_t first, std::int64_t n) {
        // Step j (from 0) is kept when j + 1 is a multiple of the thinning.
        const std::int64_t from = first + (thinning - 1 - first % thinning);
        for (std::size_t k = 0; k < lane_width; ++k) {
          r.clear();
          psi.clear();
          for (std::int64_t j = from; j < first + n; j += thinning) {
            const auto at = static_cast<std::size_t>(j - first) * 7 * lane_width + k;
            coords c;
            for (std::size_t i = 0; i < 6; ++i) c[i] = o.configuration[at + i * lane_width];
            r.push_back(c);
            psi.push_back(o.configuration[at + 6 * lane_width]);
          }
          if (!r.empty()) keep(k, static_cast<std::size_t>(from / thinning), r, psi);
        }
      });
}

}  // namespace

sample draw_sample_in_lanes(lane_starts& starts, const covalent_ionic_trial<float>& t,
                            float step_size, std::int64_t equilibration, std::int64_t steps,
                            const stop_request* stop) {
  // Walk k's kept configurations go to [k * kept, (k + 1) * kept).
  const auto kept = static_cast<std::size_t>(steps / thinning);
  sample out;
  out.r.resize(kept * lane_width);
  out.psi.resize(kept * lane_width);
  kept_in_lanes(starts, t, step_size, equilibration, steps, stop,
                [&](std::size_t k, std::size_t i, const std::vector<coords>& r,
                    const std::vector<float>& psi) {
                  std::copy(r.begin(), r.end(), out.r.begin() + static_cast<std::ptrdiff_t>(k * kept + i));
                  std::copy(psi.begin(), psi.end(), out.psi.begin() + static_cast<std::ptrdiff_t>(k * kept + i));
                });
  return out;
}

reweighting_sample draw_reweighting_sample_in_lanes(lane_starts& starts,
                                                    const covalent_ionic_trial<float>& t,
                                                    float step_size, std::int64_t equilibration,
                                                    std::int64_t steps, const stop_request* stop) {
  const auto kept = static_cast<std::size_t>(steps / thinning);
  reweighting_sample out;
  out.size = kept * lane_width;
  for (std::vector<float>& c : out.fixed) c.resize(out.size);
  out.psi.resize(out.size);
  kept_in_lanes(starts, t, step_size, equilibration, steps, stop,
                [&](std::size_t k, std::size_t i, const std::vector<coords>& r,
                    const std::vector<float>& psi) {
                  std::array<float*, 10> columns;
                  for (std::size_t c = 0; c < 10; ++c) columns[c] = out.fixed[c].data() + k * kept + i;
                  fixed_parts_lanes(r.data(), r.size(), t, columns);
                  std::copy(psi.begin(), psi.end(), out.psi.begin() + static_cast<std::ptrdiff_t>(k * kept + i));
                });
  return out;
}

reweighting_sample reweighting_sample_of(const sample& smp, const covalent_ionic_trial<float>& t) {
  reweighting_sample out;
  out.size = smp.r.size();
  std::array<float*, 10> columns;
  for (std::size_t c = 0; c < 10; ++c) {
    out.fixed[c].resize(out.size);
    columns[c] = out.fixed[c].data();
  }
  fixed_parts_lanes(smp.r.data(), out.size, t, columns);
  out.psi = smp.psi;
  return out;
}

reweighted_estimate reweighted(const reweighting_sample& smp, const covalent_ionic_trial<float>& t) {
  reweighting_sums sums{};
  std::array<const float*, 10> columns;
  for (std::size_t c = 0; c < 10; ++c) columns[c] = smp.fixed[c].data();
  reweighting_sums_lanes(columns, smp.psi.data(), smp.size, t, sums);
  double sw = 0, sw2 = 0, swe = 0, swee = 0;
  for (std::size_t k = 0; k < lane_width; ++k) {
    sw += sums.w[k];
    sw2 += sums.w2[k];
    swe += sums.we[k];
    swee += sums.wee[k];
  }
  // A configuration on a singular point has probability zero; it was left out.
  if (!(sw > 0)) return {refused, refused, 0};
  const double mean = swe / sw;
  return {mean, swee / sw - mean * mean, sw * sw / sw2 / static_cast<double>(smp.size)};
}

reweighted_estimate reweighted(const sample& smp, const covalent_ionic_trial<float>& t) {
  return reweighted(reweighting_sample_of(smp, t), t);
}

namespace {

struct objective_data {
  const reweighting_sample* smp;
  float s;
  double most_lambda;  // the largest ionic weight this round's sample can judge
};

// A sample of ionic weight lambda holds ionic configurations in proportion
// to about lambda^2: from one of a small lambda, far apart, it holds none,
// reweighting then sees no cost in a larger lambda, and the simplex could
// jump to any. A round therefore moves lambda at most to twice its sampled
// value and 0.005 more; the next round, sampled there, judges the next step.
double most_lambda_judged(double lambda) {
  return std::min(search_bounds.lambda_high, 2.0 * lambda + 0.005);
}

// E(beta, lambda, a) from the sample; outside the allowed region, or where
// the sample no longer represents the parameters, a value no minimum takes.
double objective(const gsl_vector* x, void* data) {
  const auto& d = *static_cast<const objective_data*>(data);
  const trial_parameters p{gsl_vector_get(x, 0), gsl_vector_get(x, 1), gsl_vector_get(x, 2)};
  constexpr parameter_bounds b = search_bounds;
  if (!(p.beta >= b.beta_low && p.beta <= b.beta_high && p.lambda >= b.lambda_low &&
        p.lambda <= d.most_lambda && p.a >= b.a_low && p.a <= b.a_high)) {
    return refused;
  }
  const reweighted_estimate e = reweighted(*d.smp, trial_of(d.s, p));
  return e.effective >= least_effective
             ? e.energy + variance_share * e.variance + ionic_share * p.lambda * p.lambda
             : refused;
}

// The parameters of least reweighted energy near p, by the Nelder-Mead
// simplex; stop is read before every iteration (run_stopped).
trial_parameters minimise(const reweighting_sample& smp, float s, const trial_parameters& p,
                          const stop_request* stop) {
  objective_data d{&smp, s, most_lambda_judged(p.lambda)};
  gsl_multimin_function f{objective, 3, &d};
  gsl_vector* x = gsl_vector_alloc(3);
  gsl_vector* step = gsl_vector_alloc(3);
  gsl_vector_set(x, 0, p.beta);
  gsl_vector_set(x, 1, p.lambda);
  gsl_vector_set(x, 2, p.a);
  // The first simplex reaches from p towards the inside of the search's
  // bounds: a vertex outside them would leave that parameter unexplored.
  // Where neither side has room for the whole length, the wider side's room.
  constexpr parameter_bounds b = search_bounds;
  const auto inward = [](double x, double length, double low, double high) {
    if (x + length <= high) return length;
    if (x - length >= low) return -length;
    return high - x >= x - low ? high - x : low - x;
  };
  gsl_vector_set(step, 0, inward(p.beta, 0.2, b.beta_low, b.beta_high));
  gsl_vector_set(step, 1, inward(p.lambda, 0.1, b.lambda_low, d.most_lambda));
  gsl_vector_set(step, 2, inward(p.a, 0.02, b.a_low, b.a_high));
  gsl_multimin_fminimizer* m = gsl_multimin_fminimizer_alloc(gsl_multimin_fminimizer_nmsimplex2, 3);
  gsl_multimin_fminimizer_set(m, &f, x, step);
  bool stopped = false;
  for (int i = 0; i < 400; ++i) {
    if (stop_requested(stop)) {
      stopped = true;
      break;
    }
    if (gsl_multimin_fminimizer_iterate(m) != GSL_SUCCESS) break;
    if (gsl_multimin_test_size(gsl_multimin_fminimizer_size(m), 1e-4) == GSL_SUCCESS) break;
  }
  const gsl_vector* best = gsl_multimin_fminimizer_x(m);
  const trial_parameters out{gsl_vector_get(best, 0), gsl_vector_get(best, 1),
                             gsl_vector_get(best, 2)};
  gsl_multimin_fminimizer_free(m);
  gsl_vector_free(step);
  gsl_vector_free(x);
  if (stopped) throw run_stopped();
  return out;
}

constexpr int tuning_stretches = 10;
constexpr std::int64_t tuning_steps = 500;

}  // namespace


float tuned_step(ecuyer& g, coords& start, const covalent_ionic_trial<float>& t, float step) {
  walker w = walker_at(start, t);
  for (int k = 0; k < tuning_stretches; ++k) {
    std::int64_t accepted = 0;
    metropolis_walk(w, g, scaled_step{step}, t, acceptance::above_deviate, tuning_steps,
                    [&accepted](const walk_step& s) { accepted += s.accepted; });
    const double rate = static_cast<double>(accepted) / static_cast<double>(tuning_steps);
    step = static_cast<float>(static_cast<double>(step) * std::clamp(rate / 0.5, 0.5, 2.0));
  }
  start = w.r;
  return step;
}

namespace {

// The starts of the lane_width walks of round `round` (max_rounds: the
// final walk): walk k on stream round x lane_width + k of the separation,
// from a start around the protons. With tuning, walk 0 first tunes the step
// every walk of the round takes, and starts where its tuning ends.
lane_starts round_starts(const optimize_settings& settings, const stream_plan& plan,
                         std::size_t index, int round, const covalent_ionic_trial<float>& t,
                         float& step_size) {
  lane_starts out;
  for (std::size_t k = 0; k < lane_width; ++k) {
    out.g[k] = plan.stream(index, static_cast<std::uint64_t>(round) * lane_width + k);
    out.r[k] = start_configuration(out.g[k], t.s, offset_rounding::per_operation);
  }
  step_size = settings.tune_step ? tuned_step(out.g[0], out.r[0], t, settings.step_size)
                                 : settings.step_size;
  return out;
}

}  // namespace

optimize_row optimize_separation(const optimize_settings& settings, std::size_t index,
                                 const std::function<void(const optimize_round&)>& progress) {
  return optimize_separation_keeping(settings, index, progress, nullptr, nullptr);
}

optimize_row optimize_separation_keeping(const optimize_settings& settings, std::size_t index,
                                         const std::function<void(const optimize_round&)>& progress,
                                         const stop_request* stop, optimize_keeper* keeper) {
  const float s = settings.separations[index];
  const stream_plan plan = stream_plan::of(settings);
  optimize_state st;
  if (keeper == nullptr || !keeper->find(index, st)) {
    // The classic trial function is where the search starts.
    st.p = classic_trial(s);
    st.steps = settings.sample_steps;
  }
  trial_parameters p = st.p;
  optimize_row row{s, p};
  row.rounds = st.rounds;
  row.predicted = st.predicted;
  row.predicted_error = st.predicted_error;
  row.converged = st.converged;
  std::int64_t steps = st.steps;
  for (int round = st.rounds; !st.searched && round < settings.max_rounds; ++round) {
    if (stop_requested(stop)) throw run_stopped();
    float step_size = 0;
    lane_starts starts = round_starts(settings, plan, index, round, trial_of(s, p), step_size);
    const reweighting_sample smp = draw_reweighting_sample_in_lanes(
        starts, trial_of(s, p), step_size, settings.equilibration, steps_per_lane(steps), stop);
    const reweighted_estimate was = reweighted(smp, trial_of(s, p));
    const double before = was.energy + variance_share * was.variance;
    const trial_parameters next = minimise(smp, s, p, stop);
    const reweighted_estimate now = reweighted(smp, trial_of(s, next));
    const double after = now.energy + variance_share * now.variance;
    p = next;
    row.rounds = round + 1;
    row.predicted = now.energy;
    // The sample's error for the new parameters, from the final walk's below:
    // the same correlation, fewer steps, and only the effective share of them.
    row.predicted_error = static_cast<double>(steps) * std::max(now.effective, 1e-9);
    if (progress) progress({s, round + 1, p, now.energy, before - after});
    if (before - after < gain_tolerance) row.converged = true;
    if (!row.converged) steps = std::min(2 * steps, largest_growth * settings.sample_steps);
    st = {row.rounds, p, steps, row.predicted, row.predicted_error, row.converged,
          row.converged || round + 1 == settings.max_rounds};
    if (keeper != nullptr) keeper->keep(index, st, st.searched);
    if (row.converged) break;
  }
  row.p = p;
  if (stop_requested(stop)) throw run_stopped();

  // The energy of the result from a walk that took no part in finding it.
  lane_starts starts = round_starts(settings, plan, index, settings.max_rounds, trial_of(s, p),
                                    row.step_size);
  const measured m = measure_in_lanes(starts, trial_of(s, p), row.step_size, settings.equilibration,
                                      steps_per_lane(settings.steps), stop);
  row.energy = m.energy;
  row.error = m.error;
  row.variance = m.variance;
  row.acceptance = static_cast<double>(m.accepted) / static_cast<double>(m.steps);
  row.error_converged = m.converged;
  // predicted_error held the sample's effective number of steps.
  row.predicted_error = m.error * std::sqrt(static_cast<double>(m.steps) / row.predicted_error);
  return row;
}

std::vector<optimize_row> run_optimize(const optimize_settings& settings,
                                       const std::function<void(const optimize_round&)>& progress,
                                       const stop_request* stop) {
  return run_optimize(settings, all_tasks(settings.separations.size()), progress, stop);
}

std::vector<optimize_row> run_optimize(const optimize_settings& settings,
                                       const std::vector<std::size_t>& tasks,
                                       const std::function<void(const optimize_round&)>& progress,
                                       const stop_request* stop) {
  return run_optimize_keeping(settings, tasks, progress, stop, nullptr);
}

std::vector<optimize_row> run_optimize_keeping(
    const optimize_settings& settings, const std::vector<std::size_t>& tasks,
    const std::function<void(const optimize_round&)>& progress, const stop_request* stop,
    optimize_keeper* keeper) {
  validate(settings);
  check_tasks(tasks, settings.separations.size());
  // An exception may not leave a critical section: the first one the
  // callback throws is kept, and thrown again once every thread has stopped.
  std::exception_ptr failure;
  auto report = [&progress, &failure](const optimize_round& r) {
#pragma omp critical(optimize_progress)
    {
      try {
        if (!failure) progress(r);
      } catch (...) {
        failure = std::current_exception();
      }
    }
  };
  std::vector<optimize_row> rows = rows_in_parallel<optimize_row>(tasks, [&](std::size_t task) {
    if (stop_requested(stop)) throw run_stopped();
    return optimize_separation_keeping(settings, task,
                                       progress ? std::function<void(const optimize_round&)>(report)
                                                : std::function<void(const optimize_round&)>{},
                                       stop, keeper);
  });
  if (failure) std::rethrow_exception(failure);
  if (stop_requested(stop)) throw run_stopped();
  return rows;
}

std::vector<flag> flags_of(const optimize_row& r) {
  std::vector<flag> flags =
      walk_flags(r.s, r.energy, r.error, r.acceptance, r.error_converged, true);
  constexpr parameter_bounds b = search_bounds;
  const auto near = [](double x, double bound, double low, double high) {
    return std::fabs(x - bound) <= 0.005 * (high - low);
  };
  // Far apart beta hardly matters and may end anywhere; an ionic weight of
  // 0 is the limit of two atoms: neither is a sign of a misled search.
  if (near(r.p.beta, b.beta_low, b.beta_low, b.beta_high) ||
      near(r.p.lambda, b.lambda_high, b.lambda_low, b.lambda_high) ||
      near(r.p.a, b.a_low, b.a_low, b.a_high) || near(r.p.a, b.a_high, b.a_low, b.a_high)) {
    flags.push_back({"at-bound", "the search stopped at a bound of its parameters (beta 0 to 5 /A, "
                                 "ionic weight 0 to 1, a 0.2 to 1 A): the optimum may lie beyond, "
                                 "or the walk misled it"});
  }
  if (!r.converged) {
    flags.push_back({"still-gaining", "still gaining after " + std::to_string(r.rounds) +
                                          " rounds; the parameters may not be optimal (raise "
                                          "--max-rounds or --sample-steps)"});
  }
  const double apart = std::hypot(r.error, r.predicted_error);
  if (std::fabs(r.energy - r.predicted) > 4.0 * apart) {
    flags.push_back({"disagrees", "the fresh walk's energy is " + fixed(r.energy - r.predicted, 4) +
                                      " eV from the optimiser's estimate, more than four "
                                      "combined errors"});
  }
  return flags;
}

namespace {

const std::vector<std::string> columns = {"s",     "beta",     "ionic_weight", "a",   "energy",
                                          "error", "variance", "acceptance",   "flag"};

}  // namespace

table optimize_table(const std::vector<optimize_row>& rows) {
  table t{columns, {}};
  for (const optimize_row& r : rows) {
    t.rows.push_back({shortest(r.s), shortest(static_cast<float>(r.p.beta)),
                      shortest(static_cast<float>(r.p.lambda)), shortest(static_cast<float>(r.p.a)),
                      shortest(r.energy), shortest(r.error), shortest(r.variance),
                      shortest(r.acceptance), flag_column(flags_of(r))});
  }
  return t;
}

table optimize_table_for_people(const std::vector<optimize_row>& rows) {
  table t{columns, {}};
  for (const optimize_row& r : rows) {
    t.rows.push_back({shortest(r.s), fixed(r.p.beta, 3), fixed(r.p.lambda, 3), fixed(r.p.a, 4),
                      fixed(r.energy, 4), fixed(r.error, 4), fixed(r.variance, 3),
                      fixed(r.acceptance, 4), flag_column(flags_of(r))});
  }
  return t;
}

}  // namespace vmc
