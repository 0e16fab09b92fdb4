#pragma once

#include <array>
#include <cstddef>

#include "model/covalent_ionic.h"
#include "walk/diffusion.h"

// The diffusion step and the covalent-ionic trial function in vector lanes:
// walkers gathered eight or sixteen at a time (as the target's vectors hold)
// into struct-of-arrays lanes, moved, evaluated and tested together, and
// scattered back, each lane to the bit what the scalar diffusion_step gives
// that walker. Which walkers share a group never changes a walker's numbers.

namespace vmc {

// diffusion_step(w[k], t, tau) for k = 0 ... n - 1 (any n), the
// moves into out[k], and weigh(out[k], h) into weights[k]. Every generator's
// state must lie in 0 ... m - 1 of each component, as after any one draw.
void diffusion_step_lanes(diffusion_walker* w, std::size_t n, const covalent_ionic_trial<float>& t,
                          double tau, const diffusion_weighing& h, diffusion_move* out,
                          diffusion_weight* weights);

// evaluate_covalent_ionic(r[k], t) for k = 0 ... n - 1, in lanes of any count n.
void evaluate_covalent_ionic_lanes(const coords* r, std::size_t n,
                                   const covalent_ionic_trial<float>& t,
                                   covalent_ionic_evaluation<float>* out);

// fixed_of the geometry of each of the n configurations r[k] (only t.s and
// t.e2 are read), column by column: out[c][k] holds r1l, r1r, r2l, r2r, r12,
// cos1l, cos1r, cos2l, cos2r and the potential for c = 0 ... 9.
void fixed_parts_lanes(const coords* r, std::size_t n, const covalent_ionic_trial<float>& t,
                       const std::array<float*, 10>& out);

// The sums a reweighted estimate takes, in lane_width partial sums: sum k
// adds the configurations i = k, k + 8, k + 16, ... in that order, each one's
// w = (psi_t / psi)^2, w^2, w e and (w e) e in double, e its local energy for
// t from the fixed columns, psi[i] where it was sampled; a configuration
// whose w e is not finite is left out. Adds to what sums holds.
struct reweighting_sums {
  alignas(64) double w[8];
  alignas(64) double w2[8];
  alignas(64) double we[8];
  alignas(64) double wee[8];
};
void reweighting_sums_lanes(const std::array<const float*, 10>& fixed, const float* psi,
                            std::size_t n, const covalent_ionic_trial<float>& t,
                            reweighting_sums& sums);

// exact_exp of each of the n values (walkers' weights), in double lanes.
void exact_exp_lanes(const double* x, double* y, std::size_t n);

// float_log of each of the n values (the acceptance test's), and
// box_muller of each pair (u1[k], u2[k]), in float lanes.
void float_log_lanes(const float* x, float* y, std::size_t n);
void box_muller_lanes(const float* u1, const float* u2, float* z1, float* z2, std::size_t n);

}  // namespace vmc
