#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "lanes/lane_walk.h"
#include "model/covalent_ionic.h"
#include "random/ecuyer.h"
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

// Where lane_width walks start: walk k from configuration r[k], drawing
// from g[k] (a state in 0 ... m - 1 of each component, as after any draw).
struct lane_starts {
  std::array<ecuyer, lane_width> g;
  std::array<coords, lane_width> r;
};

// lane_width stoppable_walks of the covalent-ionic trial function t with
// reflecting_step{step_size} and the test q > u at once, in vector lanes,
// walk k from starts.r[k] drawing from starts.g[k]: `equilibration` steps
// unrecorded, then `steps` steps, added to stats when given and, with out,
// handed in pieces of at most out->capacity() steps to consume(out, first,
// n), the steps first ... first + n - 1. Every lane is to the bit the scalar
// walk of its start. The stop request is read every stop_piece steps, as
// stoppable_walk reads it. Leaves starts where the walks end.
template <class Consume>
void stoppable_lane_walk(lane_starts& starts, const covalent_ionic_trial<float>& t,
                         float step_size, std::int64_t equilibration, std::int64_t steps,
                         lane_steps* out, lane_statistics* stats, const stop_request* stop,
                         Consume&& consume) {
  lane_walkers group{};
  group.reflect = true;
  for (std::size_t k = 0; k < lane_width; ++k) {
    set_lane(group, k, walker_at(starts.r[k], t), starts.g[k], t, step_size);
  }
  const auto walk = [&](std::int64_t n, bool measuring) {
    for (std::int64_t done = 0; done < n; done += stop_piece) {
      if (stop_requested(stop)) throw run_stopped();
      const std::int64_t piece = std::min(stop_piece, n - done);
      if (!measuring) {
        walk_lanes(group, piece, nullptr);
        continue;
      }
      const std::int64_t record = out != nullptr ? static_cast<std::int64_t>(out->capacity()) : piece;
      for (std::int64_t d = 0; d < piece; d += record) {
        const std::int64_t m = std::min(record, piece - d);
        walk_lanes(group, m, out, stats);
        if (out != nullptr) consume(static_cast<const lane_steps&>(*out), done + d, m);
      }
    }
  };
  walk(equilibration, false);
  walk(steps, true);
  for (std::size_t k = 0; k < lane_width; ++k) {
    starts.g[k] = generator_in_lane(group, k);
    starts.r[k] = walker_in_lane(group, k).r;
  }
}

}  // namespace vmc
