#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/covalent_ionic.h"
#include "model/geometry.h"
#include "random/ecuyer.h"
#include "vmc/stop_request.h"
#include "vmc/stoppable_walk.h"

// Configurations sampled from psi^2 of one trial function and what they tell
// of another: the pieces optimize and dmc share.

namespace vmc {

// Configurations sampled from psi^2 of some parameters, with psi there.
struct sample {
  std::vector<coords> r;
  std::vector<float> psi;
};

// A walk of `steps` steps of t from start after `equilibration` unrecorded
// ones (reflecting_step), drawing from g, keeping every tenth configuration;
// stop is read every stop_piece steps (run_stopped). The scalar walk each
// lane of draw_sample_in_lanes equals.
sample draw_sample(ecuyer& g, const coords& start, const covalent_ionic_trial<float>& t,
                   float step_size, std::int64_t equilibration, std::int64_t steps,
                   const stop_request* stop = nullptr);

// draw_sample of lane_width walks at once, in vector lanes
// (stoppable_lane_walk): walk k from starts.r[k] drawing from starts.g[k],
// each `equilibration` unrecorded steps and `steps` recorded ones, every
// tenth kept. The walks' samples follow one another, walk 0's first, each to
// the bit the draw_sample of its start alone. Leaves starts where the walks
// end.
sample draw_sample_in_lanes(lane_starts& starts, const covalent_ionic_trial<float>& t,
                            float step_size, std::int64_t equilibration, std::int64_t steps,
                            const stop_request* stop = nullptr);

// A sample as reweighting reads it, column by column: what of each
// configuration's local energy the parameters leave alone (fixed_of: r1l,
// r1r, r2l, r2r, r12, the four cosines, the potential), formed once for the
// many parameters a search tries, and psi where it was sampled. 44 bytes a
// configuration.
struct reweighting_sample {
  std::size_t size = 0;
  std::array<std::vector<float>, 10> fixed;
  std::vector<float> psi;
};
// The sample's columns at separation t.s (only t.s and t.e2 are read).
reweighting_sample reweighting_sample_of(const sample& smp, const covalent_ionic_trial<float>& t);

// reweighting_sample_of(draw_sample_in_lanes(...), t), the columns formed
// piece by piece as the walks go, without the sample's coordinates.
reweighting_sample draw_reweighting_sample_in_lanes(lane_starts& starts,
                                                    const covalent_ionic_trial<float>& t,
                                                    float step_size, std::int64_t equilibration,
                                                    std::int64_t steps,
                                                    const stop_request* stop = nullptr);

// The energy of trial function t estimated from a sample of another one by
// reweighting, and the sample's effective size for t, (sum w)^2 / sum w^2, as
// a fraction of its size (1 when t is the sampled function). The sums run in
// lane_width partial sums, configurations i = k, k + 8, ... in sum k, added
// in k order at the end (reweighting_sums_lanes): the same on every target.
// t must have the sample's separation.
struct reweighted_estimate {
  double energy;     // eV
  double variance;   // of the local energy, eV^2
  double effective;  // fraction of the sample
};
reweighted_estimate reweighted(const reweighting_sample& smp, const covalent_ionic_trial<float>& t);
reweighted_estimate reweighted(const sample& smp, const covalent_ionic_trial<float>& t);

// A step size for trial function t that gives an acceptance near one half:
// from `step`, ten stretches of 500 steps from start, each scaling the step
// by its acceptance over one half (by 1/2 to 2). Draws from g; returns the
// step and leaves start where the walk ends.
float tuned_step(ecuyer& g, coords& start, const covalent_ionic_trial<float>& t, float step);

}  // namespace vmc
