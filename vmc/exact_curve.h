#pragma once

#include <optional>

namespace vmc {

// The exact Born-Oppenheimer energy of H2 at separation s (A), in eV with the
// model's constants (Pachucki 2010: within 1e-6 hartree of every other
// accurate calculation), interpolated between its tabulated points from
// 0.053 to 3.18 A by a cubic spline of the electronic energy E - e^2/s;
// nothing below. Beyond 3.18 A the
// curve rises to two atoms, -27.18989 eV, with a van der Waals well of a
// third of a meV: there the value at 3.18 A, -27.2126 eV, is returned as a
// bound the energy never goes below.
std::optional<double> exact_energy_bound(double s);

}  // namespace vmc
