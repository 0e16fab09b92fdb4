#include "vmc/potential_curve.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_multifit.h>
#include <gsl/gsl_spline.h>

#include <array>
#include <cmath>
#include <memory>
#include <stdexcept>

namespace vmc {
namespace {

// The damped dispersion energy sum over n = 6, 8, 10 of f_n(b R) C_n / R^n,
// hartree (positive), with the Tang-Toennies damping
//   f_n(x) = 1 - exp(-x) sum_{m=0}^{n} x^m / m! = exp(-x) sum_{m>n} x^m / m!.
// Where f_10 is small the second form is summed, so that nothing cancels,
// and f_8, f_6 follow from it by adding the terms m = 9, 10 and m = 7, 8.
double damped_dispersion(double b, double r) {
  const double x = b * r;
  std::array<double, 11> term;  // exp(-x) x^m / m!
  term[0] = std::exp(-x);
  for (int m = 1; m <= 10; ++m) term[m] = term[m - 1] * x / m;
  double f10 = 0.0;
  if (x > 12.0) {
    double head = 0.0;
    for (double t : term) head += t;
    f10 = 1.0 - head;
  } else {
    double t = term[10];
    for (int m = 11; m < 200; ++m) {
      t *= x / m;
      f10 += t;
      if (t < 1e-17 * f10) break;
    }
  }
  const double f8 = f10 + term[9] + term[10], f6 = f8 + term[7] + term[8];
  const double r2 = r * r, r6 = r2 * r2 * r2;
  return f6 * dispersion_c6 / r6 + f8 * dispersion_c8 / (r6 * r2) +
         f10 * dispersion_c10 / (r6 * r2 * r2);
}

// The fitted form's decay and its damping of the dispersion, 1/bohr.
constexpr double fit_decay = 1.0, fit_damping = 2.0;

// The undamped dispersion energy and its derivative with respect to R.
double dispersion(double r) {
  const double r2 = r * r, r6 = r2 * r2 * r2;
  return dispersion_c6 / r6 + dispersion_c8 / (r6 * r2) + dispersion_c10 / (r6 * r2 * r2);
}
double dispersion_slope(double r) {
  const double r2 = r * r, r7 = r2 * r2 * r2 * r;
  return -6.0 * dispersion_c6 / r7 - 8.0 * dispersion_c8 / (r7 * r2) -
         10.0 * dispersion_c10 / (r7 * r2 * r2);
}

// A curve known between ra and rb as e(R) with slope de(R), continued to
// all R > 0. Below ra the wall rises as the nuclei's repulsion c/R + d,
// matched in value and slope: c = -E'(ra) ra^2, d = E(ra) - c/ra. Beyond rb
// the atoms feel their dispersion and an exchange energy that decays as
// exp(-b R): with x(R) = E + 1 + dispersion the exchange part, b = -x'/x and
// A = -x exp(b R) at rb. Where the curve does not allow that (x and x' of one
// sign), b is 2, the decay of two atoms' exchange energy (their overlap squared).
potential_curve continued(std::function<double(double)> e, std::function<double(double)> de,
                          double ra, double rb) {
  const double ea = e(ra), eb = e(rb);
  const double c = -de(ra) * ra * ra;
  const double d = ea - c / ra;
  const double x = eb + 1.0 + dispersion(rb);
  const double slope = de(rb) + dispersion_slope(rb);
  const double b = (x != 0.0 && -slope / x > 0.0) ? -slope / x : 2.0;
  const double amplitude = -x * std::exp(b * rb);
  auto energy = [e = std::move(e), ra, rb, c, d, b, amplitude](double at) {
    if (at < ra) return c / at + d;
    if (at > rb) return -1.0 - amplitude * std::exp(-b * at) - dispersion(at);
    return e(at);
  };
  return {energy, ra, rb};
}

struct spline_deleter {
  void operator()(gsl_spline* s) const { gsl_spline_free(s); }
};

// The weighted linear least squares: the points' E + 1 - exp(-a R)/R +
// dispersion fitted by sum_k p_k exp(-a R) R^k; returns chi^2 and the p_k.
double chi2_at(const std::vector<curve_point>& points, std::size_t terms, double a,
               std::vector<double>* p) {
  const std::size_t n = points.size();
  gsl_matrix* x = gsl_matrix_alloc(n, terms);
  gsl_vector* w = gsl_vector_alloc(n);
  gsl_vector* y = gsl_vector_alloc(n);
  gsl_vector* c = gsl_vector_alloc(terms);
  gsl_matrix* cov = gsl_matrix_alloc(terms, terms);
  gsl_multifit_linear_workspace* work = gsl_multifit_linear_alloc(n, terms);
  for (std::size_t i = 0; i < n; ++i) {
    const double r = points[i].r, decay = std::exp(-a * r);
    double power = decay;
    for (std::size_t k = 0; k < terms; ++k) {
      gsl_matrix_set(x, i, k, power);
      power *= r;
    }
    gsl_vector_set(y, i, points[i].e + 1.0 - decay / r + damped_dispersion(fit_damping, r));
    gsl_vector_set(w, i, 1.0 / (points[i].error * points[i].error));
  }
  double chi2 = 0.0;
  gsl_multifit_wlinear(x, w, y, c, cov, &chi2, work);
  if (p) {
    p->resize(terms);
    for (std::size_t k = 0; k < terms; ++k) (*p)[k] = gsl_vector_get(c, k);
  }
  gsl_multifit_linear_free(work);
  gsl_matrix_free(cov);
  gsl_vector_free(c);
  gsl_vector_free(y);
  gsl_vector_free(w);
  gsl_matrix_free(x);
  return chi2;
}

}  // namespace

potential_curve interpolated_curve(const std::vector<curve_point>& points) {
  const std::size_t n = points.size();
  if (n < 4) throw std::invalid_argument("a curve needs at least four points");
  // The spline interpolates the electronic energy E - 1/R: smooth where the
  // nuclei's repulsion 1/R is steep (it tends to the helium atom's energy as
  // R -> 0); on the wall of the shipped curve a spline of it misses left-out
  // points some thirty times less than a spline of E itself.
  std::vector<double> r(n), e(n);
  for (std::size_t i = 0; i < n; ++i) {
    r[i] = points[i].r;
    e[i] = points[i].e - 1.0 / points[i].r;
    if (i > 0 && !(r[i] > r[i - 1])) {
      throw std::invalid_argument("the separations must increase from row to row");
    }
  }
  std::shared_ptr<gsl_spline> spline(gsl_spline_alloc(gsl_interp_cspline, n), spline_deleter{});
  gsl_spline_init(spline.get(), r.data(), e.data(), n);
  return continued([spline](double at) { return 1.0 / at + gsl_spline_eval(spline.get(), at, nullptr); },
                   [spline](double at) {
                     return -1.0 / (at * at) + gsl_spline_eval_deriv(spline.get(), at, nullptr);
                   },
                   r.front(), r.back());
}

double fitted_energy(const fitted_form& f, double r) {
  double poly = 0.0;
  for (std::size_t k = f.p.size(); k-- > 0;) poly = poly * r + f.p[k];
  return -1.0 + std::exp(-fit_decay * r) * (1.0 / r + poly) - damped_dispersion(fit_damping, r);
}

fitted_form fit_curve(const std::vector<curve_point>& points, int terms) {
  const std::size_t k = static_cast<std::size_t>(terms);
  if (terms < 1 || points.size() < k + 3) {
    throw std::invalid_argument("a fit of " + std::to_string(terms) + " terms needs at least " +
                                std::to_string(terms + 3) + " points");
  }
  for (const curve_point& p : points) {
    if (!(p.error > 0.0)) throw std::invalid_argument("every point of a fit needs an error above 0");
  }
  fitted_form out;
  out.chi2 = chi2_at(points, k, fit_decay, &out.p);
  return out;
}

potential_curve fitted_curve(const fitted_form& f, double first, double last) {
  // The derivative of the form by central differences: only the joins to
  // the continuations use it.
  auto e = [f](double r) { return fitted_energy(f, r); };
  auto de = [f](double r) {
    const double h = 1e-5 * r;
    return (fitted_energy(f, r + h) - fitted_energy(f, r - h)) / (2.0 * h);
  };
  return continued(e, de, first, last);
}

}  // namespace vmc
