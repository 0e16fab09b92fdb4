#pragma once

#include "model/factors_at.h"
#include "model/geometry.h"
#include "model/trial_function.h"

namespace vmc {

// psi = [chi(r1l) + chi(r1r)] [chi(r2l) + chi(r2r)] fee(r12) from the five
// factors, rounded to float once at the end: symmetric in the two electrons
// and under reflection through z = 0, bit for bit.
inline float psi_from(const orbital_factors& o) {
  return ((o.chi1l + o.chi1r) * (o.chi2l + o.chi2r)) * o.f;
}

// The trial wave function psi (not normalised) of configuration r. Finite for
// every finite configuration; 0 once an electron is farther than about 104 a
// from both nuclei.
template <class Exp>
float phi(const coords& r, const trial_function<Exp>& t);

extern template float phi<exp_double>(const coords&, const trial_function<exp_double>&);
extern template float phi<exp_single>(const coords&, const trial_function<exp_single>&);

}  // namespace vmc
