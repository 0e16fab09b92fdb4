#include "vmc/dmc.h"

#include <gsl/gsl_cdf.h>
#include <gsl/gsl_fit.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <exception>
#include <limits>
#include <stdexcept>
#include <type_traits>

#include <omp.h>

#include "lanes/diffusion_lanes.h"
#include "lanes/lane_walk.h"
#include "model/constants.h"
#include "stats/blocking.h"
#include "vmc/parallel_tasks.h"
#include "vmc/optimize.h"
#include "vmc/sampling.h"
#include "vmc/scan.h"
#include "vmc/stream_plan.h"
#include "walk/diffusion.h"
#include "walk/start_configuration.h"

namespace vmc {
namespace {

constexpr double feedback_steps = 50;              // population control: steps to correct ln(N/N0)
constexpr double average_share = 0.01;             // running average of E: weight of a new step
constexpr double lowest_population = 0.25;         // of the target: below it the run ends
constexpr double highest_population = 4.0;         // of the target: above it the run ends

// A step's sums over its walkers in walker order: of the weights, of the
// weighted cut local energies, and of the local energies of the walkers'
// copies.
struct step_sums {
  double sw = 0, swe = 0, e_plain = 0;
};

// Adds walkers k, k + 1, ... to the sums while each leaves one copy, and
// returns the first that does not, or n, its weight already added (but not
// its copies' energies) and its copies floor(min(w + u, 3)) in `copies`
// (-1 when its weight is not finite). Kept apart from the branching, which
// calls out, so that the sums stay in registers.
[[gnu::noinline]] std::size_t one_copy_each(const diffusion_weight* weights,
                                            const diffusion_move* done, std::size_t k,
                                            std::size_t n, step_sums& sums, int& copies) {
  double sw = sums.sw, swe = sums.swe, e_plain = sums.e_plain;
  for (; k < n; ++k) {
    const double w = weights[k].weight;
    // The step's weight multiplies the local energy where the walker now
    // stands: after branching the walkers are distributed as f = psi_T phi,
    // the move and its weight carry f at one step to f at the next, so the
    // weighted walkers after the move are again a sample of f. The energy
    // before the move, weighted by the move's own weight, would count the
    // configurations of low local energy once more: a bias of about
    // -tau Var(E_L), a third of an eV for the classic trial function at
    // tau = 0.01 /eV.
    sw += w;
    swe += w * weights[k].after;
    // One copy for 1 <= w + u < 2, never for a weight that is not finite.
    const double copies_up = w + done[k].branch;
    if (!(copies_up >= 1 && copies_up < 2)) {
      copies = std::isfinite(w) ? static_cast<int>(std::floor(std::fmin(copies_up, most_copies))) : -1;
      break;
    }
    e_plain += static_cast<double>(done[k].eloc_after);
  }
  sums = {sw, swe, e_plain};
  return k;
}

}  // namespace

void branch_in_place(std::vector<diffusion_walker>& walkers, const std::vector<branching>& branchings) {
  static_assert(std::is_trivially_copyable_v<diffusion_walker>);
  if (branchings.empty()) return;
  const std::size_t count = walkers.size();
  std::ptrdiff_t gained = 0;
  for (const branching& b : branchings) gained += b.copies - 1;
  const std::size_t size = count + static_cast<std::size_t>(gained);
  if (size > count) walkers.resize(size);
  diffusion_walker* w = walkers.data();
  const auto move_block = [w](std::size_t from, std::size_t to, std::ptrdiff_t by) {
    if (to > from) {
      std::memmove(w + static_cast<std::ptrdiff_t>(from) + by, w + from,
                   (to - from) * sizeof(diffusion_walker));
    }
  };
  const auto copy_to = [w](const branching& b, int copy, std::size_t at) {
    if (at != b.k) w[at] = w[b.k];
    if (copy > 0) w[at].g = b.g[static_cast<std::size_t>(copy - 1)];
  };
  // To the left, from left to right.
  std::ptrdiff_t by = 0;
  std::size_t from = 0;
  for (const branching& b : branchings) {
    if (by < 0) move_block(from, b.k, by);
    for (int copy = 0; copy < b.copies; ++copy) {
      const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(b.k) + by + copy;
      if (at <= static_cast<std::ptrdiff_t>(b.k)) copy_to(b, copy, static_cast<std::size_t>(at));
    }
    by += b.copies - 1;
    from = b.k + 1;
  }
  if (by < 0) move_block(from, count, by);
  // To the right, from right to left.
  if (by > 0) move_block(from, count, by);
  for (auto b = branchings.rbegin(); b != branchings.rend(); ++b) {
    by -= b->copies - 1;
    for (int copy = b->copies - 1; copy >= 0; --copy) {
      const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(b->k) + by + copy;
      if (at > static_cast<std::ptrdiff_t>(b->k)) copy_to(*b, copy, static_cast<std::size_t>(at));
    }
    const std::size_t first = b + 1 == branchings.rend() ? 0 : (b + 1)->k + 1;
    if (by > 0) move_block(first, b->k, by);
  }
  if (size < count) walkers.resize(size);
}

namespace {

// A thread's part of the population: a run of consecutive walkers, with its
// own moves, weights and branchings; the parts one after the other are the
// population in walker order. Which part a walker is in never changes its
// numbers, nor the order of any sum.
struct alignas(64) walker_part {
  std::vector<diffusion_walker> walkers;
  std::vector<diffusion_move> done;
  std::vector<diffusion_weight> weights;  // each walker's cut energy after its move and its weight
  std::vector<branching> branchings;  // of a step, in walker order
  std::int64_t accepted = 0;
  double seconds = 0;  // the last step's move
  double pace = 0;     // walkers moved a second, 0 before the first step
};

// The first exception thrown in a parallel region (none may leave it), to be
// thrown again once the region has ended.
class first_failure {
 public:
  void keep(std::exception_ptr e) {
#pragma omp critical(dmc_first_failure)
    if (!e_) e_ = std::move(e);
  }
  bool any() const {
    bool any = false;
#pragma omp critical(dmc_first_failure)
    any = static_cast<bool>(e_);
    return any;
  }
  void rethrow() const {
    if (e_) std::rethrow_exception(e_);
  }

