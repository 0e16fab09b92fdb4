#pragma once

#include <algorithm>
#include <cstdint>

#include "vmc/stop_request.h"
#include "walk/metropolis.h"

namespace vmc {

// The longest stretch a walk goes without reading its stop request: well
// under a second of any walk.
inline constexpr std::int64_t stop_piece = 65536;

// equilibrated_walk, step for step the same walk, in pieces of at most
// stop_piece steps with the stop request read before each (run_stopped).
template <class Generator, class Proposal, class Trial, class Observer>
walker stoppable_walk(const coords& start, Generator& g, const Proposal& propose, const Trial& t,
                      acceptance rule, std::int64_t equilibration, std::int64_t steps,
                      Observer&& observe, const stop_request* stop) {
  walker w = walker_at(start, t);
  const auto walk = [&](std::int64_t n, auto&& see) {
    for (std::int64_t done = 0; done < n; done += stop_piece) {
      if (stop_requested(stop)) throw run_stopped();
      metropolis_walk(w, g, propose, t, rule, std::min(stop_piece, n - done), see);
    }
  };
  walk(equilibration, [](const walk_step&) {});
  walk(steps, observe);
  return w;
}

}  // namespace vmc
