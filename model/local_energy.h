#pragma once

#include "model/factors_at.h"
#include "model/geometry.h"
#include "model/trial_function.h"

namespace vmc {

// The two parts of the local energy other than the proton repulsion, eV.
struct energy_parts {
  float tpop;  // kinetic energy -(hbm/2) (lap1 + lap2) psi / psi
  float vpop;  // electron-proton attraction and electron-electron repulsion
};

// Kinetic and Coulomb parts of the local energy from a configuration's
// geometry and its five exponentials.
template <class Exp>
energy_parts energy_from(const geometry& g, const orbital_factors& o, const trial_function<Exp>& t);

// tpop and vpop of configuration r.
template <class Exp>
energy_parts elocal_parts(const coords& r, const trial_function<Exp>& t);

// The local energy H psi / psi of configuration r, eV, including the proton
// repulsion e2/s. Singular where an electron sits on a nucleus, where the
// electrons coincide and at s = 0: the division by zero gives an infinity or
// a NaN, which is returned as it is.
template <class Exp>
float elocal(const coords& r, const trial_function<Exp>& t);

extern template energy_parts energy_from<exp_double>(const geometry&, const orbital_factors&,
                                                     const trial_function<exp_double>&);
extern template energy_parts energy_from<exp_single>(const geometry&, const orbital_factors&,
                                                     const trial_function<exp_single>&);
extern template energy_parts elocal_parts<exp_double>(const coords&,
                                                      const trial_function<exp_double>&);
extern template energy_parts elocal_parts<exp_single>(const coords&,
                                                      const trial_function<exp_single>&);
extern template float elocal<exp_double>(const coords&, const trial_function<exp_double>&);
extern template float elocal<exp_single>(const coords&, const trial_function<exp_single>&);

}  // namespace vmc
