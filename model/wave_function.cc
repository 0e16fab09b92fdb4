#include "model/wave_function.h"

#include "model/factors_at.h"

namespace vmc {

template <class Exp>
float phi(const coords& r, float a, float alfa, float beta, float s) {
  const float s2 = 0.5f * s;
  const geometry g = radii(s2, r);
  return psi_from(factors_at<Exp>(g, a, alfa, beta));
}

template float phi<exp_double>(const coords&, float, float, float, float);
template float phi<exp_single>(const coords&, float, float, float, float);

}  // namespace vmc
