#include "model/evaluation.h"

#include "model/local_energy.h"

namespace vmc {

template <class Exp>
evaluation evaluate(const coords& r, float a, float alfa, float beta, float s, float e2,
                    float hbm) {
  const float s2 = 0.5f * s;
  const geometry g = radii(s2, r);
  const orbital_factors o = factors_at<Exp>(g, a, alfa, beta);
  const energy_parts p = energy_from(g, o, a, alfa, beta, s, e2, hbm);
  return {(p.tpop + p.vpop) + e2 / s, psi_from(o)};
}

template evaluation evaluate<exp_double>(const coords&, float, float, float, float, float, float);
template evaluation evaluate<exp_single>(const coords&, float, float, float, float, float, float);

}  // namespace vmc
