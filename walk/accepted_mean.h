#pragma once

#include <cstdint>

#include "walk/metropolis.h"

namespace vmc {

// The classic programs' energy: the mean local energy over the accepted
// moves only. The sum is a float, added in walk order; the count is 64-bit
// and converted to float only for the division. This mean samples psi^2 times
// the acceptance probability, not psi^2, so it is biased; it is kept because
// the programs' results are defined by it.
struct accepted_mean {
  float sum = 0.0f;
  std::int64_t count = 0;

  void operator()(const walk_step& step) {
    if (step.accepted) accept(step.trial_at.eloc);
  }
  // An accepted move to a configuration of local energy eloc.
  void accept(float eloc) {
    sum = sum + eloc;
    ++count;
  }
  // NaN when no move was accepted (0/0).
  float mean() const { return sum / static_cast<float>(count); }
};

}  // namespace vmc
