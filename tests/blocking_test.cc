#include "stats/blocking.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

// The blocking analysis against series whose answers are known in closed
// form, over many seeds: independent normal draws (tau = 1) and the AR(1)
// process x_t = phi x_(t-1) + sqrt(1 - phi^2) e_t of unit variance, whose
// autocorrelation is phi^|t| and whose tau = 1 + 2 sum phi^t = (1 + phi)/(1 - phi).

namespace vmc {
namespace {

blocking_result analysed_ar1(double phi, std::int64_t n, std::uint64_t seed, double mean = 0) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> e;
  const double kick = std::sqrt(1.0 - phi * phi);
  blocking b;
  double x = e(gen);  // drawn from the stationary distribution
  for (std::int64_t t = 0; t < n; ++t) {
    b.add(mean + x);
    x = phi * x + kick * e(gen);
  }
  return analyse(b);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return 0.5 * (v[(v.size() - 1) / 2] + v[v.size() / 2]);
}

TEST(Blocking, GivesTheExactMeanAndVarianceOfASmallSeries) {
  blocking b;
  for (int x = 1; x <= 40; ++x) b.add(1000.0 + x);
  const blocking_result r = analyse(b);
  EXPECT_EQ(r.count, 40);
  EXPECT_DOUBLE_EQ(r.mean, 1020.5);
  EXPECT_DOUBLE_EQ(r.variance, (40.0 * 40.0 - 1.0) / 12.0);
  // 40 values give blocks of 1 and 2 with at least 16 blocks each.
  ASSERT_EQ(r.levels.size(), 2u);
  EXPECT_EQ(r.levels[1].blocks, 20);
  EXPECT_DOUBLE_EQ(r.levels[1].variance, (20.0 * 20.0 - 1.0) / 12.0 * 4.0);
}

TEST(Blocking, AConstantSeriesHasNoError) {
  blocking b;
  for (int i = 0; i < 1000; ++i) b.add(-30.125);
  const blocking_result r = analyse(b);
  EXPECT_EQ(r.mean, -30.125);
  EXPECT_EQ(r.error, 0.0);
  EXPECT_TRUE(r.converged);
}

TEST(Blocking, IndependentDrawsKeepTheirPlainError) {
  // tau = 1: the error is sigma / sqrt(N), fitted from blocks of four values on.
  std::vector<double> ratio, tau;
  int level0 = 0;
  for (std::uint64_t seed = 1; seed <= 60; ++seed) {
    const blocking_result r = analysed_ar1(0.0, 1 << 16, seed, -30.0);
    EXPECT_TRUE(r.converged) << seed;
    ratio.push_back(r.error / std::sqrt(1.0 / 65536.0));
    tau.push_back(r.tau);
    level0 += r.level == 2;
  }
  EXPECT_NEAR(median(ratio), 1.0, 0.05);
  EXPECT_NEAR(median(tau), 1.0, 0.1);
  // Blocks of 2.5 values would outlast the correlation; four is the first level that does.
  EXPECT_GE(level0, 55);
}

TEST(Blocking, FindsTheAutocorrelationTimeOfAnAR1Process) {
  for (const double phi : {0.5, 0.9, 0.98}) {
    const double tau_true = (1.0 + phi) / (1.0 - phi);
    std::vector<double> tau, means, errors;
    for (std::uint64_t seed = 1; seed <= 40; ++seed) {
      const blocking_result r = analysed_ar1(phi, 1 << 18, 1000 * seed + 7);
      EXPECT_TRUE(r.converged) << phi << " " << seed;
      tau.push_back(r.tau);
      means.push_back(r.mean);
      errors.push_back(r.error);
    }
    // A chosen level is long enough to have lost almost all correlation.
    EXPECT_NEAR(median(tau) / tau_true, 1.0, 0.15) << phi;
    // The reported errors agree with the spread of the means over seeds: for
    // 40 seeds the ratio of the two lies in [0.66, 1.36] with 99.8 % odds.
    double sum = 0, squares = 0;
    for (double m : means) sum += m;
    const double mean = sum / 40.0;
    for (double m : means) squares += (m - mean) * (m - mean);
    const double spread = std::sqrt(squares / 39.0);
    EXPECT_GT(spread / median(errors), 0.66) << phi;
    EXPECT_LT(spread / median(errors), 1.36) << phi;
    // Against the closed form, the error of a mean of N values is sqrt(tau/N).
    EXPECT_NEAR(median(errors) / std::sqrt(tau_true / 262144.0), 1.0, 0.1) << phi;
  }
}

TEST(Blocking, ASeriesShorterThanItsCorrelationIsNotConverged) {
  // tau = 1999 with only 4096 values: no level has both enough blocks and
  // independent ones, and the result says so.
  const blocking_result r = analysed_ar1(0.999, 4096, 3);
  EXPECT_FALSE(r.converged);
  for (const level_estimate& l : r.levels) EXPECT_GE(r.error, l.error) << l.level;
}

// Short series as well as long ones: for tau from 5 to 200 and lengths from
// 50 tau (where the best blocks are only a few tau long, and the plain
// blocking error of any level is 10-30 % short) to 10^4 tau, the spread of
// the means about the true mean 0 over many seeds, against the median error.
// For 150 seeds that ratio lies within 0.87-1.13 with 97 % odds; a small
// error estimated from few blocks has a median a few per cent below its
// mean, so the band is 0.87-1.17.
TEST(Blocking, ErrorsAreHonestForShortAndLongSeries) {
  const std::pair<double, double> cases[] = {{5, 50}, {5, 1e4}, {20, 50}, {200, 50}, {200, 500}};
  for (const auto& [tau, length] : cases) {
    const double phi = (tau - 1.0) / (tau + 1.0);
    const auto n = static_cast<std::int64_t>(tau * length);
    std::vector<double> errors;
    double squares = 0;
    int lower_bounds = 0;
    for (std::uint64_t seed = 1; seed <= 150; ++seed) {
      const blocking_result r = analysed_ar1(phi, n, 7919 * seed + static_cast<std::uint64_t>(n));
      errors.push_back(r.error);
      squares += r.mean * r.mean;
      lower_bounds += r.converged ? 0 : 1;
    }
    const double spread = std::sqrt(squares / 150.0);
    EXPECT_GT(spread / median(errors), 0.87) << tau << " " << length;
    EXPECT_LT(spread / median(errors), 1.17) << tau << " " << length;
    EXPECT_LE(lower_bounds, length < 100 ? 15 : 0) << tau << " " << length;
  }
}

// Level by level, the block means of several independent series side by
// side: their variance about the common mean and the lag-1 autocorrelation
// of neighbours within each series, computed directly.
level_estimate direct_level(const std::vector<std::vector<double>>& series, int level) {
  std::vector<std::vector<double>> blocks;
  double sum = 0;
  std::int64_t n = 0;
  const std::size_t width = std::size_t{1} << level;
  for (const auto& x : series) {
    std::vector<double> b;
    for (std::size_t i = 0; i + width <= x.size(); i += width) {
      double m = 0;
      for (std::size_t j = 0; j < width; ++j) m += x[i + j];
      b.push_back(m / static_cast<double>(width));
      sum += b.back();
      ++n;
    }
    blocks.push_back(b);
  }
  const double mean = sum / static_cast<double>(n);
  double c0 = 0, c1 = 0;
  for (const auto& b : blocks) {
    for (std::size_t i = 0; i < b.size(); ++i) {
      c0 += (b[i] - mean) * (b[i] - mean);
      if (i + 1 < b.size()) c1 += (b[i] - mean) * (b[i + 1] - mean);
    }
  }
  c0 /= static_cast<double>(n);
  c1 /= static_cast<double>(n);
  return {level, n, c0, c1 / c0, std::sqrt(c0 / static_cast<double>(n - 1))};
}

TEST(Blocking, MergedSeriesAreBlockedSideBySide) {
  // Three series of different lengths and levels, the first too short to
  // reach the upper levels the last one fills on its own.
  std::mt19937_64 gen(11);
  std::normal_distribution<double> e;
  const std::vector<std::size_t> lengths = {40, 300, 2000};
  const std::vector<double> offsets = {-30.0, -29.0, -31.5};
  std::vector<std::vector<double>> series;
  std::vector<blocking> parts(lengths.size());
  for (std::size_t k = 0; k < lengths.size(); ++k) {
    std::vector<double> x;
    double y = 0;
    for (std::size_t i = 0; i < lengths[k]; ++i) {
      y = 0.7 * y + e(gen);
      x.push_back(offsets[k] + y);
      parts[k].add(x.back());
    }
    series.push_back(x);
  }
  blocking merged;
  for (const blocking& p : parts) merge(merged, p);
  const blocking_result r = analyse(merged);
  EXPECT_EQ(r.count, 2340);
  ASSERT_EQ(r.levels.size(), 8u);  // level 7: 0 + 2 + 15 blocks of 128, level 8: 0 + 1 + 7
  for (const level_estimate& l : r.levels) {
    const level_estimate d = direct_level(series, l.level);
    EXPECT_EQ(l.blocks, d.blocks) << l.level;
    EXPECT_NEAR(l.variance / d.variance, 1.0, 1e-10) << l.level;
    EXPECT_NEAR(l.lag1, d.lag1, 1e-10) << l.level;
  }
  double total = 0;
  for (const auto& x : series) {
    for (double v : x) total += v;
  }
  EXPECT_NEAR(r.mean, total / 2340.0, 1e-12);
  // A merged blocking merged again: the same levels.
  blocking nested, outer = parts[0];
  merge(nested, parts[1]);
  merge(nested, parts[2]);
  merge(outer, nested);
  const blocking_result twice = analyse(outer);
  ASSERT_EQ(twice.levels.size(), r.levels.size());
  for (std::size_t k = 0; k < r.levels.size(); ++k) {
    EXPECT_NEAR(twice.levels[k].variance / r.levels[k].variance, 1.0, 1e-10) << k;
    EXPECT_NEAR(twice.levels[k].lag1, r.levels[k].lag1, 1e-10) << k;
  }
  // Merging into nothing gives the series itself, and merging nothing changes nothing.
  blocking alone;
  merge(alone, parts[2]);
  merge(alone, blocking{});
  EXPECT_EQ(analyse(alone).error, analyse(parts[2]).error);
}

TEST(Blocking, MergedWalkersGiveAnHonestError) {
  // Eight independent AR(1) walkers of phi = 0.9 per run: the merged error
  // against the spread of the merged means over 40 runs, and tau against
  // (1 + phi)/(1 - phi).
  const double phi = 0.9;
  std::vector<double> means, errors, tau;
  for (std::uint64_t seed = 1; seed <= 40; ++seed) {
    std::mt19937_64 gen(seed);
    std::normal_distribution<double> e;
    blocking merged;
    for (int w = 0; w < 8; ++w) {
      blocking b;
      double x = e(gen);
      for (int t = 0; t < (1 << 15); ++t) {
        b.add(-30.0 + x);
        x = phi * x + std::sqrt(1.0 - phi * phi) * e(gen);
      }
      merge(merged, b);
    }
    const blocking_result r = analyse(merged);
    EXPECT_TRUE(r.converged) << seed;
    means.push_back(r.mean);
    errors.push_back(r.error);
    tau.push_back(r.tau);
  }
  double sum = 0, squares = 0;
  for (double m : means) sum += m;
  for (double m : means) squares += (m - sum / 40.0) * (m - sum / 40.0);
  const double spread = std::sqrt(squares / 39.0);
  EXPECT_GT(spread / median(errors), 0.66);
  EXPECT_LT(spread / median(errors), 1.36);
  EXPECT_NEAR(median(tau) / ((1.0 + phi) / (1.0 - phi)), 1.0, 0.15);
}

}  // namespace
}  // namespace vmc
