#pragma once

#include "model/factors.h"
#include "model/geometry.h"
#include "model/trial_function.h"

namespace vmc {

// The five exponentials of one configuration: the orbital factor of each
// electron at each nucleus and the electron-electron factor.
struct orbital_factors {
  float chi1l, chi1r, chi2l, chi2r, f;
};

template <class Exp>
orbital_factors factors_at(const geometry& g, const trial_function<Exp>& t) {
  return {chi<Exp>(g.r1l, t.a), chi<Exp>(g.r1r, t.a), chi<Exp>(g.r2l, t.a), chi<Exp>(g.r2r, t.a),
          fee<Exp>(g.r12, t.alfa, t.beta)};
}

}  // namespace vmc
