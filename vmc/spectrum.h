#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "output/table.h"
#include "vmc/potential_curve.h"
#include "vmc/radial_levels.h"

// From an energy curve to what a spectroscopist measures: the bond length,
// the dissociation energies, the vibrational and rotational levels of H2,
// HD and D2 on the same Born-Oppenheimer curve, with errors.

namespace vmc {

// The nuclear masses, electron masses.
inline constexpr double proton_mass = 1836.15267343;
inline constexpr double deuteron_mass = 3670.48296788;

// A molecule by its name and the reduced mass of its nuclei.
struct molecule {
  std::string name;
  double mu = 0;  // electron masses
};

// "H2", "HD" or "D2"; throws std::invalid_argument for any other name.
molecule molecule_named(const std::string& name);

// What a spectrum is asked to do; every value already checked.
struct spectrum_settings {
  // The curve, R increasing; every error 0 (an exact curve, interpolated)
  // or every error above 0 (a noisy curve, fitted).
  std::vector<curve_point> points;
  std::vector<molecule> molecules;
  int terms = 11;             // polynomial terms of the fitted form
  int resamples = 100;        // redraws of a noisy curve for the errors
  std::uint64_t seed = 5465;  // of the redraws
  double step = 0.01;         // the radial grid's step, bohr
  bool all_levels = false;    // every level with its error, not only those the results use
  bool wave_functions = false;  // |psi|^2 of the lowest levels, for pictures
};

// One level of one molecule on the curve.
struct level {
  std::string molecule;
  int v = 0;
  int j = 0;
  double energy = 0;        // above the separated atoms, hartree (negative when bound)
  double error = 0;         // hartree
  turning_points turning;   // bohr
  bool extrapolated = false;  // more than a thousandth of |psi|^2 lies beyond the points
};

// One result: Re, De, D0, nu01, B0, omega_e, omega_e_x_e or bound_levels.
struct spectrum_value {
  std::string molecule;
  std::string quantity;
  double value = 0;
  double error = 0;
  std::string unit;           // "angstrom", "cm^-1" or "levels"
  bool extrapolated = false;  // it rests on a level that reaches beyond the points
};

// |psi|^2 of a level of J = 0 at one point of the grid, with the curve there.
struct wave_sample {
  std::string molecule;
  int v = 0;
  double r = 0;          // bohr
  double energy = 0;     // the level's, above the separated atoms, hartree
  double potential = 0;  // above the separated atoms, hartree
  double density = 0;    // |u|^2, 1/bohr (the integral over R is 1)
};

// The levels of J = 0 whose |psi|^2 a spectrum samples: v = 0 .. this - 1.
inline constexpr int sampled_levels = 5;

// Everything a spectrum gives.
struct spectrum_result {
  std::vector<spectrum_value> values;
  std::vector<level> levels;            // every bound level of J = 0 and 1
  std::optional<fitted_form> fit;       // the fitted form, for a noisy curve
  std::vector<double> residuals;        // of the fit at each point, hartree
  std::vector<wave_sample> waves;       // when asked for
};

// The whole calculation. For an exact curve each error is its convergence
// error: the change from the radial grid's step to half of it, plus the
// spline's interpolation error (a fifteenth of the change when every other
// point is left out, as a fourth-order error shrinks sixteen-fold when the
// spacing halves). For a noisy curve the errors are the standard deviations
// over `resamples` redraws of every point within its error, each fitted and
// solved again. `progress`, when given, hears (redraws done, redraws).
spectrum_result run_spectrum(const spectrum_settings& settings,
                             const std::function<void(int, int)>& progress = {});

// The results as a table: molecule, quantity, value, error, unit, flag.
table spectrum_table(const std::vector<spectrum_value>& values);
table spectrum_table_for_people(const std::vector<spectrum_value>& values);

// The levels as a table: molecule, v, J, energy (cm^-1 above the atoms),
// error, inner and outer turning points (angstrom), flag.
table levels_table(const std::vector<level>& levels);

// The sampled wave functions as a table: molecule, v, energy (the level's),
// s (angstrom), potential (cm^-1 above the atoms), density (|psi|^2, 1/angstrom).
table waves_table(const std::vector<wave_sample>& waves);

// The fit's residuals as a table: s, energy, error, fitted, residual (A, eV).
table residuals_table(const std::vector<curve_point>& points, const std::vector<double>& residuals);

}  // namespace vmc
