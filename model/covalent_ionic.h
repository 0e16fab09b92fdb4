#pragma once

#include <array>
#include <cmath>
#include <cstddef>

#include "model/evaluation.h"
#include "model/geometry.h"
#include "model/number.h"

// The trial function with three free parameters:
//
//   psi = Phi(r1, r2) F(r12),
//   Phi = chi(r1l) chi(r2r) + chi(r1r) chi(r2l) + lambda [chi(r1l) chi(r2l) + chi(r1r) chi(r2r)],
//   F   = exp(u(r12)),  u(r) = r / (alfa (1 + beta r)),  chi(r) = exp(-r/a).
//
// The first two products put one electron at each proton (covalent, the
// Heitler-London form); the last two put both at one proton (ionic, H+ H-),
// with the ionic weight lambda. lambda = 1 is the classic molecular-orbital
// product [chi(r1l) + chi(r1r)] [chi(r2l) + chi(r2r)]; lambda = 0 dissociates
// into two neutral atoms. alfa = 2 abohr keeps the electron-electron cusp.
//
// Written once over the number type T (model/covalent_ionic-inl.h): float in
// the walk, double where a test needs a reference free of float noise, and
// vectors of float lanes in the lane walks (lanes/), which so equal the float
// function lane by lane. The float exponential is the model's double one,
// (float) exp((double) x), which the lanes compute to the bit.

namespace vmc {

template <class T>
struct covalent_ionic_trial {
  T s;       // proton separation, A
  T a;       // orbital length, A (> 0)
  T alfa;    // length scale of the electron-electron factor, A (> 0)
  T beta;    // shape of the electron-electron factor, 1/A (>= 0)
  T lambda;  // ionic weight (>= 0)
  T e2;      // e^2/(4 pi eps0), eV A
  T hbm;     // hbar^2/m, eV A^2
};

// What psi and the local energy share: the distances, the unit vectors from
// each nucleus to each electron and between the electrons, the orbitals.
template <class T>
struct covalent_ionic_parts {
  T r1l, r1r, r2l, r2r, r12;
  std::array<T, 3> e1l, e1r, e2l, e2r, e12;  // unit vectors r1 - Rl, ..., (r1 - r2)/r12
  T c1l, c1r, c2l, c2r;                      // chi of each electron at each nucleus
  T g1, h1, g2, h2;                          // what multiplies c1l, c1r, c2l, c2r in Phi
  T phi;                                     // Phi
};

// What of the local energy depends on the configuration and the separation
// only, not on a, alfa, beta or lambda (fixed_of): a sample reweighted for
// many parameters forms it once.
template <class T>
struct covalent_ionic_fixed {
  T r1l, r1r, r2l, r2r, r12;
  T cos1l, cos1r, cos2l, cos2r;  // e1l . e12, e1r . e12, e2l . e12, e2r . e12
  T potential;                   // eV
};

template <class T>
struct covalent_ionic_evaluation {
  T eloc;
  T psi;
  std::array<T, 6> grad_ln_psi;  // x1, y1, z1, x2, y2, z2
};

// parts_of, fixed_of, local_energy_of, phi and evaluate_covalent_ionic, for
// float and double.
#include "model/covalent_ionic-inl.h"  // IWYU pragma: export

// The walk's evaluation: the local energy and psi of a float configuration.
inline evaluation evaluate(const coords& r, const covalent_ionic_trial<float>& t) {
  const covalent_ionic_evaluation<float> e = evaluate_covalent_ionic(r, t);
  return {e.eloc, e.psi};
}

}  // namespace vmc
