#pragma once

#include "model/geometry.h"
#include "model/trial_function.h"

namespace vmc {

// The local energy and psi of one configuration.
struct evaluation {
  float eloc;  // eV
  float psi;
};

// elocal and phi of configuration r from one set of distances and
// exponentials; identical to the bit to the two separate calls.
template <class Exp>
evaluation evaluate(const coords& r, const trial_function<Exp>& t);

extern template evaluation evaluate<exp_double>(const coords&, const trial_function<exp_double>&);
extern template evaluation evaluate<exp_single>(const coords&, const trial_function<exp_single>&);

}  // namespace vmc
