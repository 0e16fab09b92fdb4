#pragma once

#include "model/constants.h"
#include "model/exponential.h"

namespace vmc {

// The trial wave function psi (not normalised) of configuration r for
// orbital length a and proton separation s.
template <class Exp>
float phi(const coords& r, float a, float alfa, float beta, float s);

extern template float phi<exp_double>(const coords&, float, float, float, float);
extern template float phi<exp_single>(const coords&, float, float, float, float);

}  // namespace vmc
