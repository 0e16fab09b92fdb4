#pragma once

#include <functional>
#include <vector>

// The Born-Oppenheimer curve of H2 between and beyond the points of a table,
// in atomic units: R in bohr, E in hartree, the two separated atoms at
// exactly -1 hartree.

namespace vmc {

// The model's units: its bohr hbar^2/(m e^2) and its hartree e^4 m / hbar^2
// (from hbar^2/m = 7.6359 eV A^2 and e^2 = 14.409 eV A).
inline constexpr double model_bohr_a = 0.5299396;
inline constexpr double model_hartree_ev = 27.18989;
// CODATA's, for comparing with experiment.
inline constexpr double codata_bohr_a = 0.529177210903;
inline constexpr double cm_per_hartree = 219474.6313632;
inline constexpr double cm_per_ev = 8065.543937;

// The dispersion coefficients of two ground-state hydrogen atoms, hartree
// bohr^n: the energy far apart is -1 - C6/R^6 - C8/R^8 - C10/R^10 - ...
inline constexpr double dispersion_c6 = 6.499026705;
inline constexpr double dispersion_c8 = 124.3990835;
inline constexpr double dispersion_c10 = 3285.828414;

// One point of a curve: R bohr, E hartree, its standard error hartree (0 for
// an exact point).
struct curve_point {
  double r = 0;
  double e = 0;
  double error = 0;
};

// A curve defined everywhere above R = 0, and the range its points cover.
struct potential_curve {
  std::function<double(double)> energy;  // hartree at R bohr
  double first = 0;                      // the first point's R, bohr
  double last = 0;                       // the last point's R, bohr
};

// Exact points (at least four, R strictly increasing) joined by a natural
// cubic spline of E - 1/R; below the first point c/R + d and beyond the last
// -1 - A exp(-b R) - C6/R^6 - C8/R^8 - C10/R^10, each joined to the spline
// in value and slope.
potential_curve interpolated_curve(const std::vector<curve_point>& points);

// The smooth form fitted to points with errors:
//   E(R) = -1 + exp(-R) (1/R + p_0 + p_1 R + ... + p_{k-1} R^{k-1})
//          - sum over n = 6, 8, 10 of f_n(2 R) C_n / R^n
// (R in bohr), with f_n(x) = 1 - exp(-x) sum_{m=0}^{n} x^m / m! the
// Tang-Toennies damping. It holds the nuclei's repulsion 1/R exactly at short
// range and, far apart, the atoms' dispersion with overlap and exchange
// energies that die out as exp(-R) times powers of R, as the overlap of two
// 1s orbitals, exp(-R) (1 + R + R^2/3), does. It is linear in the p_k, so a
// fit has one answer, found without a search, and the spread of refits of
// redrawn points is its error.
struct fitted_form {
  std::vector<double> p;  // hartree bohr^-k
  double chi2 = 0;        // sum of squared residuals over errors squared
};

// The form's energy at R, hartree.
double fitted_energy(const fitted_form& f, double r);

// The p_k that minimise chi^2 for points with errors (at least terms + 3
// points), by weighted linear least squares.
fitted_form fit_curve(const std::vector<curve_point>& points, int terms);

// The fitted form between first and last (the points' range), continued
// beyond them as interpolated_curve continues a spline.
potential_curve fitted_curve(const fitted_form& f, double first, double last);

}  // namespace vmc
