#pragma once

#include <optional>

namespace vmc {

// The exact Born-Oppenheimer energy of H2 at separation s (A), in eV with the
// model's constants (Pachucki 2010: within 1e-6 hartree of every other
// accurate calculation), interpolated between its tabulated points from
// 0.053 to 3.18 A by a cubic spline of the electronic energy E - e^2/s;
// nothing below. Beyond 3.18 A the
// curve rises to two atoms, -27.18989 eV, from below, its binding energy
// falling faster than 1/s^6; there a bound the energy never goes below is
// returned: two atoms less the binding at 3.18 A, 0.0227 eV, times
// (3.18 A / s)^4 (0.2 meV at 10 A).
std::optional<double> exact_energy_bound(double s);

}  // namespace vmc
