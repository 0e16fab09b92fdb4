#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "output/table.h"

namespace vmc {

// What a scan is asked to do; every value already checked.
struct scan_settings {
  std::vector<float> separations;     // one walk each, A
  std::int64_t steps = 1000000;       // measured steps per walk
  std::int64_t equilibration = 10000; // steps discarded before measuring
  float beta = 0.25f;                 // correlation parameter, 1/A
  float step_size = 0.40125f;         // largest displacement of one coordinate, A
  std::int32_t seed = 5465;           // first seed of the run's stream
};

// What one walk gives.
struct scan_row {
  float s, beta, a;
  std::int64_t steps = 0;
  std::int64_t accepted = 0;
  double energy = 0;           // mean local energy over every measured step, eV
  double error = 0;            // its standard error (blocking), eV
  double tau = 0;              // N error^2 / variance, steps
  double variance = 0;         // of the local energy, eV^2
  double energy_accepted = 0;  // mean over the accepted moves only, eV
  bool converged = true;       // false when the blocking found no independent level
};

// The deviates one walk draws: 6 for its start, 7 a step.
std::uint64_t draws_per_walk(const scan_settings& settings);

// The walk at separations[index]: its own stream (walk_stream of the seed and
// the index), a start around the protons, `equilibration` steps unrecorded,
// then `steps` measured ones.
scan_row run_walk(const scan_settings& settings, std::size_t index);

// Every walk, in parallel; rows in the order of the separations, the same to
// the bit whatever the number of threads. done(k, n) is called, one call at a
// time, after each of the n walks.
std::vector<scan_row> run_scan(const scan_settings& settings,
                               const std::function<void(std::size_t, std::size_t)>& done = {});

// The rows as a table with the columns s, beta, a, steps, acceptance, energy,
// error, tau, variance, energy_accepted: every number as its shortest exact
// text (for files), or rounded for people (for the console).
table scan_table(const std::vector<scan_row>& rows);
table scan_table_for_people(const std::vector<scan_row>& rows);

}  // namespace vmc
