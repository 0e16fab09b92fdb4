#pragma once

#include "model/constants.h"
#include "model/exponential.h"
#include "model/factors_at.h"

namespace vmc {

// The two parts of the local energy other than the proton repulsion, eV.
struct energy_parts {
  float tpop;  // kinetic energy -(hbm/2) (lap1 + lap2) psi / psi
  float vpop;  // electron-proton attraction and electron-electron repulsion
};

// Kinetic and Coulomb parts of the local energy from a configuration's
// geometry and its five exponentials.
energy_parts energy_from(const geometry& g, const orbital_factors& o, float a, float alfa,
                         float beta, float s, float e2, float hbm);

// tpop and vpop of configuration r.
template <class Exp>
energy_parts elocal_parts(const coords& r, float a, float alfa, float beta, float s, float e2,
                          float hbm);

// The local energy H psi / psi of configuration r, eV, including the proton
// repulsion e2/s.
template <class Exp>
float elocal(const coords& r, float a, float alfa, float beta, float s, float e2, float hbm);

extern template energy_parts elocal_parts<exp_double>(const coords&, float, float, float, float,
                                                      float, float);
extern template energy_parts elocal_parts<exp_single>(const coords&, float, float, float, float,
                                                      float, float);
extern template float elocal<exp_double>(const coords&, float, float, float, float, float, float);
extern template float elocal<exp_single>(const coords&, float, float, float, float, float, float);

}  // namespace vmc
