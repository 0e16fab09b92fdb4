#pragma once

#include <array>
#include <cmath>

#include "model/evaluation.h"
#include "model/geometry.h"

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
// Written once over the number type T: float in the walk, double where a
// test needs a reference free of float noise.

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

namespace detail {

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

template <class T>
covalent_ionic_parts<T> parts_of(const std::array<T, 6>& r, const covalent_ionic_trial<T>& t) {
  covalent_ionic_parts<T> p;
  const T half = t.s / T(2);
  auto unit = [](T dx, T dy, T dz, T& length) {
    length = std::sqrt((dx * dx + dy * dy) + dz * dz);
    return std::array<T, 3>{dx / length, dy / length, dz / length};
  };
  p.e1l = unit(r[0], r[1], r[2] + half, p.r1l);
  p.e1r = unit(r[0], r[1], r[2] - half, p.r1r);
  p.e2l = unit(r[3], r[4], r[5] + half, p.r2l);
  p.e2r = unit(r[3], r[4], r[5] - half, p.r2r);
  p.e12 = unit(r[0] - r[3], r[1] - r[4], r[2] - r[5], p.r12);
  p.c1l = std::exp(-p.r1l / t.a);
  p.c1r = std::exp(-p.r1r / t.a);
  p.c2l = std::exp(-p.r2l / t.a);
  p.c2r = std::exp(-p.r2r / t.a);
  // Phi = c1l g1 + c1r h1 = c2l g2 + c2r h2.
  p.g1 = p.c2r + t.lambda * p.c2l;
  p.h1 = p.c2l + t.lambda * p.c2r;
  p.g2 = p.c1r + t.lambda * p.c1l;
  p.h2 = p.c1l + t.lambda * p.c1r;
  p.phi = p.c1l * p.g1 + p.c1r * p.h1;
  return p;
}

template <class T>
T correlation_factor(T r12, const covalent_ionic_trial<T>& t) {
  return std::exp(r12 / (t.alfa * (T(1) + t.beta * r12)));
}

}  // namespace detail

// psi of configuration r (not normalised).
template <class T>
T phi(const std::array<T, 6>& r, const covalent_ionic_trial<T>& t) {
  const detail::covalent_ionic_parts<T> p = detail::parts_of(r, t);
  return p.phi * detail::correlation_factor(p.r12, t);
}

// The local energy H psi / psi (eV) and psi of configuration r.
//
// Kinetic energy. With psi = Phi F, for each electron i
//   lap_i psi / psi = lap_i Phi / Phi + lap_i F / F + 2 grad_i Phi . grad_i F / (Phi F).
// Phi is linear in each electron's two orbitals, with coefficients that hold
// only the other electron: Phi = c1l g1 + c1r h1, g1 = c2r + lambda c2l,
// h1 = c2l + lambda c2r (and for electron 2, g2 = c1r + lambda c1l,
// h2 = c1l + lambda c1r). An orbital chi(|r - R|) = exp(-|r - R|/a) has
//   grad chi = -(chi/a) e,  lap chi = chi (1/a^2 - 2/(a |r - R|)),
// e the unit vector from R to the electron, so
//   grad_1 Phi = -(c1l g1 e1l + c1r h1 e1r)/a,
//   lap_1 Phi  = c1l g1 (1/a^2 - 2/(a r1l)) + c1r h1 (1/a^2 - 2/(a r1r)),
// and the same for electron 2. F = exp(u(r12)) with
//   u' = 1/(alfa (1 + beta r)^2),  u'' = -2 beta/(alfa (1 + beta r)^3),
// has grad_1 F = F u' e12 = -grad_2 F and lap_i F / F = u'^2 + u'' + 2 u'/r12,
// e12 = (r1 - r2)/r12. Together
//   (lap_1 + lap_2) psi / psi = (lap_1 Phi + lap_2 Phi)/Phi
//                               + 2 (u'^2 + u'' + 2 u'/r12)
//                               + 2 u' (grad_1 Phi - grad_2 Phi) . e12 / Phi,
// and the kinetic energy is -(hbm/2) times that.
// Potential energy: e2 (-1/r1l - 1/r1r - 1/r2l - 1/r2r + 1/r12 + 1/s).
// Singular, like the classic local energy, where an electron sits on a
// nucleus, where the electrons meet, and at s = 0.
//
// Gradient. grad_i ln psi = grad_i Phi / Phi + grad_i F / F, that is
//   grad_1 ln psi = -(c1l g1 e1l + c1r h1 e1r)/(a Phi) + u' e12,
//   grad_2 ln psi = -(c2l g2 e2l + c2r h2 e2r)/(a Phi) - u' e12,
// the drift (quantum force over two) of a diffusion walk.
template <class T>
struct covalent_ionic_evaluation {
  T eloc;
  T psi;
  std::array<T, 6> grad_ln_psi;  // x1, y1, z1, x2, y2, z2
};

