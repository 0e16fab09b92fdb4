#pragma once

#include "model/exponential.h"

namespace vmc {

// Where the fixed-point iteration for the orbital length starts: at the Bohr
// length (the scan) or at 10 A (the fixed-separation run and the demonstration).
enum class apar_start { abohr, ten_angstrom };

// The orbital length a (A) for proton separation s that satisfies the
// nuclear cusp condition a (1 + exp(-s/a)) = abohr.
template <class Exp>
float apar(float abohr, float s, apar_start start);

extern template float apar<exp_double>(float, float, apar_start);
extern template float apar<exp_single>(float, float, apar_start);

}  // namespace vmc
