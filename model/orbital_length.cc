#include "model/orbital_length.h"

#include <cmath>

namespace vmc {

// At a nucleus the orbital sum exp(-rL/a) + exp(-rR/a) has the value
// 1 + exp(-s/a) and the cusp slope -1/a; the cusp condition asks their ratio
// to be -1/abohr. The map a -> abohr / (1 + exp(-s/a)) sends every positive a
// into [abohr/2, abohr) and contracts there (slope below 0.45), so the
// iteration below ends for every separation without a cap. A difference that
// is not a number compares false and ends the loop too.
template <class Exp>
float apar(float abohr, float s, apar_start start) {
  float aold = 0.0f;
  float a = start == apar_start::abohr ? abohr : 10.0f;
  while (std::fabs(a - aold) > 1.0e-6f) {
    aold = a;
    a = abohr / (1.0f + Exp::exp(-s / aold));
  }
  return a;
}

template float apar<exp_double>(float, float, apar_start);
template float apar<exp_single>(float, float, apar_start);

}  // namespace vmc
