#pragma once

#include <cstdint>

#include "model/evaluation.h"
#include "model/geometry.h"

// The Metropolis walk of the two electrons, written once for every program:
// each step proposes a trial configuration, evaluates its local energy and
// psi, and accepts it with probability min(1, psi_trial^2 / psi^2), so that
// the walk samples psi^2. What a program records is an observer handed to the
// walk; the observer sees every step.

namespace vmc {

// Where a walk stands: the configuration and its local energy and psi.
struct walker {
  coords r;
  evaluation at;
};

// The walker at configuration r of trial function t.
template <class Trial>
walker walker_at(const coords& r, const Trial& t) {
  return {r, evaluate(r, t)};
}

// How the ratio q = psi_trial^2 / psi^2 is compared with the uniform
// deviate u in (0, 1). Either way a ratio of 1 or more always accepts, and a
// ratio that is not a number (0/0) always rejects.
enum class acceptance {
  above_deviate,     // q > u
  at_least_deviate,  // q >= u
};

// One step as the observer sees it.
struct walk_step {
  const coords& trial;      // the proposed configuration
  evaluation trial_at;      // its local energy and psi
  bool accepted;            // whether the walk moved there
  const walker& now;        // where the walk stands after the step
};

// Runs `steps` Metropolis steps from w. Each step draws its proposal through
// propose(g, w.r, trial) (six deviates), then one more deviate for the test,
// and hands the step to observe. The squares and their ratio are floats,
// (psi_trial * psi_trial) / (psi * psi), rounded as written.
template <class Generator, class Proposal, class Trial, class Observer>
void metropolis_walk(walker& w, Generator& g, const Proposal& propose, const Trial& t,
                     acceptance rule, std::int64_t steps, Observer&& observe) {
  coords trial;
  for (std::int64_t j = 0; j < steps; ++j) {
    propose(g, w.r, trial);
    const evaluation at = evaluate(trial, t);
    const float q = (at.psi * at.psi) / (w.at.psi * w.at.psi);
    const float u = g.next();
    const bool accepted = rule == acceptance::above_deviate ? q > u : q >= u;
    if (accepted) {
      w.r = trial;
      w.at = at;
    }
    observe(walk_step{trial, at, accepted, w});
  }
}

// A measured walk: from configuration start, `equilibration` steps that no
// one observes (the walk forgets where it started), then `steps` steps
// handed to observe. Returns where the walk ends.
template <class Generator, class Proposal, class Trial, class Observer>
walker equilibrated_walk(const coords& start, Generator& g, const Proposal& propose,
                         const Trial& t, acceptance rule, std::int64_t equilibration,
                         std::int64_t steps, Observer&& observe) {
  walker w = walker_at(start, t);
  metropolis_walk(w, g, propose, t, rule, equilibration, [](const walk_step&) {});
  metropolis_walk(w, g, propose, t, rule, steps, observe);
  return w;
}

}  // namespace vmc