 private:
  std::exception_ptr e_;
};

// The parts of a population of `target` walkers: one per thread, but a step
// of fewer than 500 walkers a thread is too short to share (threads would
// wait on each other longer than they walk, and far longer on a busy
// machine), and none inside a parallel region.
std::size_t parts_for(std::int64_t target) {
  const std::int64_t threads = omp_in_parallel() ? 1 : omp_get_max_threads();
  return static_cast<std::size_t>(std::clamp<std::int64_t>(target / 500, 1, threads));
}

// Where each part begins, and n where the last ends: each part's share of
// the n walkers in proportion to its thread's pace (walkers a second; the
// same for all before any is measured), in whole groups of lanes, and at
// least one group each, so that every thread's pace stays measured. Cores of
// one machine need not be equally fast (a laptop's, or one shared with other
// work), and the step waits for its slowest part.
std::vector<std::size_t> part_bounds(const std::vector<walker_part>& parts, std::size_t n) {
  bool measured = true;
  for (const walker_part& part : parts) measured = measured && part.pace > 0;
  const auto pace = [measured](const walker_part& part) { return measured ? part.pace : 1.0; };
  double all = 0;
  for (const walker_part& part : parts) all += pace(part);
  const std::size_t p = parts.size(), least = n >= p * lane_width ? lane_width : 0;
  std::vector<std::size_t> bounds{0};
  double before = 0;
  for (std::size_t q = 0; q + 1 < p; ++q) {
    before += pace(parts[q]);
    const auto share = static_cast<std::size_t>(static_cast<double>(n) * before / all);
    const std::size_t whole_groups = (share + lane_width / 2) / lane_width * lane_width;
    bounds.push_back(std::clamp(whole_groups, bounds.back() + least, n - (p - 1 - q) * least));
  }
  bounds.push_back(n);
  return bounds;
}

// A part's pace after a step of `walkers` walkers in `seconds`: a running
// mean over about a hundred steps, each step's pace held within half and
// twice the mean so that a thread the system set aside for a while does not
// throw the shares.
void measure_pace(walker_part& part, std::size_t walkers, double seconds) {
  if (walkers == 0 || !(seconds > 0)) return;
  const double pace = static_cast<double>(walkers) / seconds;
  if (part.pace == 0) {
    part.pace = pace;
  } else {
    part.pace += 0.01 * (std::clamp(pace, 0.5 * part.pace, 2 * part.pace) - part.pace);
  }
}

// The parts as the bounds say, walker order kept. Each thread copies its
// new part, most of it from its old one.
void lay_out(std::vector<walker_part>& parts, const std::vector<std::size_t>& bounds) {
  const std::size_t p = parts.size();
  std::vector<std::vector<diffusion_walker>> fresh(p);
  first_failure failure;
#pragma omp parallel for schedule(static, 1) num_threads(static_cast<int>(p)) if (p > 1)
  for (std::size_t q = 0; q < p; ++q) {
    try {
      fresh[q].reserve(bounds[q + 1] - bounds[q]);
      std::size_t at = 0;  // where old part r begins
      for (const walker_part& old : parts) {
        const std::size_t size = old.walkers.size();
        const std::size_t from = std::max(bounds[q], at), to = std::min(bounds[q + 1], at + size);
        if (from < to) {
          fresh[q].insert(fresh[q].end(), old.walkers.begin() + static_cast<std::ptrdiff_t>(from - at),
                          old.walkers.begin() + static_cast<std::ptrdiff_t>(to - at));
        }
        at += size;
      }
    } catch (...) {
      failure.keep(std::current_exception());
    }
  }
  failure.rethrow();
  for (std::size_t q = 0; q < p; ++q) parts[q].walkers = std::move(fresh[q]);
}

// Whether a part has strayed from its share by more than a 32nd of the
// population (and more than four groups of lanes): the threads' waits for
// the largest part then cost more than laying the parts out again.
bool uneven(const std::vector<walker_part>& parts, const std::vector<std::size_t>& bounds) {
  const std::size_t n = bounds.back(), slack = std::max(n / 32, 4 * lane_width);
  for (std::size_t q = 0; q < parts.size(); ++q) {
    const std::size_t have = parts[q].walkers.size(), share = bounds[q + 1] - bounds[q];
    if (have > share + slack || have + slack < share) return true;
  }
  return false;
}

// Moves and weighs the part's walkers in vector lanes, each to the bit as
// diffusion_step and weigh would alone, and counts the acceptances; times
// the whole.
void move_part(walker_part& part, const covalent_ionic_trial<float>& t, double tau,
               const diffusion_weighing& h) {
  const double start = omp_get_wtime();
  const std::size_t n = part.walkers.size();
  part.done.resize(n);
  part.weights.resize(n);
  std::int64_t accepted = 0;
  diffusion_step_lanes(part.walkers.data(), n, t, tau, h, part.done.data(), part.weights.data());
  for (const diffusion_move& m : part.done) accepted += m.accepted;
  part.accepted = accepted;
  part.seconds = omp_get_wtime() - start;
}

[[noreturn]] void end_run(float s, std::int64_t step, const std::string& what) {
  throw std::runtime_error("s = " + shortest(s) + ": step " + std::to_string(step) + ": " + what);
}

}  // namespace

dmc_row run_dmc(const dmc_settings& settings, std::size_t index,
                const std::function<void(std::int64_t, std::int64_t)>& progress,
                const stop_request* stop) {
  return run_dmc_keeping(settings, index, progress, stop, nullptr);
}

dmc_row run_dmc_keeping(const dmc_settings& settings, std::size_t index,
                        const std::function<void(std::int64_t, std::int64_t)>& progress,
                        const stop_request* stop, dmc_keeper* keeper) {
  validate(settings);
  check_tasks({index}, dmc_runs(settings));
  const std::size_t taus = settings.time_steps.size();
  const float s = settings.separations[index / taus];
  const trial_parameters p = settings.parameters[index / taus];
  const covalent_ionic_trial<float> t = trial_of(s, p);
  const float time_step = settings.time_steps[index % taus];
  const double tau = static_cast<double>(time_step);
  const std::int64_t total = settings.equilibration + settings.steps;
  const stream_plan plan = stream_plan::of(settings);
  const auto target_walkers = static_cast<std::uint64_t>(settings.walkers);
  auto stream = [&](std::uint64_t k) { return plan.stream(index, k); };
  constexpr model_constants c = make_constants();
  // The local-energy cutoff (cut_local_energy, walk/diffusion.h): E_cut =
  // 2 / sqrt(tau) in hartree units, here 2 sqrt(E_h / tau) with tau in 1/eV
  // and E_h the model's hartree, e2 / abohr. At the default tau of 1e-4 /eV
  // it is 1043 eV, beyond all but the rarest local energies of a sound trial
  // function.
  const double e_cut =
      2.0 * std::sqrt(static_cast<double>(c.e2) / static_cast<double>(c.abohr) / tau);

  dmc_row row{s, p};
  row.time_step = time_step;
  row.walkers = settings.walkers;
  row.steps = settings.steps;

  dmc_state st;
  if (keeper == nullptr || !keeper->find(index, st)) {
    // Eight walks in lanes from streams first, first + 1, ... each.
    static_assert(first_walker_stream == 2 * lane_width);
    const auto starts_from = [&](std::uint64_t first) {
      lane_starts out;
      for (std::size_t k = 0; k < lane_width; ++k) {
        out.g[k] = stream(first + k);
        out.r[k] = start_configuration(out.g[k], s, offset_rounding::per_operation);
      }
      return out;
    };
    // The trial function's variational energy, for comparison: eight walks
    // of an eighth of the steps each.
    {
      lane_starts starts = starts_from(0);
      st.energy_vmc = measure_in_lanes(starts, t, 0.40125f, 10000,
                                       steps_per_lane(settings.vmc_steps), stop).energy;
    }
    if (!std::isfinite(st.energy_vmc)) end_run(s, 0, "the trial function's local energy is not finite");
    // The first population: every second kept configuration of eight walks
    // of psi_T^2, 2 W kept ones at least, walk after walk.
    lane_starts starts = starts_from(lane_width);
    const sample smp = draw_sample_in_lanes(starts, t, 0.40125f, 10000,
                                            first_sample_steps_per_lane(settings.walkers), stop);
    for (std::uint64_t k = 0; k < target_walkers; ++k) {
      st.walkers.push_back(diffusion_walker_at(smp.r[2 * k], t, stream(first_walker_stream + k)));
      if (!std::isfinite(st.walkers.back().eloc)) {
        end_run(s, 0, "a walker's local energy is not finite");
      }
    }
    st.e_average = st.energy_vmc;
    st.e_trial = st.e_average;
    st.streams = first_walker_stream + target_walkers;
  }
  row.energy_vmc = st.energy_vmc;

  const double target = static_cast<double>(settings.walkers);
  // A copy beyond a walker's first takes the generator of a walker that
  // died, in the order they died, where it stops drawing; only when none is
  // left does it open the next stream of the separation. Every generator is
  // drawn by one walker at a time, at most 8 deviates a step, so no stream is
  // drawn twice, and the streams ever opened are at most the generators held
  // at once: below 3 times the population, 12 W within the band.
  std::deque<ecuyer>& idle = st.idle;
  std::vector<walker_part> parts(parts_for(settings.walkers));
  parts.front().walkers = std::move(st.walkers);
  lay_out(parts, part_bounds(parts, parts.front().walkers.size()));
  const auto population = [&parts] {
    std::size_t n = 0;
    for (const walker_part& part : parts) n += part.walkers.size();
    return n;
  };
  // The population in walker order, for the keeper.
  const auto state = [&]() -> const dmc_state& {
    st.walkers.clear();
    for (const walker_part& part : parts) {
      st.walkers.insert(st.walkers.end(), part.walkers.begin(), part.walkers.end());
    }
    return st;
  };

  const std::int64_t resumed_at = st.step;
  for (std::int64_t& step = st.step; step < total;) {
    if (stop_requested(stop)) {
      if (keeper != nullptr) keeper->stopped(index, state());
      throw run_stopped();
    }
    const double e_average = st.e_average, e_trial = st.e_trial;
    step_sums sums;
    first_failure failure;
    // Each thread moves, weighs and branches its own part, so that a walker
    // stays in the cache of the core that moves it; only the sums and the
    // generators of the copies pass from part to part, in walker order.
    const auto team = static_cast<int>(parts.size());
    // tau_eff: tau times the acceptance of the steps before this one (of
    // none, 1), the same for every part.
    const double tau_eff =
        st.moves > 0 ? tau * static_cast<double>(st.accepted) / static_cast<double>(st.moves) : tau;
    const diffusion_weighing weighing{e_average, e_cut, e_trial, tau_eff};
#pragma omp parallel for ordered schedule(static, 1) num_threads(team) if (team > 1)
    for (std::size_t q = 0; q < parts.size(); ++q) {
      walker_part& part = parts[q];
      // Each walker's move and weight, exp(-tau_eff ((S + S')/2 - E_T)), in
      // vector lanes, the same to the bit on every target.
      bool weighed = false, branched = false;
      try {
        move_part(part, t, tau, weighing);
        weighed = true;
      } catch (...) {
        failure.keep(std::current_exception());
      }
#pragma omp ordered
      {
        // After a failure the parts that follow leave the sums alone: the
        // run ends with the first.
        if (weighed && !failure.any()) {
          try {
            // The sums of the step, the copies of each walker, and the sum
            // of the local energies of the next population, in its order.
            part.branchings.clear();
            const std::size_t count = part.walkers.size();
            for (std::size_t k = 0; k < count; ++k) {
              int copies = 1;
              k = one_copy_each(part.weights.data(), part.done.data(), k, count, sums, copies);
              if (copies < 0) end_run(s, step + 1, "a walker's weight is not finite");
              if (k == count) break;
              branching b{k, copies, {}};
              if (copies == 0) idle.push_back(part.walkers[k].g);
              const double e = static_cast<double>(part.done[k].eloc_after);
              for (int copy = 0; copy < copies; ++copy) {
                sums.e_plain += e;
                if (copy == 0) continue;
                if (!idle.empty()) {
                  b.g[copy - 1] = idle.front();
                  idle.pop_front();
                } else {
                  if (st.streams == plan.streams_per_separation) {
                    throw std::logic_error(
                        "run_dmc: more streams than a population within its band needs");
                  }
                  b.g[copy - 1] = stream(st.streams++);
                }
              }
              part.branchings.push_back(b);
            }
            branched = true;
          } catch (...) {
            failure.keep(std::current_exception());
          }
        }
      }
      if (branched) {
        try {
          branch_in_place(part.walkers, part.branchings);
        } catch (...) {
          failure.keep(std::current_exception());
        }
      }
    }
    failure.rethrow();
    for (walker_part& part : parts) {
      st.accepted += part.accepted;
      st.moves += static_cast<std::int64_t>(part.done.size());
      measure_pace(part, part.done.size(), part.seconds);
    }
    const std::size_t n = population();
    const double size = static_cast<double>(n);
    if (size < lowest_population * target || size > highest_population * target) {
      end_run(s, step + 1,
           "the population of " + std::to_string(n) +
               " walkers left its band of a quarter to four times its target of " +
               std::to_string(settings.walkers) + " (try a smaller --time-step or a better trial function)");
    }
    if (parts.size() > 1) {
      const std::vector<std::size_t> bounds = part_bounds(parts, n);
      if (uneven(parts, bounds)) lay_out(parts, bounds);
    }
    const double e_step = sums.swe / sums.sw;
    if (!std::isfinite(e_step)) end_run(s, step + 1, "the energy of the step is not finite");
    st.e_average += average_share * (e_step - st.e_average);
    st.e_trial = st.e_average - std::log(size / target) / (feedback_steps * tau);
    if (step >= settings.equilibration) {
      st.series.add(e_step);
      st.population_sum += size;
      st.population_squares += size * size;
      st.unweighted_sum += sums.e_plain / size;
    }
    ++step;
    if (keeper != nullptr && keeper->due(step == total)) {
      keeper->keep(index, state(), step == total);
      std::vector<diffusion_walker>().swap(st.walkers);  // the parts hold them
    }
    if (progress && (step % 1000 == 0 || step == total)) progress(step, total);
  }
  if (keeper != nullptr && resumed_at == total) keeper->keep(index, state(), true);
  const blocking& series = st.series;
  const std::int64_t accepted = st.accepted, moves = st.moves;
  const double population_sum = st.population_sum, population_squares = st.population_squares,
               unweighted_sum = st.unweighted_sum;

  const blocking_result b = analyse(series);
  row.energy = b.mean;
  row.error = b.error;
  row.converged = b.converged;
  row.acceptance = static_cast<double>(accepted) / static_cast<double>(moves);
  const double measured = static_cast<double>(settings.steps);
  row.population_mean = population_sum / measured;
  row.population_spread =
      std::sqrt(std::max(0.0, population_squares / measured - row.population_mean * row.population_mean));
  row.energy_unweighted = unweighted_sum / measured;
  return row;
}

namespace {

// The limit tau -> 0 of one separation's rows (at least two time steps).
dmc_row time_step_limit(const dmc_row* rows, std::size_t n) {
  constexpr double none = std::numeric_limits<double>::quiet_NaN();
  dmc_row limit = rows[0];
  limit.time_step = 0;
  limit.extrapolated = true;
  limit.acceptance = none;
  limit.population_mean = none;
  limit.population_spread = none;
  limit.energy_unweighted = none;
  std::vector<double> tau(n), weight(n), energy(n);
  for (std::size_t k = 0; k < n; ++k) {
    tau[k] = static_cast<double>(rows[k].time_step);
    weight[k] = 1.0 / (rows[k].error * rows[k].error);
    energy[k] = rows[k].energy;
    limit.converged = limit.converged && rows[k].converged;
  }
  // A row without an error (a series too short to have one) cannot weigh
  // its point: the limit is then not known.
  if (!std::all_of(weight.begin(), weight.end(), [](double w) { return std::isfinite(w) && w > 0; })) {
    limit.energy = limit.error = none;
    return limit;
  }
  double e0 = 0, slope = 0, c00 = 0, c01 = 0, c11 = 0, chi2 = 0;
  gsl_fit_wlinear(tau.data(), 1, weight.data(), 1, energy.data(), 1, n, &e0, &slope, &c00, &c01,
                  &c11, &chi2);
  limit.energy = e0;
  limit.chi_squared = chi2;
  limit.degrees_of_freedom = static_cast<std::int64_t>(n) - 2;
  const double dof = static_cast<double>(limit.degrees_of_freedom);
  limit.error = std::sqrt(c00) * (dof > 0 && chi2 > dof ? std::sqrt(chi2 / dof) : 1.0);
  return limit;
}

// Below this chance of so large a chi^2, a straight line does not describe
// the points.
constexpr double least_fit_chance = 1e-3;

}  // namespace

std::vector<dmc_row> with_time_step_limits(const dmc_settings& settings,
                                           const std::vector<dmc_row>& rows) {
  const std::size_t taus = settings.time_steps.size();
  if (rows.size() != dmc_runs(settings)) {
    throw std::invalid_argument("with_time_step_limits: " + std::to_string(rows.size()) +
                                " rows for " + std::to_string(dmc_runs(settings)) + " runs");
  }
  if (taus < 2) return rows;
  std::vector<dmc_row> out;
  for (std::size_t first = 0; first < rows.size(); first += taus) {
    out.insert(out.end(), rows.begin() + static_cast<std::ptrdiff_t>(first),
               rows.begin() + static_cast<std::ptrdiff_t>(first + taus));
    out.push_back(time_step_limit(rows.data() + first, taus));
  }
  return out;
}

std::vector<flag> flags_of(const dmc_row& r) {
  std::vector<flag> flags;
  if (r.extrapolated && r.degrees_of_freedom > 0 &&
      gsl_cdf_chisq_Q(r.chi_squared, static_cast<double>(r.degrees_of_freedom)) < least_fit_chance) {
    flags.push_back({"poor-fit", "the energies of the time steps lie off a straight line in tau "
                                 "(chi^2 = " + fixed(r.chi_squared, 1) + " for " +
                                     std::to_string(r.degrees_of_freedom) +
                                     " degrees of freedom): the limit is in doubt (use smaller "
                                     "time steps)"});
  }
  if (r.acceptance < 0.9) {
    flags.push_back({"low-acceptance", "only " + fixed(100.0 * r.acceptance, 2) +
                                           " % of the moves were accepted: the time step is too "
                                           "large for this trial function (make it smaller)"});
  }
  if (!r.converged) {
    flags.push_back({"error-lower-bound", "the series is too short for its correlation time; "
                                          "the error is only a lower bound (run more steps)"});
  }
  add_below_exact(flags, r.s, r.energy, r.error);
  return flags;
}

namespace {

const std::vector<std::string> columns = {
    "s",    "time_step",    "walkers", "steps",           "energy",            "error", "acceptance",
    "energy_vmc", "beta", "ionic_weight", "a", "population_mean", "population_spread", "flag"};

}  // namespace

table dmc_table(const std::vector<dmc_row>& rows) {
  table t{columns, {}};
  for (const dmc_row& r : rows) {
    t.rows.push_back({shortest(r.s), shortest(r.time_step), std::to_string(r.walkers),
                      std::to_string(r.steps), shortest(r.energy), shortest(r.error),
                      shortest(r.acceptance), shortest(r.energy_vmc),
                      shortest(static_cast<float>(r.p.beta)), shortest(static_cast<float>(r.p.lambda)),
                      shortest(static_cast<float>(r.p.a)), shortest(r.population_mean),
                      shortest(r.population_spread), flag_column(flags_of(r))});
  }
  return t;
}

table dmc_table_for_people(const std::vector<dmc_row>& rows) {
  // What a limit tau -> 0 has no value of is left blank for people.
  const auto measured = [](double x, int digits) { return std::isnan(x) ? std::string() : fixed(x, digits); };
  table t{columns, {}};
  for (const dmc_row& r : rows) {
    t.rows.push_back({shortest(r.s), shortest(r.time_step), std::to_string(r.walkers),
                      std::to_string(r.steps), fixed(r.energy, 4), fixed(r.error, 4),
                      measured(r.acceptance, 4), fixed(r.energy_vmc, 4), fixed(r.p.beta, 3),
                      fixed(r.p.lambda, 3), fixed(r.p.a, 4), measured(r.population_mean, 1),
                      measured(r.population_spread, 1), flag_column(flags_of(r))});
  }
  return t;
}

}  // namespace vmc
