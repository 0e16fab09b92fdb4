#include "vmc/radial_levels.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace vmc {
namespace {

double point_of(const radial_equation& q, std::size_t i) {
  return q.first + static_cast<double>(i) * q.step;
}

// Numerov's method for u'' = Q u, Q = 2 mu (V_eff - E), advances
// w_i = (1 - t_i) u_i with t_i = h^2 Q_i / 12 as
//   w_{i+1} = U_i w_i - w_{i-1},   U_i = (2 + 10 t_i) / (1 - t_i),
// which is the three-point formula
//   (1 - t_{i+1}) u_{i+1} - (2 + 10 t_i) u_i + (1 - t_{i-1}) u_{i-1} = 0
// rewritten; its error is O(h^6) per step, so the levels converge as h^4.
struct numerov_factor {
  double t;  // h^2 Q / 12
  double u;  // U
};

[[noreturn]] void too_coarse(const radial_equation& q, std::size_t i) {
  throw std::invalid_argument("the grid step " + std::to_string(q.step) +
                              " bohr is too coarse for the curve's wall at R = " +
                              std::to_string(point_of(q, i)) + " bohr");
}

numerov_factor factor_at(const radial_equation& q, double e, std::size_t i) {
  const double t = q.step * q.step * (q.q[i] - 2.0 * q.mu * e) / 12.0;
  if (!(t < 1.0)) too_coarse(q, i);
  return {t, (2.0 + 10.0 * t) / (1.0 - t)};
}

}  // namespace

radial_equation radial_equation_of(const radial_grid& g, double mu, int j) {
  const std::size_t n = g.potential.size();
  radial_equation q{g.first, g.step, mu, j, std::vector<double>(n), std::vector<double>(n)};
  for (std::size_t i = 0; i < n; ++i) {
    const double r = grid_point(g, i);
    q.q[i] = 2.0 * mu * g.potential[i] + static_cast<double>(j * (j + 1)) / (r * r);
  }
  for (std::size_t i = n; i-- > 0;) {
    q.q_beyond[i] = i + 1 == n ? q.q[i] : std::min(q.q[i], q.q_beyond[i + 1]);
  }
  return q;
}

int levels_below(const radial_equation& q, double e) {
  // Johnson's renormalised Numerov method: the ratios r_i = w_{i+1} / w_i of
  // the solution that starts from w_0 = 0 obey r_i = U_i - 1 / r_{i-1} and
  // never overflow. The w_i are a Sturm sequence of the discrete problem
  // (while every 1 - t_i is positive), so the number of sign changes of w,
  // the number of negative ratios, is the number of its eigenvalues below e.
  int count = 0;
  double ratio = std::numeric_limits<double>::infinity();
  const double h2 = q.step * q.step / 12.0, shift = 2.0 * q.mu * e;
  const std::size_t n = q.q.size();
  for (std::size_t i = 1; i + 1 < n; ++i) {
    const double t = h2 * (q.q[i] - shift);
    if (!(t < 1.0)) too_coarse(q, i);
    ratio = (2.0 + 10.0 * t) / (1.0 - t) - 1.0 / ratio;
    if (ratio < 0.0) ++count;
    if (ratio == 0.0) ratio = std::numeric_limits<double>::min();
    // Where Q > 0 at every point to the end, every U exceeds 2, so a ratio
    // of at least 1 stays above 1: w changes sign no more.
    if (ratio >= 1.0 && q.q_beyond[i + 1] > shift) break;
  }
  return count;
}

double level_energy(const radial_equation& q, int v, double lo, double hi, double tolerance) {
  if (levels_below(q, lo) > v || levels_below(q, hi) <= v) {
    throw std::invalid_argument("no level v = " + std::to_string(v) +
                                ", J = " + std::to_string(q.j) + " between the bounds");
  }
  // Level v is the energy at which the count of levels below steps from v to v + 1.
  while (hi - lo > tolerance) {
    const double mid = 0.5 * (lo + hi);
    if (levels_below(q, mid) > v) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  return 0.5 * (lo + hi);
}

std::vector<double> wave_function(const radial_equation& q, double e) {
  const std::size_t n = q.q.size();
  std::vector<numerov_factor> f(n);
  for (std::size_t i = 0; i < n; ++i) f[i] = factor_at(q, e, i);
  // The solution grows into both classically forbidden regions, so it is
  // advanced inwards from each end and the two halves are joined at the
  // outer turning point, where both are still accurate.
  std::size_t m = n / 2;
  for (std::size_t i = 1; i + 1 < n; ++i) {
    if (f[i].t < 0.0) m = i;
  }
  constexpr double big = 1e200;
  std::vector<double> w(n, 0.0);
  w[1] = 1.0;
  for (std::size_t i = 1; i < m; ++i) {
    w[i + 1] = f[i].u * w[i] - w[i - 1];
    if (std::fabs(w[i + 1]) > big) {
      for (std::size_t k = 0; k <= i + 1; ++k) w[k] /= big;
    }
  }
  std::vector<double> right(n, 0.0);
  right[n - 2] = 1.0;
  for (std::size_t i = n - 2; i > m; --i) {
    right[i - 1] = f[i].u * right[i] - right[i + 1];
    if (std::fabs(right[i - 1]) > big) {
      for (std::size_t k = i - 1; k < n; ++k) right[k] /= big;
    }
  }
  const double scale = w[m] / right[m];
  for (std::size_t i = m; i < n; ++i) w[i] = right[i] * scale;
  // u = w / (1 - t), then the norm.
  double norm = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    w[i] /= 1.0 - f[i].t;
    norm += w[i] * w[i] * q.step;
  }
  const double by = 1.0 / std::sqrt(norm);
  for (double& x : w) x *= by;
  return w;
}

turning_points turning_points_of(const radial_equation& q, double e) {
  const std::size_t n = q.q.size();
  auto excess = [&](std::size_t i) { return q.q[i] - 2.0 * q.mu * e; };
  // The point where the line between grid points a and b crosses e.
  auto crossing = [&](std::size_t a, std::size_t b) {
    const double fa = excess(a), fb = excess(b);
    return point_of(q, a) + (point_of(q, b) - point_of(q, a)) * fa / (fa - fb);
  };
  turning_points t{point_of(q, 0), point_of(q, n - 1)};
  std::size_t first = n, last = n;
  for (std::size_t i = 0; i < n; ++i) {
    if (excess(i) < 0.0) {
      if (first == n) first = i;
      last = i;
    }
  }
  if (first == n) throw std::invalid_argument("the energy lies below the whole curve");
  if (first > 0) t.inner = crossing(first - 1, first);
  if (last + 1 < n) t.outer = crossing(last, last + 1);
  return t;
}

}  // namespace vmc
