#include "vmc/scan.h"


#include "model/covalent_ionic.h"
#include "model/trial_function.h"
#include "random/streams.h"
#include "stats/energy_statistics.h"
#include "vmc/parallel_tasks.h"
#include "walk/metropolis.h"
#include "walk/proposals.h"
#include "walk/start_configuration.h"

namespace vmc {

std::uint64_t draws_per_walk(const scan_settings& settings) {
  return 6 + 7 * static_cast<std::uint64_t>(settings.equilibration + settings.steps);
}

template <class Trial>
measured measure(ecuyer& g, const coords& start, const Trial& t, float step_size,
                 std::int64_t equilibration, std::int64_t steps) {
  energy_statistics stats;
  equilibrated_walk(start, g, scaled_step{step_size}, t, acceptance::above_deviate, equilibration,
                    steps, stats);
  const blocking_result b = analyse(stats.series);
  measured m;
  m.steps = steps;
  m.accepted = stats.accepted;
  m.energy = b.mean;
  m.error = b.error;
  m.tau = b.tau;
  m.variance = b.variance;
  m.energy_accepted = stats.sum_accepted / static_cast<double>(stats.accepted);
  m.converged = b.converged;
  return m;
}

template measured measure(ecuyer&, const coords&, const trial_function<exp_double>&, float,
                          std::int64_t, std::int64_t);
template measured measure(ecuyer&, const coords&, const covalent_ionic_trial<float>&, float,
                          std::int64_t, std::int64_t);

scan_row run_walk(const scan_settings& settings, std::size_t index) {
  const float s = settings.separations[index];
  ecuyer g = walk_stream(settings.seed, index, draws_per_walk(settings));
  const coords start = start_configuration(g, s, offset_rounding::per_operation);
  trial_function<exp_double> t = cusp_trial_function<exp_double>(s, settings.beta, apar_start::abohr);
  if (settings.orbital_length > 0.0f) t.a = settings.orbital_length;
  const measured m =
      settings.ionic_weight == 1.0f
          ? measure(g, start, t, settings.step_size, settings.equilibration, settings.steps)
          : measure(g, start,
                    covalent_ionic_trial<float>{s, t.a, t.alfa, t.beta, settings.ionic_weight,
                                                t.e2, t.hbm},
                    settings.step_size, settings.equilibration, settings.steps);
  scan_row r{s, settings.beta, t.a};
  r.steps = m.steps;
  r.accepted = m.accepted;
  r.energy = m.energy;
  r.error = m.error;
  r.tau = m.tau;
  r.variance = m.variance;
  r.energy_accepted = m.energy_accepted;
  r.converged = m.converged;
  return r;
}

std::vector<scan_row> run_scan(const scan_settings& settings,
                               const std::function<void(std::size_t, std::size_t)>& done) {
  return run_scan(settings, all_tasks(settings.separations.size()), done);
}

std::vector<scan_row> run_scan(const scan_settings& settings, const std::vector<std::size_t>& tasks,
                               const std::function<void(std::size_t, std::size_t)>& done) {
  std::size_t finished = 0;
  return rows_in_parallel<scan_row>(tasks, [&](std::size_t task) {
    const scan_row row = run_walk(settings, task);
#pragma omp critical(scan_progress)
    {
      ++finished;
      if (done) done(finished, tasks.size());
    }
    return row;
  });
}

namespace {

const std::vector<std::string> columns = {"s",   "beta",  "a",   "steps",    "acceptance",
                                          "energy", "error", "tau", "variance", "energy_accepted"};

}  // namespace

table scan_table(const std::vector<scan_row>& rows) {
  table t{columns, {}};
  for (const scan_row& r : rows) {
    const double acceptance = static_cast<double>(r.accepted) / static_cast<double>(r.steps);
    t.rows.push_back({shortest(r.s), shortest(r.beta), shortest(r.a), std::to_string(r.steps),
                      shortest(acceptance), shortest(r.energy), shortest(r.error),
                      shortest(r.tau), shortest(r.variance), shortest(r.energy_accepted)});
  }
  return t;
}

table scan_table_for_people(const std::vector<scan_row>& rows) {
  table t{columns, {}};
  for (const scan_row& r : rows) {
    const double acceptance = static_cast<double>(r.accepted) / static_cast<double>(r.steps);
    t.rows.push_back({shortest(r.s), shortest(r.beta), fixed(r.a, 5), std::to_string(r.steps),
                      fixed(acceptance, 4), fixed(r.energy, 4), fixed(r.error, 4), fixed(r.tau, 2),
                      fixed(r.variance, 3), fixed(r.energy_accepted, 4)});
  }
  return t;
}

}  // namespace vmc