template <class T>
covalent_ionic_evaluation<T> evaluate_covalent_ionic(const std::array<T, 6>& r,
                                                     const covalent_ionic_trial<T>& t) {
  const detail::covalent_ionic_parts<T> p = detail::parts_of(r, t);
  const T ia = T(1) / t.a;
  // Each orbital times its coefficient: the four terms of Phi's gradients.
  const T w1l = p.c1l * p.g1, w1r = p.c1r * p.h1, w2l = p.c2l * p.g2, w2r = p.c2r * p.h2;
  const T lap_phi = w1l * (ia * ia - T(2) * ia / p.r1l) + w1r * (ia * ia - T(2) * ia / p.r1r) +
                    w2l * (ia * ia - T(2) * ia / p.r2l) + w2r * (ia * ia - T(2) * ia / p.r2r);
  // (grad_1 Phi - grad_2 Phi) . e12, from the cosines of each e with e12.
  auto dot = [](const std::array<T, 3>& x, const std::array<T, 3>& y) {
    return (x[0] * y[0] + x[1] * y[1]) + x[2] * y[2];
  };
  const T grad_difference = -ia * ((w1l * dot(p.e1l, p.e12) + w1r * dot(p.e1r, p.e12)) -
                                   (w2l * dot(p.e2l, p.e12) + w2r * dot(p.e2r, p.e12)));
  const T b = T(1) + t.beta * p.r12;
  const T u1 = T(1) / (t.alfa * (b * b));
  const T u2 = -T(2) * t.beta / (t.alfa * (b * b * b));
  const T laplacian = lap_phi / p.phi + T(2) * (u1 * u1 + u2 + T(2) * u1 / p.r12) +
                      T(2) * u1 * grad_difference / p.phi;
  const T kinetic = -(t.hbm / T(2)) * laplacian;
  const T potential =
      t.e2 * ((((-T(1) / p.r1l - T(1) / p.r1r) - T(1) / p.r2l) - T(1) / p.r2r) + T(1) / p.r12 +
              T(1) / t.s);
  covalent_ionic_evaluation<T> out{kinetic + potential,
                                   p.phi * detail::correlation_factor(p.r12, t), {}};
  for (int k = 0; k < 3; ++k) {
    const std::size_t i = static_cast<std::size_t>(k);
    out.grad_ln_psi[i] = -ia * (w1l * p.e1l[i] + w1r * p.e1r[i]) / p.phi + u1 * p.e12[i];
    out.grad_ln_psi[i + 3] = -ia * (w2l * p.e2l[i] + w2r * p.e2r[i]) / p.phi - u1 * p.e12[i];
  }
  return out;
}

// The walk's evaluation: the local energy and psi of a float configuration.
inline evaluation evaluate(const coords& r, const covalent_ionic_trial<float>& t) {
  const covalent_ionic_evaluation<float> e = evaluate_covalent_ionic(r, t);
  return {e.eloc, e.psi};
}

}  // namespace vmc
