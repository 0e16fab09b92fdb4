#include "model/wave_function.h"

namespace vmc {

template <class Exp>
float phi(const coords& r, const trial_function<Exp>& t) {
  const float s2 = 0.5f * t.s;
  const geometry g = radii(s2, r);
  return psi_from(factors_at(g, t));
}

template float phi<exp_double>(const coords&, const trial_function<exp_double>&);
template float phi<exp_single>(const coords&, const trial_function<exp_single>&);

}  // namespace vmc
