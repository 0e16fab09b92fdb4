#pragma once

#include <algorithm>
#include <array>
#include <cmath>

#include "model/covalent_ionic.h"
#include "model/geometry.h"
#include "random/ecuyer.h"
#include "walk/normal.h"

// One step of importance-sampled diffusion Monte Carlo for one walker
// (Reynolds, Ceperley, Alder and Lester 1982). With psi_T the trial function
// and f = psi_T phi, imaginary-time evolution under H = -(hbm/2) lap + V is
//   df/dt = (hbm/2) lap f - div(hbm f grad ln psi_T) - (E_L - E_T) f,
// a diffusion with constant hbm/2, a drift hbm grad ln psi_T and a growth
// rate E_T - E_L. Over a time step tau (1/eV, hbar = 1) a walker moves to
//   R' = R + hbm tau v(R) + sqrt(hbm tau) chi,   v = grad ln psi_T,
// chi six standard normal deviates, and the move is accepted with
//   min(1, psi_T(R')^2 G(R <- R') / (psi_T(R)^2 G(R' <- R))),
//   G(R' <- R) = exp(-|R' - R - hbm tau v(R)|^2 / (2 hbm tau)),
// which restores detailed balance of the short-time approximation, so that
// the walk samples psi_T^2 exactly as tau -> 0 and the time-step error stays
// small (Umrigar, Nightingale and Runge 1993). The walker's weight for the
// step is exp(-tau_eff ((E_L(R) + E_L(R'))/2 - E_T)), R' = R when rejected.

namespace vmc {

// A diffusion walker: where it is, what the trial function gives there, and
// its own stream of deviates.
struct diffusion_walker {
  coords r;
  float eloc;
  float psi;
  std::array<float, 6> drift;  // grad ln psi_T
  ecuyer g;
};

inline diffusion_walker diffusion_walker_at(const coords& r, const covalent_ionic_trial<float>& t,
                                            const ecuyer& g) {
  const covalent_ionic_evaluation<float> e = evaluate_covalent_ionic(r, t);
  return {r, e.eloc, e.psi, e.grad_ln_psi, g};
}

// What one step did.
struct diffusion_move {
  bool accepted;
  float eloc_before;  // E_L(R)
  float eloc_after;   // E_L where the walker now is
  // A uniform deviate for the branching that follows, the walker's next one
  // after the move's.
  double branch;
};

// Six standard normal deviates from six uniform ones (Box-Muller) in float,
// the uniform deviates' own precision, with the logarithm, cosine and sine
// of walk/normal-inl.h, which the lanes compute to the bit.
inline std::array<float, 6> normal_deviates(ecuyer& g) {
  std::array<float, 6> z;
  for (std::size_t i = 0; i < 6; i += 2) {
    const float u1 = g.next(), u2 = g.next();  // never 0
    box_muller(u1, u2, z[i], z[i + 1]);
  }
  return z;
}

// Moves w by one drift-diffusion step of tau with the acceptance test, in
// float, the positions' own precision: the Green's functions' exponent is
// then good to about 3e-7 at any tau, far below what any acceptance notices.
// Draws eight deviates from the walker's own stream: six for the move, one
// for the test, one for the branching that follows. diffusion_step_lanes
// (lanes/diffusion_lanes.h) takes any number of walkers, eight or sixteen
// at once, and equals it to the bit; this one is the reference its tests hold it to.
inline diffusion_move diffusion_step(diffusion_walker& w, const covalent_ionic_trial<float>& t,
                                     double tau) {
  const double hbm_tau_double = static_cast<double>(t.hbm) * tau;
  const auto hbm_tau = static_cast<float>(hbm_tau_double);
  const auto spread = static_cast<float>(std::sqrt(hbm_tau_double));
  const std::array<float, 6> z = normal_deviates(w.g);
  coords next;
  for (std::size_t i = 0; i < 6; ++i) next[i] = w.r[i] + (hbm_tau * w.drift[i] + spread * z[i]);
  const covalent_ionic_evaluation<float> e = evaluate_covalent_ionic(next, t);
  // ln of psi^2 G(R <- R') / (psi^2 G(R' <- R)).
  float forward = 0, backward = 0;
  for (std::size_t i = 0; i < 6; ++i) {
    const float to = next[i] - w.r[i];
    const float f = to - hbm_tau * w.drift[i];
    const float b = -to - hbm_tau * e.grad_ln_psi[i];
    forward += f * f;
    backward += b * b;
  }
  const float ratio = e.psi / w.psi;
  const float u = w.g.next();
  // Accepted when ln u < ln ratio^2 + (forward - backward) / (2 hbm tau), with
  // one logarithm: ln(u / ratio^2) against the Green's functions' term.
  // A trial where psi vanishes or the local energy is not finite is refused.
  const bool accepted = e.psi > 0.0f && std::isfinite(e.eloc) &&
                        float_log(u / (ratio * ratio)) < (forward - backward) / (2.0f * hbm_tau);
  const float before = w.eloc;
  if (accepted) {
    w.r = next;
    w.eloc = e.eloc;
    w.psi = e.psi;
    w.drift = e.grad_ln_psi;
  }
  return {accepted, before, w.eloc, w.g.next()};
}

// How a step weighs its walkers. The local energy that weighs a walker is
// cut off around the best estimate of the energy (Umrigar, Nightingale and
// Runge 1993): |S - e_best| <= e_cut. Near a nucleus or where the trial
// function lacks a cusp, E_L can reach thousands of eV, and one walker's
// weight would then rule a step's energy and copy it without end; the
// cutoff vanishes as tau -> 0, so the energy it gives converges to the same
// limit. tau_eff is tau times the acceptance of the steps before.
struct diffusion_weighing {
  double e_best;
  double e_cut;
  double e_trial;
  double tau_eff;
};

inline double cut_local_energy(double eloc, double e_best, double e_cut) {
  return e_best + std::clamp(eloc - e_best, -e_cut, e_cut);
}

// A walker's weight for a move, exp(-tau_eff ((S + S')/2 - E_T)) with S and
// S' its cut local energies before and after, and S'.
struct diffusion_weight {
  double after;
  double weight;
};

inline diffusion_weight weigh(const diffusion_move& m, const diffusion_weighing& h) {
  const double before = cut_local_energy(m.eloc_before, h.e_best, h.e_cut);
  const double after = cut_local_energy(m.eloc_after, h.e_best, h.e_cut);
  return {after, exact_exp(-h.tau_eff * (0.5 * (before + after) - h.e_trial))};
}

}  // namespace vmc
