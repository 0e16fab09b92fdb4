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

  void operator()(const walk_step& step) {
    series.add(static_cast<double>(step.now.at.eloc));
    if (step.accepted) {
      ++accepted;
      sum_accepted += static_cast<double>(step.trial_at.eloc);
    }
  }
};

}  // namespace vmc
