#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "output/table.h"
#include "random/ecuyer.h"
#include "stats/energy_statistics.h"
#include "vmc/flags.h"
#include "vmc/options.h"
#include "vmc/stop_request.h"
#include "vmc/stoppable_walk.h"
#include "walk/metropolis.h"

namespace vmc {

// What a scan is asked to do (validate checks it).
struct scan_settings {
  std::vector<float> separations;     // A
  std::int64_t steps = 1000000;       // measured steps per separation, all its walkers together
  std::int64_t walkers = 1;           // independent walks per separation, at most steps
  std::int64_t equilibration = 10000; // steps discarded before measuring
  float beta = 0.25f;                 // correlation parameter, 1/A
  float ionic_weight = 1.0f;          // lambda of the covalent-ionic trial function
  float orbital_length = 0.0f;        // a, A; 0 for the cusp value apar gives
  float step_size = 0.40125f;         // largest displacement of one coordinate, A
  std::int32_t seed = 5465;           // first seed of the run's stream
  bool lanes = true;  // the classic trial function's walks in vector lanes (the same numbers)
  // Every tenth step reflects an electron between the protons
  // (reflecting_step): without it a walk far from the united atom keeps the
  // arrangement it started in for thousands of steps, and a short walk may
  // never see the ionic ones. Off, the walk is the classic programs' walk.
  bool reflections = true;
};

// Throws usage_error with the line the command line prints for settings it
// would refuse, naming the option ("--walkers: ..."); returns for settings a
// run takes. typed gives the text options were typed as, for the messages
// that compare settings. run_scan checks its settings so.
void validate(const scan_settings& settings, const typed_options& typed = {});

// What one walk gives.
struct scan_row {
  float s, beta, a;
  float ionic_weight = 1.0f;
  std::int64_t steps = 0;
  std::int64_t accepted = 0;
  double energy = 0;           // mean local energy over every measured step, eV
  double error = 0;            // its standard error (blocking), eV
  double tau = 0;              // N error^2 / variance, steps
  double variance = 0;         // of the local energy, eV^2
  double energy_accepted = 0;  // mean over the accepted moves only, eV
  bool converged = true;       // false when the series is too short for its error
  bool reflections = true;     // whether the walks reflected electrons (scan_settings)
};

// What makes the row other than it seems (walk_flags); empty for a sound row.
std::vector<flag> flags_of(const scan_row& r);

// Walker w of W at a separation measures steps / W steps, one more for the
// first steps mod W walkers.
std::int64_t walker_steps(const scan_settings& settings, std::int64_t w);

// Walker w at separations[index]: its own stream (stream w of the separation
// in the run's stream_plan), a start around the protons, `equilibration`
// steps unrecorded, then its measured ones. With ionic weight 1 the trial
// function is the classic one (exactly the classic programs' arithmetic),
// otherwise the covalent-ionic one.
energy_statistics run_walker(const scan_settings& settings, std::size_t index, std::int64_t w,
                             const stop_request* stop = nullptr);

// The statistics of `steps` measured steps of trial function t from
// configuration start, after `equilibration` unrecorded ones, drawing from g;
// every tenth step reflects an electron between the protons (reflecting_step);
// stop is read every stop_piece steps (run_stopped).
struct measured {
  std::int64_t steps = 0;
  std::int64_t accepted = 0;
  double energy = 0, error = 0, tau = 0, variance = 0, energy_accepted = 0;
  bool converged = true;
};
template <class Trial>
measured measure(ecuyer& g, const coords& start, const Trial& t, float step_size,
                 std::int64_t equilibration, std::int64_t steps, const stop_request* stop = nullptr);
measured measured_from(const energy_statistics& stats);

// The measured walks of measure for lane_width starts at once, in vector
// lanes (stoppable_lane_walk), `steps` measured steps each: their
// statistics, walk by walk, each to the bit those of the walk of its start
// alone. Leaves starts where the walks end.
std::array<energy_statistics, lane_width> measure_each_in_lanes(
    lane_starts& starts, const covalent_ionic_trial<float>& t, float step_size,
    std::int64_t equilibration, std::int64_t steps, const stop_request* stop = nullptr);
// Their statistics merged in walk order into one, as a scan merges the
// walkers of a separation: lane_width times `steps` steps.
measured measure_in_lanes(lane_starts& starts, const covalent_ionic_trial<float>& t,
                          float step_size, std::int64_t equilibration, std::int64_t steps,
                          const stop_request* stop = nullptr);

// Every walk, in parallel, in groups of lane_width in vector lanes for the
// classic trial function; each separation's walkers are merged in walker
// order into one row. Rows in the order of the separations, the same to the
// bit whatever the number of threads, the vector unit or the lanes setting.
// done(k, n) is called, one call at a time, as each of the n separations
// has all its walkers done. A run whose stop request is set stops within
// about a second and throws run_stopped once every thread has stopped.
std::vector<scan_row> run_scan(const scan_settings& settings,
                               const std::function<void(std::size_t, std::size_t)>& done = {},
                               const stop_request* stop = nullptr);

// The walks of the given separation indices only (one process's share of a
// parallel job), rows in the order of tasks.
std::vector<scan_row> run_scan(const scan_settings& settings, const std::vector<std::size_t>& tasks,
                               const std::function<void(std::size_t, std::size_t)>& done = {},
                               const stop_request* stop = nullptr);

// Where a scan's walk stands: its steps so far (equilibration included),
// its walker, generator and the statistics of its measured steps.
struct scan_walk_state {
  std::int64_t done = 0;
  walker at{};
  ecuyer g;
  energy_statistics stats;
};

// What keeps a scan's walks for a checkpoint. find and keep are called from
// every thread at once; the others from one thread at a time.
class scan_keeper {
 public:
  virtual ~scan_keeper() = default;
  // The state walk number `walk` (index W + w) was left in, if any.
  virtual bool find(std::uint64_t walk, scan_walk_state& st) = 0;
  // The walk's state after a piece of its walk (at most 65536 steps).
  virtual void keep(std::uint64_t walk, const scan_walk_state& st) = 0;
  virtual void separation_done() = 0;
  virtual void stopped() = 0;   // the run stops: every thread has stopped
  virtual void finished() = 0;  // every walk is done
};

// Walk number of walker w at separations[index]: index W + w.
std::uint64_t scan_walk_number(const scan_settings& settings, std::size_t index, std::int64_t w);

// run_scan with a keeper (none: run_scan itself). Each walk starts from the
// state the keeper finds for it, or afresh, and walks to the steps every
// walker of its separation has alike (common_steps); a walker's one step
// more is walked on a copy. The rows are the same to the bit however often
// the run was stopped and continued, and a run of more steps continues the
// states of a shorter one.
std::vector<scan_row> run_scan_keeping(const scan_settings& settings,
                                       const std::vector<std::size_t>& tasks,
                                       const std::function<void(std::size_t, std::size_t)>& done,
                                       const stop_request* stop, scan_keeper* keeper);

// The steps every walker of a separation walks alike: the equilibration and
// steps / W measured ones.
std::int64_t common_steps(const scan_settings& settings);

// The rows as a table with the columns s, beta, a, steps, acceptance, energy,
// error, tau, variance, energy_accepted, ionic_weight, flag: every number as its shortest exact
// text (for files), or rounded for people (for the console).
table scan_table(const std::vector<scan_row>& rows);
table scan_table_for_people(const std::vector<scan_row>& rows);

}  // namespace vmc
