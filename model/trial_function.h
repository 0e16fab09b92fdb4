#pragma once

#include "model/constants.h"
#include "model/exponential.h"
#include "model/orbital_length.h"

namespace vmc {

// Everything needed to evaluate the trial wave function
//
//   psi = [chi(r1l) + chi(r1r)] [chi(r2l) + chi(r2r)] fee(r12),
//   chi(r) = exp(-r/a),  fee(r) = exp(r / (alfa (1 + beta r))),
//
// and its local energy at any configuration: the separation, the parameters
// and the physical constants, with the exponential policy Exp (exp_double or
// exp_single) as part of the type. A plain value: copy it, pass it to phi,
// elocal and evaluate. Valid for a > 0, alfa > 0 and beta >= 0.
template <class Exp>
struct trial_function {
  float s;     // proton separation, A
  float a;     // orbital length, A
  float alfa;  // length scale of the electron-electron factor, A
  float beta;  // shape of the electron-electron factor, 1/A
  float e2;    // e^2/(4 pi eps0), eV A
  float hbm;   // hbar^2/m, eV A^2
};

// The trial function at separation s with the model constants, correlation
// parameter beta and the orbital length that the nuclear cusp condition gives
// (apar from the given start).
template <class Exp>
trial_function<Exp> cusp_trial_function(float s, float beta, apar_start start) {
  constexpr model_constants c = make_constants();
  return {.s = s,
          .a = apar<Exp>(c.abohr, s, start),
          .alfa = c.alfa,
          .beta = beta,
          .e2 = c.e2,
          .hbm = c.hbm};
}

}  // namespace vmc
