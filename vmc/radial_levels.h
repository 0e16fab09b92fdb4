#pragma once

#include <cstddef>
#include <vector>

// The vibration and rotation of the two nuclei on a Born-Oppenheimer curve:
// the radial Schroedinger equation
//   -1/(2 mu) u''(R) + (V(R) + J(J+1)/(2 mu R^2)) u(R) = E u(R),
// in atomic units (hbar = 1, lengths in bohr, energies in hartree, the
// reduced mass mu in electron masses), solved on a uniform grid by Numerov's
// method with u = 0 at both ends of the grid.

namespace vmc {

// A curve sampled on a uniform grid: R_i = first + i step, i = 0 .. size-1.
struct radial_grid {
  double first = 0;               // bohr, above 0
  double step = 0;                // bohr, above 0
  std::vector<double> potential;  // V(R_i), hartree
};

// R_i of the grid.
inline double grid_point(const radial_grid& g, std::size_t i) {
  return g.first + static_cast<double>(i) * g.step;
}

// One equation: the grid with 2 mu (V + J(J+1)/(2 mu R^2)) at each point,
// so that Q = q - 2 mu E.
struct radial_equation {
  double first = 0;      // bohr
  double step = 0;       // bohr
  double mu = 0;         // electron masses
  int j = 0;             // rotational quantum number
  std::vector<double> q; // 1/bohr^2
  std::vector<double> q_beyond;  // the least q from each point to the end
};

// The equation of reduced mass mu and rotation j on the grid.
radial_equation radial_equation_of(const radial_grid& g, double mu, int j);

// The number of levels of rotational quantum number j below the energy e.
// Throws std::invalid_argument when the grid is too coarse for e (a Numerov
// factor 1 - h^2 Q / 12 at or below zero).
int levels_below(const radial_equation& q, double e);

// The energy of vibrational level v (0 the lowest) of rotation j, found by
// bisection between lo and hi to within tolerance, hartree. Throws
// std::invalid_argument when [lo, hi] holds no such level.
double level_energy(const radial_equation& q, int v, double lo, double hi,
                    double tolerance = 1e-11);

// The level's wave function u on the grid at its energy e, normalised so that
// the sum of u^2 step is 1.
std::vector<double> wave_function(const radial_equation& q, double e);

// The classical turning points of the level of energy e: where
// V + J(J+1)/(2 mu R^2) crosses e on the inside and on the outside, bohr,
// linear between grid points.
struct turning_points {
  double inner = 0;
  double outer = 0;
};
turning_points turning_points_of(const radial_equation& q, double e);

}  // namespace vmc
