#include "model/local_energy.h"

namespace vmc {

// With psi = chi1 chi2 f (chi1, chi2 the orbital sums of the two electrons,
// f the electron-electron factor) the Laplacian over both electrons splits as
//
//   (lap1 + lap2) psi / psi = onee1 + onee2 + eecorr + cross,
//
// onee_i = lap_i chi_i / chi_i, eecorr = 2 lapfee(r12) / f and
// cross = 2 (grad1 chi1 . grad1 f) / (chi1 f) + 2 (grad2 chi2 . grad2 f) / (chi2 f).
// The gradients point along unit vectors, so each mixed product needs the
// cosine between a nucleus-to-electron vector and r1 - r2; dotr1l ... dotr2r
// are those cosines, built from scalar products that need no extra roots:
//   (r1 - Rl).(r1 - r2) = (r1 - r2).r1 + (s/2)(z1 - z2), and for electron 2
//   the same minus |r1 - r2|^2.
// Every named quantity is a float, formed left to right in this bracketing.
template <class Exp>
energy_parts energy_from(const geometry& g, const orbital_factors& o, const trial_function<Exp>& t) {
  const float a = t.a, alfa = t.alfa, beta = t.beta, s = t.s, e2 = t.e2, hbm = t.hbm;
  const float r12dr1 = ((g.x1 - g.x2) * g.x1 + (g.y1 - g.y2) * g.y1) + (g.z1 - g.z2) * g.z1;
  const float sr12z = (s * (g.z1 - g.z2)) / 2.0f;
  float dotr1l = r12dr1 + sr12z;
  float dotr1r = r12dr1 - sr12z;
  // Electron 2 uses the rounded electron-1 products.
  float dotr2l = dotr1l - g.r12 * g.r12;
  float dotr2r = dotr1r - g.r12 * g.r12;
  dotr1l = (dotr1l / g.r12) / g.r1l;
  dotr2l = (dotr2l / g.r12) / g.r2l;
  dotr1r = (dotr1r / g.r12) / g.r1r;
  dotr2r = (dotr2r / g.r12) / g.r2r;

  const float chi1 = o.chi1l + o.chi1r;
  const float chi2 = o.chi2l + o.chi2r;
  const float f = o.f;

  const float eecorr = 2.0f * lapfee_from(f, g.r12, alfa, beta) / f;
  const float onee1 = (lapchi_from(o.chi1r, g.r1r, a) + lapchi_from(o.chi1l, g.r1l, a)) / chi1;
  const float onee2 = (lapchi_from(o.chi2r, g.r2r, a) + lapchi_from(o.chi2l, g.r2l, a)) / chi2;
  const float cross1 = (fdchi_from(o.chi1r, a) * dotr1r + fdchi_from(o.chi1l, a) * dotr1l) / chi1;
  const float cross2 = (fdchi_from(o.chi2r, a) * dotr2r + fdchi_from(o.chi2l, a) * dotr2l) / chi2;
  const float cross = 2.0f * fdfee_from(f, g.r12, alfa, beta) * (cross1 - cross2) / f;

  const float tpop = (-hbm) * (((eecorr + onee1) + onee2) + cross) / 2.0f;
  const float vpop =
      (-e2) *
      ((((1.0f / g.r1l + 1.0f / g.r1r) + 1.0f / g.r2l) + 1.0f / g.r2r) - 1.0f / g.r12);
  return {tpop, vpop};
}

template <class Exp>
energy_parts elocal_parts(const coords& r, const trial_function<Exp>& t) {
  const float s2 = 0.5f * t.s;
  const geometry g = radii(s2, r);
  return energy_from(g, factors_at(g, t), t);
}

template <class Exp>
float elocal(const coords& r, const trial_function<Exp>& t) {
  const energy_parts p = elocal_parts(r, t);
  // The last term is the proton-proton repulsion.
  return (p.tpop + p.vpop) + t.e2 / t.s;
}

template energy_parts energy_from<exp_double>(const geometry&, const orbital_factors&,
                                              const trial_function<exp_double>&);
template energy_parts energy_from<exp_single>(const geometry&, const orbital_factors&,
                                              const trial_function<exp_single>&);
template energy_parts elocal_parts<exp_double>(const coords&, const trial_function<exp_double>&);
template energy_parts elocal_parts<exp_single>(const coords&, const trial_function<exp_single>&);
template float elocal<exp_double>(const coords&, const trial_function<exp_double>&);
template float elocal<exp_single>(const coords&, const trial_function<exp_single>&);

}  // namespace vmc
