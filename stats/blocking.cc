#include "stats/blocking.h"

#include <cmath>
#include <limits>

namespace vmc {

void merge(blocking& b, const blocking& other) {
  if (other.count() == 0) return;
  if (b.count() == 0) {
    b = other;
    return;
  }
  // other's values are measured from its own first value; d moves them to b's.
  const double d = other.shift - b.shift;
  for (std::size_t k = 0; k < b.levels.size(); ++k) {
    const block_level& o = other.levels[k];
    if (o.n == 0) break;
    block_level& l = b.levels[k];
    if (l.n == 0) {
      // b's own series is too short to reach this level: only merged series
      // make it up, one fewer than the count assumes.
      l.first = l.last = 0;
      l.other_series = -1;
    }
    const double n = static_cast<double>(o.n);
    const double series = 1.0 + static_cast<double>(o.other_series);
    const double ends = o.first + o.last + o.other_ends;
    // sum (y + d)(y' + d) over the pairs, sum (y + d)^2 and sum (y + d).
    l.sum_products += o.sum_products + d * (2.0 * o.sum - ends) + (n - series) * d * d;
    l.sum_squares += o.sum_squares + 2.0 * d * o.sum + n * d * d;
    l.sum += o.sum + n * d;
    l.other_ends += ends + 2.0 * series * d;
    l.other_series += 1 + o.other_series;
    l.n += o.n;
  }
}

namespace {

// The error of the mean from the blocking levels, as the long-run variance
// S = lim L Var(mean of L values) of the series (error^2 = S / N).
//
// Blocks of L values whose correlation has died out within L still leave a
// bias: for any correlation rho(t) of finite range,
//   L Var(block mean) = S - A / L,  A = 2 sigma^2 sum t rho(t) >= 0 for
// positive correlations, a bias that falls only as 1/L (for an exponential
// correlation exp(-t/t_e), A / L = S t_e / L). The block means' variance
// about the series' own mean loses Var(mean) = S / N more, so at level k,
// with L = 2^k,
//   E[V_k] = S (1/L - 1/N) - A / L^2.
// S and A are fitted by weighted least squares to every level from the
// lowest whose blocks are at least 2.5 times the series' apparent
// correlation time there (L >= 2.5 L V_k n/(n - 1) / sigma^2: beyond it the
// terms the model leaves out, exp(-L/t_e), are below 1 %), up to the levels of four blocks; each
// level weighs by its variance 2 E[V_k]^2 / (n_k - 1), from the fit itself.
// A is kept between 0 and S L at the first level fitted (a correction of at
// most 100 % there). The plain blocking estimate of one level has the 1/L
// bias in full, and the level a chi-square test of the block means' lag-1
// correlation accepts is too often one whose blocks are still correlated:
// short series got errors 15-30 % too small.
// When no level with at least 8 blocks is long enough, the series is too
// short to know its error; the largest plain error of the levels with
// min_blocks blocks is then a lower bound.
struct long_run_fit {
  double error;
  int level;   // the first level fitted
  bool found;  // false: error is only a lower bound
};

long_run_fit fit_long_run_variance(const blocking& b) {
  constexpr double long_enough = 2.5;          // block length over the apparent correlation time
  constexpr std::int64_t fewest_first = 8;     // blocks of the first level fitted
  constexpr std::int64_t fewest_fitted = 4;    // blocks of any level fitted
  const double n0 = static_cast<double>(b.count());
  struct level_variance {
    double length, blocks, variance;
  };
  std::vector<level_variance> v;
  for (int k = 0; k < blocking::max_levels; ++k) {
    const block_level& l = b.levels[static_cast<std::size_t>(k)];
    if (l.n < fewest_fitted) break;
    const double n = static_cast<double>(l.n);
    const double m = l.sum / n;
    v.push_back({std::ldexp(1.0, k), n, l.sum_squares / n - m * m});
  }
  const double sigma2 = v.empty() ? 0.0 : v[0].variance;
  if (!(sigma2 > 0.0)) {
    // A constant series has no error to find; a non-finite one none to trust.
    return {std::sqrt(sigma2 / (n0 - 1.0)), 0, std::isfinite(sigma2)};
  }
  std::size_t first = v.size();
  for (std::size_t k = 0; k < v.size() && v[k].blocks >= fewest_first; ++k) {
    const double apparent = v[k].length * v[k].variance * v[k].blocks / (v[k].blocks - 1.0) / sigma2;
    if (v[k].length >= long_enough * apparent) {
      first = k;
      break;
    }
  }
  if (first == v.size()) {
    double lower = 0.0;
    int level = 0;
    for (std::size_t k = 0; k < v.size() && v[k].blocks >= min_blocks; ++k) {
      const double e = std::sqrt(v[k].variance / (v[k].blocks - 1.0));
      if (e >= lower) {
        lower = e;
        level = static_cast<int>(k);
      }
    }
    return {lower, level, false};
  }
  const level_variance& f = v[first];
  double s = f.length * f.variance * f.blocks / (f.blocks - 1.0), a = 0.0;
  for (int pass = 0; pass < 4; ++pass) {
    double saa = 0, sab = 0, sbb = 0, sav = 0, sbv = 0;
    for (std::size_t k = first; k < v.size(); ++k) {
      const double x = 1.0 / v[k].length - 1.0 / n0, y = 1.0 / (v[k].length * v[k].length);
      double expected = s * x - a * y;
      if (!(expected > 0.0)) expected = s * x;
      const double w = (v[k].blocks - 1.0) / (2.0 * expected * expected);
      saa += w * x * x;
      sab += w * x * y;
      sbb += w * y * y;
      sav += w * x * v[k].variance;
      sbv += w * y * v[k].variance;
    }
    // Minimum of sum w (V - S x + A y)^2, then A held to its range.
    const double det = saa * sbb - sab * sab;
    double s_next = sav / saa, a_next = 0.0;
    if (det > 0.0) {
      s_next = (sav * sbb - sbv * sab) / det;
      a_next = (sav * sab - sbv * saa) / det;
    }
    if (!(a_next >= 0.0)) {
      a_next = 0.0;
      s_next = sav / saa;
    } else if (a_next > s_next * f.length) {
      // The least squares with A = S L: S = sum w (x - L y) V / sum w (x - L y)^2.
      const double l = f.length;
      s_next = (sav - l * sbv) / (saa - 2.0 * l * sab + l * l * sbb);
      a_next = s_next * f.length;
    }
    s = s_next;
    a = a_next;
  }
  return {std::sqrt(std::max(s, 0.0) / n0), static_cast<int>(first), true};
}

}  // namespace

constexpr double least_independent = 20;  // values of a series, in units of tau

blocking_result analyse(const blocking& b) {
  blocking_result r;
  r.count = b.count();
  if (r.count == 0) {
    r.mean = r.variance = r.error = r.tau = std::numeric_limits<double>::quiet_NaN();
    return r;
  }
  const block_level& all = b.levels[0];
  const double n0 = static_cast<double>(all.n);
  const double m0 = all.sum / n0;
  r.mean = b.shift + m0;
  r.variance = all.sum_squares / n0 - m0 * m0;

  for (int k = 0; k < blocking::max_levels; ++k) {
    const block_level& l = b.levels[static_cast<std::size_t>(k)];
    if (l.n < min_blocks) break;
    const double n = static_cast<double>(l.n);
    const double m = l.sum / n;
    const double c0 = l.sum_squares / n - m * m;
    // (1/n) sum_(i<n) (y_i - m)(y_(i+1) - m), expanded into the running sums.
    // Merged series add their own ends and one pair fewer each.
    const double pairs = n - 1.0 - static_cast<double>(l.other_series);
    const double c1 =
        (l.sum_products - m * (2.0 * l.sum - l.first - l.last - l.other_ends) + pairs * m * m) / n;
    r.levels.push_back({k, l.n, c0, c1 / c0, std::sqrt(c0 / (n - 1.0))});
  }
  if (r.levels.empty()) {
    // Too short a series to judge its correlation: the error of independent values.
    r.error = std::sqrt(r.variance / (n0 - 1.0));
    r.tau = n0 * r.error * r.error / r.variance;
    return r;
  }

  const long_run_fit f = fit_long_run_variance(b);
  r.level = f.level;
  r.error = f.error;
  r.tau = r.variance > 0.0 ? n0 * r.error * r.error / r.variance : 1.0;
  // Fewer than 20 independent values: the correlation's tail, which such a
  // series cannot show, may hold much of the error.
  r.converged = f.found && n0 >= least_independent * r.tau;
  return r;
}

}  // namespace vmc
