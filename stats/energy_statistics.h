#pragma once

#include <cstdint>

#include "stats/blocking.h"
#include "walk/metropolis.h"

namespace vmc {

// What a measured walk records: the local energy at every step, where a
// rejected move counts the current configuration again (the walk's samples
// of psi^2), and, beside it, the mean over the accepted moves only, as the
// classic programs define their energy.
struct energy_statistics {
  blocking series;            // local energy of every step
  std::int64_t accepted = 0;  // accepted moves
  double sum_accepted = 0;    // local energies of the accepted moves

  void operator()(const walk_step& step) { add(step.now.at.eloc, step.accepted); }

  // One step: the local energy where the walk now stands, which after an
  // accepted move is the accepted configuration's.
  void add(float eloc, bool was_accepted) {
    series.add(static_cast<double>(eloc));
    if (was_accepted) {
      ++accepted;
      sum_accepted += static_cast<double>(eloc);
    }
  }
};

// Adds the steps of an independent walk of the same trial function.
inline void merge(energy_statistics& e, const energy_statistics& other) {
  merge(e.series, other.series);
  e.accepted += other.accepted;
  e.sum_accepted += other.sum_accepted;
}

}  // namespace vmc
