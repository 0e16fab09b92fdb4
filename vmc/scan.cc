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
#include "vmc/stream_plan.h"
#include "walk/metropolis.h"
#include "walk/proposals.h"
#include "walk/start_configuration.h"

namespace vmc {

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
                 std::int64_t equilibration, std::int64_t steps) {
  energy_statistics stats;
  equilibrated_walk(start, g, reflecting_step{step_size}, t, acceptance::above_deviate,
                    equilibration, steps, stats);
  return measured_from(stats);
}

template measured measure(ecuyer&, const coords&, const trial_function<exp_double>&, float,
                          std::int64_t, std::int64_t);
template measured measure(ecuyer&, const coords&, const covalent_ionic_trial<float>&, float,
                          std::int64_t, std::int64_t);

namespace {

// The longest stretch a walk goes without reading its stop request: well
// under a second.
constexpr std::int64_t walk_piece = 65536;

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

// The walk's generator, already past the six deviates of its start.
struct walk_start {
  ecuyer g;
  coords r;
};

walk_start start_of(const scan_settings& settings, const scan_walk& k) {
  walk_start st{stream_plan::of(settings).stream(k.index, static_cast<std::uint64_t>(k.w)), {}};
  st.r = start_configuration(st.g, settings.separations[k.index], offset_rounding::per_operation);
  return st;
}

// Up to lane_width walks of the classic trial function, one per lane; lanes
// beyond the walks given repeat the last one and are not recorded.
std::vector<energy_statistics> run_lane_group(const scan_settings& settings,
                                              const std::vector<scan_walk>& walks,
                                              const stop_request* stop) {
  lane_walkers group{};
  group.reflect = settings.reflections;
  for (std::size_t k = 0; k < lane_width; ++k) {
    const scan_walk& walk = walks[std::min(k, walks.size() - 1)];
    const walk_start st = start_of(settings, walk);
    const trial_function<exp_double> t = classic_trial(settings, settings.separations[walk.index]);
    set_lane(group, k, walker_at(st.r, t), st.g, t, settings.step_size);
  }
  const auto walk = [&](std::int64_t steps, lane_statistics* into) {
    for (std::int64_t done = 0; done < steps; done += walk_piece) {
      if (stop_requested(stop)) throw run_stopped();
      walk_lanes(group, std::min(walk_piece, steps - done), nullptr, into);
    }
  };
  walk(settings.equilibration, nullptr);
  std::vector<std::int64_t> steps(walks.size());
  for (std::size_t k = 0; k < walks.size(); ++k) steps[k] = walker_steps(settings, walks[k].w);
  const auto [fewest, most] = std::minmax_element(steps.begin(), steps.end());
  const std::int64_t shortest = *fewest, longest = *most;
  // The steps every walker of the group measures are added up in the lanes ...
  auto together = std::make_unique<lane_statistics>();
  walk(shortest, together.get());
  std::vector<energy_statistics> stats;
  for (std::size_t k = 0; k < walks.size(); ++k) stats.push_back(statistics_in_lane(*together, k));
  // ... and the one more step of the walkers that have it, lane by lane.
  if (longest > shortest) {
    lane_steps out(static_cast<std::size_t>(longest - shortest), false);
    walk_lanes(group, longest - shortest, &out);
    for (std::size_t k = 0; k < walks.size(); ++k) {
      for (std::int64_t j = 0; j < steps[k] - shortest; ++j) {
        const std::size_t at = static_cast<std::size_t>(j) * lane_width + k;
        stats[k].add(out.eloc[at], out.accepted[at] != 0);
      }
    }
  }
  return stats;
}

// Metropolis steps in pieces, the stop request read between them.
template <class Proposal, class Trial, class Observer>
void walk_in_pieces(walker& w, ecuyer& g, const Proposal& propose, const Trial& t,
                    std::int64_t steps, Observer&& observe, const stop_request* stop) {
  for (std::int64_t done = 0; done < steps; done += walk_piece) {
    if (stop_requested(stop)) throw run_stopped();
    metropolis_walk(w, g, propose, t, acceptance::above_deviate, std::min(walk_piece, steps - done),
                    observe);
  }
}

}  // namespace

energy_statistics run_walker(const scan_settings& settings, std::size_t index, std::int64_t w,
                             const stop_request* stop) {
  const float s = settings.separations[index];
  walk_start st = start_of(settings, {index, w});
  const trial_function<exp_double> t = classic_trial(settings, s);
  energy_statistics stats;
  const std::int64_t steps = walker_steps(settings, w);
  const auto walk = [&](const auto& trial) {
    walker at = walker_at(st.r, trial);
    const auto run = [&](const auto& propose) {
      walk_in_pieces(at, st.g, propose, trial, settings.equilibration, [](const walk_step&) {}, stop);
      walk_in_pieces(at, st.g, propose, trial, steps, stats, stop);
    };
    if (settings.reflections) {
      run(reflecting_step{settings.step_size});
    } else {
      run(scaled_step{settings.step_size});
    }
  };
  if (settings.ionic_weight == 1.0f) {
    walk(t);
  } else {
    walk(covalent_ionic_trial<float>{s, t.a, t.alfa, t.beta, settings.ionic_weight, t.e2, t.hbm});
  }
  return stats;
}

std::vector<scan_row> run_scan(const scan_settings& settings,
                               const std::function<void(std::size_t, std::size_t)>& done,
                               const stop_request* stop) {
  return run_scan(settings, all_tasks(settings.separations.size()), done, stop);
}

std::vector<scan_row> run_scan(const scan_settings& settings, const std::vector<std::size_t>& tasks,
                               const std::function<void(std::size_t, std::size_t)>& done,
                               const stop_request* stop) {
  // The walks of the tasks in order, a separation's walkers together (walk j
  // is walker j mod W of task j / W), cut into groups of one lane group each.
  const std::uint64_t width = settings.lanes && settings.ionic_weight == 1.0f ? lane_width : 1;
  const auto walkers = static_cast<std::uint64_t>(settings.walkers);
  const std::uint64_t walks = tasks.size() * walkers;
  const auto groups = static_cast<std::int64_t>((walks + width - 1) / width);

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
      for (std::uint64_t j = first; j < std::min(walks, first + width); ++j) {
        group.push_back({tasks[j / walkers], static_cast<std::int64_t>(j % walkers)});
      }
      std::vector<energy_statistics> stats;
      if (width == 1) {
        stats.push_back(run_walker(settings, group[0].index, group[0].w, stop));
      } else {
        stats = run_lane_group(settings, group, stop);
      }
#pragma omp critical(scan_merge)
      {
        try {
          waiting.emplace(static_cast<std::uint64_t>(g), std::move(stats));
          for (auto it = waiting.find(next); it != waiting.end(); it = waiting.find(next)) {
            for (std::size_t k = 0; k < it->second.size(); ++k) {
              const std::uint64_t j = next * width + k;
              merge(merged[j / walkers], it->second[k]);
              if (j % walkers == walkers - 1 && done) done(++finished, tasks.size());
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
  if (failure) std::rethrow_exception(failure);
  if (stop_requested(stop)) throw run_stopped();

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
