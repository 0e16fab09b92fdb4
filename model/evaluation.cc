#include "model/evaluation.h"

#include "model/local_energy.h"
#include "model/wave_function.h"

namespace vmc {

template <class Exp>
evaluation evaluate(const coords& r, const trial_function<Exp>& t) {
  const float s2 = 0.5f * t.s;
  const geometry g = radii(s2, r);
  const orbital_factors o = factors_at(g, t);
  const energy_parts p = energy_from(g, o, t);
  return {(p.tpop + p.vpop) + t.e2 / t.s, psi_from(o)};
}

template evaluation evaluate<exp_double>(const coords&, const trial_function<exp_double>&);
template evaluation evaluate<exp_single>(const coords&, const trial_function<exp_single>&);

}  // namespace vmc
