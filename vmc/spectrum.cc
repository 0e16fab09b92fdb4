#include "vmc/spectrum.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_min.h>
#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <map>
#include <memory>
#include <stdexcept>
#include <tuple>

#include "vmc/radial_levels.h"

namespace vmc {
namespace {

// The radial grid runs from well inside the wall, where even the lowest
// level's |psi|^2 is below 1e-100, to far enough out for the last, weakly
// bound levels.
constexpr double grid_first = 0.3, grid_last = 60.0;  // bohr

// A level counts as extrapolated when more than this share of |psi|^2 lies
// outside the points' range.
constexpr double extrapolated_share = 1e-3;

// The quantities of the results table, in order, with their units.
constexpr std::size_t quantity_count = 8;
constexpr std::array<const char*, quantity_count> quantity_names = {
    "Re", "De", "D0", "nu01", "B0", "omega_e", "omega_e_x_e", "bound_levels"};
constexpr std::array<const char*, quantity_count> quantity_units = {
    "angstrom", "cm^-1", "cm^-1", "cm^-1", "cm^-1", "cm^-1", "cm^-1", "levels"};

using quantities = std::array<double, quantity_count>;

// What one curve gives: per molecule its quantities and which of them rest
// on extrapolated levels, and the levels.
struct analysis {
  std::vector<quantities> values;
  std::vector<std::array<bool, quantity_count>> extrapolated;
  std::vector<level> levels;
  std::vector<wave_sample> waves;
};

// The wave functions are sampled at every other grid point out to here.
constexpr double sampled_last = 8.0;  // bohr

radial_grid grid_of(const potential_curve& c, double step) {
  radial_grid g;
  g.first = grid_first;
  g.step = step;
  const auto n = static_cast<std::size_t>(std::llround((grid_last - grid_first) / step)) + 1;
  g.potential.resize(n);
  for (std::size_t i = 0; i < n; ++i) g.potential[i] = c.energy(grid_point(g, i));
  return g;
}

// The separation of the curve's minimum, bohr: Brent's minimisation around
// the lowest grid point.
double minimum_of(const potential_curve& c, const radial_grid& g) {
  std::size_t lowest = 0;
  for (std::size_t i = 1; i < g.potential.size(); ++i) {
    if (g.potential[i] < g.potential[lowest]) lowest = i;
  }
  const double r0 = grid_point(g, lowest);
  if (lowest == 0 || lowest + 1 == g.potential.size()) {
    throw std::invalid_argument("the curve has no minimum inside the grid");
  }
  gsl_function f;
  f.function = [](double r, void* p) { return static_cast<const potential_curve*>(p)->energy(r); };
  f.params = const_cast<potential_curve*>(&c);
  gsl_min_fminimizer* m = gsl_min_fminimizer_alloc(gsl_min_fminimizer_brent);
  gsl_error_handler_t* old = gsl_set_error_handler_off();
  double r = r0;
  if (gsl_min_fminimizer_set(m, &f, r0, r0 - g.step, r0 + g.step) == GSL_SUCCESS) {
    for (int iteration = 0; iteration < 100; ++iteration) {
      if (gsl_min_fminimizer_iterate(m) != GSL_SUCCESS) break;
      if (gsl_min_test_interval(gsl_min_fminimizer_x_lower(m), gsl_min_fminimizer_x_upper(m),
                                1e-9, 0.0) == GSL_SUCCESS) {
        break;
      }
    }
    r = gsl_min_fminimizer_x_minimum(m);
  }
  gsl_set_error_handler(old);
  gsl_min_fminimizer_free(m);
  return r;
}

// The share of the level's |psi|^2 outside [first, last].
double share_outside(const radial_equation& q, double e, double first, double last) {
  const std::vector<double> u = wave_function(q, e);
  double outside = 0.0;
  for (std::size_t i = 0; i < u.size(); ++i) {
    const double r = q.first + static_cast<double>(i) * q.step;
    if (r < first || r > last) outside += u[i] * u[i] * q.step;
  }
  return outside;
}

// A level of the equation, with its turning points and, when `look` is
// set, whether it reaches beyond the points.
level level_of(const std::string& name, const radial_equation& q, int v, double bottom,
               const potential_curve& c, bool look) {
  level l;
  l.molecule = name;
  l.v = v;
  l.j = q.j;
  // Levels to 1e-11 hartree where they are reported, to 1e-9 (0.0002 cm^-1)
  // in the redraws, whose spread is far larger.
  const double e = level_energy(q, v, bottom, -1.0, look ? 1e-11 : 1e-9);
  l.energy = e + 1.0;
  if (look) {
    l.turning = turning_points_of(q, e);
    l.extrapolated = share_outside(q, e, c.first, c.last) > extrapolated_share;
  }
  return l;
}

// The quantities of every molecule on one curve, solved on a grid of the
// given step; with `all_levels` every bound level of J = 0 and 1, with `look`
// their turning points and whether they reach beyond the points, with
// `waves` |psi|^2 of the lowest levels.
analysis analyse(const potential_curve& c, const std::vector<molecule>& molecules, double step,
                 bool all_levels, bool look, bool waves = false) {
  const radial_grid g = grid_of(c, step);
  const double re = minimum_of(c, g);
  const double bottom = c.energy(re);
  analysis out;
  for (const molecule& m : molecules) {
    const radial_equation rotationless = radial_equation_of(g, m.mu, 0);
    const radial_equation rotating = radial_equation_of(g, m.mu, 1);
    const int bound = levels_below(rotationless, -1.0);
    if (bound < 3) {
      throw std::invalid_argument("the curve holds " + std::to_string(bound) + " levels of " +
                                  m.name + ", fewer than the three the results need");
    }
    // The levels the results rest on: v = 0, 1, 2 of J = 0 and v = 0 of J = 1.
    const level g0 = level_of(m.name, rotationless, 0, bottom, c, look);
    const level g1 = level_of(m.name, rotationless, 1, bottom, c, look);
    const level g2 = level_of(m.name, rotationless, 2, bottom, c, look);
    const level r0 = level_of(m.name, rotating, 0, bottom, c, look);
    // Whether the count rests on extrapolation is a question for the reported
    // values only.
    const bool top_extrapolated =
        look && level_of(m.name, rotationless, bound - 1, bottom, c, look).extrapolated;
    // With G(v) = omega_e (v + 1/2) - omega_e x_e (v + 1/2)^2, the first two
    // spacings are G(1) - G(0) = omega_e - 2 omega_e x_e and
    // G(2) - G(1) = omega_e - 4 omega_e x_e.
    const double first_spacing = g1.energy - g0.energy, second_spacing = g2.energy - g1.energy;
    const double wexe = 0.5 * (first_spacing - second_spacing);
    out.values.push_back({re * codata_bohr_a, -(bottom + 1.0) * cm_per_hartree,
                          -g0.energy * cm_per_hartree, first_spacing * cm_per_hartree,
                          0.5 * (r0.energy - g0.energy) * cm_per_hartree,
                          (first_spacing + 2.0 * wexe) * cm_per_hartree, wexe * cm_per_hartree,
                          static_cast<double>(bound)});
    const bool low = g0.extrapolated || g1.extrapolated || g2.extrapolated;
    out.extrapolated.push_back({false, false, g0.extrapolated, g0.extrapolated || g1.extrapolated,
                                g0.extrapolated || r0.extrapolated, low, low, top_extrapolated});
    for (int v = 0; waves && v < std::min(bound, sampled_levels); ++v) {
      const double e = level_energy(rotationless, v, bottom, -1.0);
      const std::vector<double> u = wave_function(rotationless, e);
      for (std::size_t i = 0; i < u.size() && grid_point(g, i) <= sampled_last; i += 2) {
        out.waves.push_back(
            {m.name, v, grid_point(g, i), e + 1.0, g.potential[i] + 1.0, u[i] * u[i]});
      }
    }
    if (all_levels) {
      for (const radial_equation* q : {&rotationless, &rotating}) {
        const int n = q == &rotationless ? bound : levels_below(rotating, -1.0);
        for (int v = 0; v < n; ++v) out.levels.push_back(level_of(m.name, *q, v, bottom, c, look));
      }
    }
  }
  return out;
}

// Every other point, and always the last, so that the range stays the same.
std::vector<curve_point> every_other(const std::vector<curve_point>& points) {
  std::vector<curve_point> out;
  for (std::size_t i = 0; i < points.size(); i += 2) out.push_back(points[i]);
  if (points.size() % 2 == 0) out.push_back(points.back());
  return out;
}

using level_key = std::tuple<std::string, int, int>;

std::map<level_key, double> energies_of(const analysis& a) {
  std::map<level_key, double> out;
  for (const level& l : a.levels) out[{l.molecule, l.j, l.v}] = l.energy;
  return out;
}

// The table rows of an analysis with errors.
spectrum_result rows_of(const analysis& a, const std::vector<molecule>& molecules,
                        const std::vector<quantities>& errors,
                        const std::map<level_key, double>& level_errors) {
  spectrum_result out;
  for (std::size_t m = 0; m < molecules.size(); ++m) {
    for (std::size_t k = 0; k < quantity_count; ++k) {
      out.values.push_back({molecules[m].name, quantity_names[k], a.values[m][k], errors[m][k],
                            quantity_units[k], a.extrapolated[m][k]});
    }
  }
  out.levels = a.levels;
  out.waves = a.waves;
  for (level& l : out.levels) {
    const auto found = level_errors.find({l.molecule, l.j, l.v});
    l.error = found == level_errors.end() ? NAN : found->second;
  }
  return out;
}

spectrum_result exact_spectrum(const spectrum_settings& s) {
  // The convergence error drops every other point, which must still leave
  // the four points a spline needs.
  if (s.points.size() < 8) {
    throw std::invalid_argument("a curve without errors needs at least eight points for its "
                                "convergence error; found " + std::to_string(s.points.size()));
  }
  const potential_curve curve = interpolated_curve(s.points);
  const analysis best =
      analyse(curve, s.molecules, 0.5 * s.step, s.all_levels, true, s.wave_functions);
  const analysis coarse = analyse(curve, s.molecules, s.step, s.all_levels, false);
  const analysis sparse =
      analyse(interpolated_curve(every_other(s.points)), s.molecules, 0.5 * s.step, s.all_levels,
              false);
  std::vector<quantities> errors(s.molecules.size());
  for (std::size_t m = 0; m < s.molecules.size(); ++m) {
    for (std::size_t k = 0; k < quantity_count; ++k) {
      errors[m][k] = std::fabs(best.values[m][k] - coarse.values[m][k]) +
                     std::fabs(best.values[m][k] - sparse.values[m][k]) / 15.0;
    }
  }
  std::map<level_key, double> level_errors;
  const auto coarse_levels = energies_of(coarse), sparse_levels = energies_of(sparse);
  for (const auto& [key, e] : energies_of(best)) {
    const auto c = coarse_levels.find(key), p = sparse_levels.find(key);
    if (c != coarse_levels.end() && p != sparse_levels.end()) {
      level_errors[key] = std::fabs(e - c->second) + std::fabs(e - p->second) / 15.0;
    }
  }
  return rows_of(best, s.molecules, errors, level_errors);
}

struct rng_deleter {
  void operator()(gsl_rng* r) const { gsl_rng_free(r); }
};

spectrum_result noisy_spectrum(const spectrum_settings& s,
                               const std::function<void(int, int)>& progress) {
  const fitted_form fit = fit_curve(s.points, s.terms);
  const double first = s.points.front().r, last = s.points.back().r;
  const analysis best = analyse(fitted_curve(fit, first, last), s.molecules, s.step,
                                s.all_levels, true, s.wave_functions);
  // Each redraw moves every point by a Gaussian deviate of its error and
  // repeats the fit and the solution; the spread of the results over the
  // redraws is their error.
  std::unique_ptr<gsl_rng, rng_deleter> rng(gsl_rng_alloc(gsl_rng_mt19937));
  gsl_rng_set(rng.get(), static_cast<unsigned long>(s.seed));
  const std::size_t nm = s.molecules.size();
  std::vector<quantities> sum(nm), square(nm);
  for (std::size_t m = 0; m < nm; ++m) {
    sum[m].fill(0.0);
    square[m].fill(0.0);
  }
  std::map<level_key, std::array<double, 3>> level_sums;  // count, sum, sum of squares
  for (int k = 0; k < s.resamples; ++k) {
    std::vector<curve_point> drawn = s.points;
    for (curve_point& p : drawn) p.e += gsl_ran_gaussian_ziggurat(rng.get(), p.error);
    const analysis a = analyse(fitted_curve(fit_curve(drawn, s.terms), first, last), s.molecules,
                               s.step, s.all_levels, false);
    // Deviations from the undisturbed fit's values keep the sums small.
    for (std::size_t m = 0; m < nm; ++m) {
      for (std::size_t q = 0; q < quantity_count; ++q) {
        const double d = a.values[m][q] - best.values[m][q];
        sum[m][q] += d;
        square[m][q] += d * d;
      }
    }
    for (const level& l : a.levels) {
      std::array<double, 3>& t = level_sums[{l.molecule, l.j, l.v}];
      t[0] += 1.0;
      t[1] += l.energy;
      t[2] += l.energy * l.energy;
    }
    if (progress) progress(k + 1, s.resamples);
  }
  const double n = s.resamples;
  std::vector<quantities> errors(nm);
  for (std::size_t m = 0; m < nm; ++m) {
    for (std::size_t q = 0; q < quantity_count; ++q) {
      const double mean = sum[m][q] / n;
      errors[m][q] = std::sqrt(std::max(0.0, (square[m][q] - n * mean * mean) / (n - 1.0)));
    }
  }
  std::map<level_key, double> level_errors;
  for (const auto& [key, t] : level_sums) {
    if (t[0] < 2.0) continue;
    const double mean = t[1] / t[0];
    level_errors[key] = std::sqrt(std::max(0.0, (t[2] - t[0] * mean * mean) / (t[0] - 1.0)));
  }
  spectrum_result out = rows_of(best, s.molecules, errors, level_errors);
  out.fit = fit;
  for (const curve_point& p : s.points) out.residuals.push_back(fitted_energy(fit, p.r) - p.e);
  return out;
}

std::string flag_of(bool extrapolated) { return extrapolated ? "extrapolated" : ""; }

}  // namespace

molecule molecule_named(const std::string& name) {
  if (name == "H2") return {name, proton_mass / 2.0};
  if (name == "HD") return {name, proton_mass * deuteron_mass / (proton_mass + deuteron_mass)};
  if (name == "D2") return {name, deuteron_mass / 2.0};
  throw std::invalid_argument("unknown molecule \"" + name + "\"; expected H2, HD or D2");
}

spectrum_result run_spectrum(const spectrum_settings& settings,
                             const std::function<void(int, int)>& progress) {
  const bool noisy = !settings.points.empty() && settings.points.front().error > 0.0;
  return noisy ? noisy_spectrum(settings, progress) : exact_spectrum(settings);
}

namespace {
const std::vector<std::string> value_columns = {"molecule", "quantity", "value",
                                                "error",    "unit",     "flag"};
}  // namespace

table spectrum_table(const std::vector<spectrum_value>& values) {
  table t{value_columns, {}};
  for (const spectrum_value& v : values) {
    t.rows.push_back({v.molecule, v.quantity, shortest(v.value), shortest(v.error), v.unit,
                      flag_of(v.extrapolated)});
  }
  return t;
}

table spectrum_table_for_people(const std::vector<spectrum_value>& values) {
  table t{value_columns, {}};
  for (const spectrum_value& v : values) {
    const int digits = v.unit == "angstrom" ? 6 : v.unit == "levels" ? 1 : 3;
    t.rows.push_back({v.molecule, v.quantity, fixed(v.value, v.unit == "levels" ? 0 : digits),
                      fixed(v.error, digits), v.unit, flag_of(v.extrapolated)});
  }
  return t;
}

table levels_table(const std::vector<level>& levels) {
  table t{{"molecule", "v", "J", "energy", "error", "inner", "outer", "flag"}, {}};
  for (const level& l : levels) {
    t.rows.push_back({l.molecule, std::to_string(l.v), std::to_string(l.j),
                      shortest(l.energy * cm_per_hartree), shortest(l.error * cm_per_hartree),
                      shortest(l.turning.inner * codata_bohr_a),
                      shortest(l.turning.outer * codata_bohr_a), flag_of(l.extrapolated)});
  }
  return t;
}

table waves_table(const std::vector<wave_sample>& waves) {
  table t{{"molecule", "v", "energy", "s", "potential", "density"}, {}};
  for (const wave_sample& w : waves) {
    t.rows.push_back({w.molecule, std::to_string(w.v), fixed(w.energy * cm_per_hartree, 3),
                      fixed(w.r * codata_bohr_a, 6),
                      fixed(w.potential * cm_per_hartree, 3), shortest(w.density / codata_bohr_a)});
  }
  return t;
}

table residuals_table(const std::vector<curve_point>& points, const std::vector<double>& residuals) {
  table t{{"s", "energy", "error", "fitted", "residual"}, {}};
  for (std::size_t i = 0; i < points.size() && i < residuals.size(); ++i) {
    const curve_point& p = points[i];
    // s as the tables give it (a float), energies to the micro-electronvolt.
    t.rows.push_back({shortest(static_cast<float>(p.r * model_bohr_a)),
                      fixed(p.e * model_hartree_ev, 6), fixed(p.error * model_hartree_ev, 6),
                      fixed((p.e + residuals[i]) * model_hartree_ev, 6),
                      fixed(residuals[i] * model_hartree_ev, 6)});
  }
  return t;
}

}  // namespace vmc
