#pragma once

#include "model/constants.h"
#include "model/exponential.h"

namespace vmc {

// The local energy and psi of one configuration.
struct evaluation {
  float eloc;
  float psi;
};

// elocal and phi of configuration r from one set of distances and
// exponentials; identical to the bit to the two separate calls.
template <class Exp>
evaluation evaluate(const coords& r, float a, float alfa, float beta, float s, float e2,
                    float hbm);

extern template evaluation evaluate<exp_double>(const coords&, float, float, float, float, float,
                                                float);
extern template evaluation evaluate<exp_single>(const coords&, float, float, float, float, float,
                                                float);

}  // namespace vmc
