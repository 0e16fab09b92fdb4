#include "stats/blocking.h"

#include <cmath>
#include <limits>

namespace vmc {

double chi_square_99(int df) {
  // If X is chi-square with d degrees of freedom, (X/d)^(1/3) is close to
  // normal with mean 1 - 2/(9d) and variance 2/(9d).
  constexpr double z99 = 2.3263478740408408;  // the 99 % quantile of the standard normal
  const double d = df;
  const double v = 2.0 / (9.0 * d);
  const double c = 1.0 - v + z99 * std::sqrt(v);
  return d * c * c * c;
}

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

  // M_k, summed from the top level down; the lowest level that passes wins.
  const int top = static_cast<int>(r.levels.size()) - 1;
  double m_sum = 0.0;
  int chosen = top;
  bool passed = false;
  for (int k = top; k >= 0; --k) {
    const level_estimate& e = r.levels[static_cast<std::size_t>(k)];
    // A constant series has no correlation to find.
    const double term = e.variance > 0.0 ? static_cast<double>(e.blocks) * e.lag1 * e.lag1 : 0.0;
    m_sum += term;
    if (m_sum < chi_square_99(top - k + 1)) {
      chosen = k;
      passed = true;
    }
  }
  r.level = chosen;
  r.converged = passed;
  r.error = r.levels[static_cast<std::size_t>(chosen)].error;
  r.tau = r.variance > 0.0 ? n0 * r.error * r.error / r.variance : 1.0;
  return r;
}

}  // namespace vmc
