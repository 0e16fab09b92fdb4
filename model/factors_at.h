#pragma once

#include "model/factors.h"
#include "model/geometry.h"

namespace vmc {

// The five exponentials of one configuration: the orbital factor of each
// electron at each nucleus and the electron-electron factor.
struct orbital_factors {
  float chi1l, chi1r, chi2l, chi2r, f;
};

template <class Exp>
orbital_factors factors_at(const geometry& g, float a, float alfa, float beta) {
  return {chi<Exp>(g.r1l, a), chi<Exp>(g.r1r, a), chi<Exp>(g.r2l, a), chi<Exp>(g.r2r, a),
          fee<Exp>(g.r12, alfa, beta)};
}

// psi = [chi(r1l) + chi(r1r)] [chi(r2l) + chi(r2r)] fee(r12), symmetric in
// the two electrons and under reflection through z = 0.
inline float psi_from(const orbital_factors& o) {
  return ((o.chi1l + o.chi1r) * (o.chi2l + o.chi2r)) * o.f;
}

}  // namespace vmc
