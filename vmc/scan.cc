#include "vmc/scan.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <memory>

#include "lanes/lane_walk.h"
#include "model/covalent_ionic.h"
#include "model/trial_function.h"
#include "stats/energy_statistics.h"
#include "vmc/parallel_tasks.h"
#include "vmc/stoppable_walk.h"
#include "vmc/stream_plan.h"
#include "walk/metropolis.h"
#include "walk/proposals.h"
#include "walk/start_configuration.h"

namespace vmc {

std::int64_t common_steps(const scan_settings& settings) {
  return settings.equilibration + settings.steps / settings.walkers;
}

std::int64_t walker_steps(const scan_settings& settings, std::int64_t w) {
  return settings.steps / settings.walkers + (w < settings.steps % settings.walkers ? 1 : 0);
}

measured measured_from(const energy_statistics& stats) {
  const blocking_result b = analyse(stats.series);
  measured m;
  m.steps = stats.series.count();
  m.accepted = stats.accepted;
  m.energy = b.mean;
  m.error = b.error;
  m.tau = b.tau;
  m.variance = b.variance;
  m.energy_accepted = stats.sum_accepted / static_cast<double>(stats.accepted);
  m.converged = b.converged;
  return m;
}

template <class Trial>
measured measure(ecuyer& g, const coords& start, const Trial& t, float step_size,
                 std::int64_t equilibration, std::int64_t steps, const stop_request* stop) {
  energy_statistics stats;
  stoppable_walk(start, g, reflecting_step{step_size}, t, acceptance::above_deviate, equilibration,
                 steps, stats, stop);
  return measured_from(stats);
}

template measured measure(ecuyer&, const coords&, const trial_function<exp_double>&, float,
                          std::int64_t, std::int64_t, const stop_request*);
template measured measure(ecuyer&, const coords&, const covalent_ionic_trial<float>&, float,
                          std::int64_t, std::int64_t, const stop_request*);

std::array<energy_statistics, lane_width> measure_each_in_lanes(
    lane_starts& starts, const covalent_ionic_trial<float>& t, float step_size,
    std::int64_t equilibration, std::int64_t steps, const stop_request* stop) {
  auto stats = std::make_unique<lane_statistics>();
  stoppable_lane_walk(starts, t, step_size, equilibration, steps, nullptr, stats.get(), stop,
                      [](const lane_steps&, std::int64_t, std::int64_t) {});
  std::array<energy_statistics, lane_width> out;
  for (std::size_t k = 0; k < lane_width; ++k) out[k] = statistics_in_lane(*stats, k);
  return out;
}

measured measure_in_lanes(lane_starts& starts, const covalent_ionic_trial<float>& t,
                          float step_size, std::int64_t equilibration, std::int64_t steps,
                          const stop_request* stop) {
  energy_statistics merged;
  for (const energy_statistics& e :
       measure_each_in_lanes(starts, t, step_size, equilibration, steps, stop)) {
    merge(merged, e);
  }
  return measured_from(merged);
}

namespace {

// The longest stretch a walk goes without reading its stop request: well
// under a second.
constexpr std::int64_t walk_piece = stop_piece;

// Walker w of the separation with the given index.
struct scan_walk {
  std::size_t index;
  std::int64_t w;
};

trial_function<exp_double> classic_trial(const scan_settings& settings, float s) {
  trial_function<exp_double> t = cusp_trial_function<exp_double>(s, settings.beta, apar_start::abohr);
  if (settings.orbital_length > 0.0f) t.a = settings.orbital_length;
  return t;
}

covalent_ionic_trial<float> ionic_trial(const scan_settings& settings, float s) {
  const trial_function<exp_double> t = classic_trial(settings, s);
  return {s, t.a, t.alfa, t.beta, settings.ionic_weight, t.e2, t.hbm};
}

// A walk before its first step: its own stream, a start around the protons.
scan_walk_state fresh_state(const scan_settings& settings, const scan_walk& k) {
  scan_walk_state st;
  st.g = stream_plan::of(settings).stream(k.index, static_cast<std::uint64_t>(k.w));
  const coords r = start_configuration(st.g, settings.separations[k.index], offset_rounding::per_operation);
  const float s = settings.separations[k.index];
  st.at = settings.ionic_weight == 1.0f ? walker_at(r, classic_trial(settings, s))
                                        : walker_at(r, ionic_trial(settings, s));
  return st;
}

// Walks st on, scalar, until it has walked `until` steps (equilibration
// included), in pieces; after each, hands the state to saved and reads the
// stop request.
template <class Saved>
void walk_scalar(const scan_settings& settings, std::size_t index, scan_walk_state& st,
                 std::int64_t until, const stop_request* stop, Saved&& saved) {
  const float s = settings.separations[index];
  const auto walk = [&](const auto& trial, const auto& propose) {
    while (st.done < until) {
      if (stop_requested(stop)) throw run_stopped();
      const bool measuring = st.done >= settings.equilibration;
      const std::int64_t end = measuring ? until : std::min(until, settings.equilibration);
      const std::int64_t n = std::min(walk_piece, end - st.done);
      if (measuring) {
        metropolis_walk(st.at, st.g, propose, trial, acceptance::above_deviate, n, st.stats);
      } else {
        metropolis_walk(st.at, st.g, propose, trial, acceptance::above_deviate, n,
                        [](const walk_step&) {});
      }
      st.done += n;
      saved(st);
    }
  };
  const auto with = [&](const auto& trial) {
    if (settings.reflections) {
      walk(trial, reflecting_step{settings.step_size, st.done});
    } else {
      walk(trial, scaled_step{settings.step_size});
    }
  };
  if (settings.ionic_weight == 1.0f) {
    with(classic_trial(settings, s));
  } else {
    with(ionic_trial(settings, s));
  }
}

// Up to lane_width walks of the classic trial function that have walked
// alike, one per lane (lanes beyond the walks given repeat the last one and
// are not kept), walked on to `until` steps in pieces; after each piece
// every state is handed to saved(k, state).
template <class Saved>
void walk_lane_group(const scan_settings& settings, const std::vector<scan_walk>& walks,
                     std::vector<scan_walk_state>& states, std::int64_t until,
                     const stop_request* stop, Saved&& saved) {
  lane_walkers group{};
  group.reflect = settings.reflections;
  group.steps_done = states[0].done;
  auto stats = std::make_unique<lane_statistics>();
  for (std::size_t k = 0; k < lane_width; ++k) {
    const std::size_t from = std::min(k, walks.size() - 1);
    const trial_function<exp_double> t = classic_trial(settings, settings.separations[walks[from].index]);
    set_lane(group, k, states[from].at, states[from].g, t, settings.step_size);
    set_statistics_in_lane(*stats, k, states[from].stats);
  }
  std::int64_t done = states[0].done;
  while (done < until) {
    if (stop_requested(stop)) throw run_stopped();
    const bool measuring = done >= settings.equilibration;
    const std::int64_t end = measuring ? until : std::min(until, settings.equilibration);
    const std::int64_t n = std::min(walk_piece, end - done);
    walk_lanes(group, n, nullptr, measuring ? stats.get() : nullptr);
    done += n;
    for (std::size_t k = 0; k < walks.size(); ++k) {
      states[k].done = done;
      states[k].at = walker_in_lane(group, k);
      states[k].g = generator_in_lane(group, k);
      if (measuring) states[k].stats = statistics_in_lane(*stats, k);
      saved(k, states[k]);
    }
  }
}

// The statistics of walk k's row: its state at the common steps and, for
// the walkers that have it, one step more (walked on a copy, so the state
// stays where a longer run continues it).
energy_statistics row_statistics(const scan_settings& settings, const scan_walk& k,
                                 const scan_walk_state& st) {
  if (k.w >= settings.steps % settings.walkers) return st.stats;
  scan_walk_state more = st;
  walk_scalar(settings, k.index, more, st.done + 1, nullptr, [](const scan_walk_state&) {});
  return more.stats;
}

}  // namespace

energy_statistics run_walker(const scan_settings& settings, std::size_t index, std::int64_t w,
                             const stop_request* stop) {
  scan_walk_state st = fresh_state(settings, {index, w});
  walk_scalar(settings, index, st, common_steps(settings), stop, [](const scan_walk_state&) {});
  return row_statistics(settings, {index, w}, st);
}

std::vector<scan_row> run_scan(const scan_settings& settings,
                               const std::function<void(std::size_t, std::size_t)>& done,
                               const stop_request* stop) {
  return run_scan(settings, all_tasks(settings.separations.size()), done, stop);
}

std::vector<scan_row> run_scan(const scan_settings& settings, const std::vector<std::size_t>& tasks,
                               const std::function<void(std::size_t, std::size_t)>& done,
                               const stop_request* stop) {
  return run_scan_keeping(settings, tasks, done, stop, nullptr);
}

std::uint64_t scan_walk_number(const scan_settings& settings, std::size_t index, std::int64_t w) {
  return static_cast<std::uint64_t>(index) * static_cast<std::uint64_t>(settings.walkers) +
         static_cast<std::uint64_t>(w);
}

std::vector<scan_row> run_scan_keeping(const scan_settings& settings,
                                       const std::vector<std::size_t>& tasks,
                                       const std::function<void(std::size_t, std::size_t)>& done,
                                       const stop_request* stop, scan_keeper* keeper) {
  validate(settings);
  check_tasks(tasks, settings.separations.size());
  // The walks of the tasks in order, a separation's walkers together (walk j
  // is walker j mod W of task j / W), cut into groups of one lane group each.
  const std::uint64_t width = settings.lanes && settings.ionic_weight == 1.0f ? lane_width : 1;
  const auto walkers = static_cast<std::uint64_t>(settings.walkers);
  const std::uint64_t walks = tasks.size() * walkers;
  const auto groups = static_cast<std::int64_t>((walks + width - 1) / width);
  const std::int64_t until = common_steps(settings);

  // Finished groups are merged in group order, so each separation's walkers
  // are merged in walker order whatever order the threads finish in; only
  // the groups that finished early wait, a few per thread.
  std::vector<energy_statistics> merged(tasks.size());
  std::map<std::uint64_t, std::vector<energy_statistics>> waiting;
  std::uint64_t next = 0;
  std::size_t finished = 0;
  std::exception_ptr failure;
  std::atomic<bool> failed{false};
  const auto fail = [&] {
#pragma omp critical(scan_failure)
    if (!failed.exchange(true)) failure = std::current_exception();
  };
#pragma omp parallel for schedule(dynamic, 1)
  for (std::int64_t g = 0; g < groups; ++g) {
    if (failed.load() || stop_requested(stop)) continue;
    try {
      const auto first = static_cast<std::uint64_t>(g) * width;
      std::vector<scan_walk> group;
      std::vector<scan_walk_state> states;
      for (std::uint64_t j = first; j < std::min(walks, first + width); ++j) {
        const scan_walk k{tasks[j / walkers], static_cast<std::int64_t>(j % walkers)};
        group.push_back(k);
        scan_walk_state st;
        if (keeper == nullptr || !keeper->find(scan_walk_number(settings, k.index, k.w), st)) {
          st = fresh_state(settings, k);
        }
        states.push_back(st);
      }
      const auto keep = [&](std::size_t k, const scan_walk_state& st) {
        if (keeper != nullptr) keeper->keep(scan_walk_number(settings, group[k].index, group[k].w), st);
      };
      // Walks resumed at different steps are brought level one by one.
      std::int64_t level = 0;
      for (const scan_walk_state& st : states) level = std::max(level, st.done);
      level = std::min(level, until);
      if (width > 1) {
        for (std::size_t k = 0; k < states.size(); ++k) {
          walk_scalar(settings, group[k].index, states[k], level, stop,
                      [&](const scan_walk_state& st) { keep(k, st); });
        }
        walk_lane_group(settings, group, states, until, stop, keep);
      } else {
        walk_scalar(settings, group[0].index, states[0], until, stop,
                    [&](const scan_walk_state& st) { keep(0, st); });
      }
      std::vector<energy_statistics> stats;
      for (std::size_t k = 0; k < group.size(); ++k) {
        keep(k, states[k]);
        stats.push_back(row_statistics(settings, group[k], states[k]));
      }
#pragma omp critical(scan_merge)
      {
        try {
          waiting.emplace(static_cast<std::uint64_t>(g), std::move(stats));
          for (auto it = waiting.find(next); it != waiting.end(); it = waiting.find(next)) {
            for (std::size_t k = 0; k < it->second.size(); ++k) {
              const std::uint64_t j = next * width + k;
              merge(merged[j / walkers], it->second[k]);
              if (j % walkers == walkers - 1) {
                ++finished;
                if (keeper != nullptr) keeper->separation_done();
                if (done) done(finished, tasks.size());
              }
            }
            waiting.erase(it);
            ++next;
          }
        } catch (...) {
          fail();
        }
      }
    } catch (...) {
      fail();
    }
  }
  if (failure) {
    // A stopped run keeps what it walked; a failed one too, for what it is worth.
    if (keeper != nullptr) keeper->stopped();
    std::rethrow_exception(failure);
  }
  if (stop_requested(stop)) {
    if (keeper != nullptr) keeper->stopped();
    throw run_stopped();
  }
  if (keeper != nullptr) keeper->finished();

  std::vector<scan_row> rows;
  for (std::size_t task = 0; task < tasks.size(); ++task) {
    const float s = settings.separations[tasks[task]];
    const measured m = measured_from(merged[task]);
    scan_row r{s, settings.beta, classic_trial(settings, s).a};
    r.steps = m.steps;
    r.accepted = m.accepted;
    r.energy = m.energy;
    r.error = m.error;
    r.tau = m.tau;
    r.variance = m.variance;
    r.energy_accepted = m.energy_accepted;
    r.converged = m.converged;
    r.ionic_weight = settings.ionic_weight;
    r.reflections = settings.reflections;
    rows.push_back(r);
  }
  return rows;
}

std::vector<flag> flags_of(const scan_row& r) {
  return walk_flags(r.s, r.energy, r.error, static_cast<double>(r.accepted) / static_cast<double>(r.steps),
                    r.converged, r.reflections);
}

namespace {

const std::vector<std::string> columns = {
    "s",   "beta",     "a",        "steps",        "acceptance", "energy",
    "error", "tau", "variance", "energy_accepted", "ionic_weight", "flag"};

}  // namespace

table scan_table(const std::vector<scan_row>& rows) {
  table t{columns, {}};
  for (const scan_row& r : rows) {
    const double acceptance = static_cast<double>(r.accepted) / static_cast<double>(r.steps);
    t.rows.push_back({shortest(r.s), shortest(r.beta), shortest(r.a), std::to_string(r.steps),
                      shortest(acceptance), shortest(r.energy), shortest(r.error),
                      shortest(r.tau), shortest(r.variance), shortest(r.energy_accepted),
                      shortest(r.ionic_weight), flag_column(flags_of(r))});
  }
  return t;
}

table scan_table_for_people(const std::vector<scan_row>& rows) {
  table t{columns, {}};
  for (const scan_row& r : rows) {
    const double acceptance = static_cast<double>(r.accepted) / static_cast<double>(r.steps);
    t.rows.push_back({shortest(r.s), shortest(r.beta), fixed(r.a, 5), std::to_string(r.steps),
                      fixed(acceptance, 4), fixed(r.energy, 4), fixed(r.error, 4), fixed(r.tau, 2),
                      fixed(r.variance, 3), fixed(r.energy_accepted, 4), shortest(r.ionic_weight),
                      flag_column(flags_of(r))});
  }
  return t;
}

}  // namespace vmc
