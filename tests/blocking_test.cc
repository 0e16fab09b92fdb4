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
  // tau = 1: the error is sigma / sqrt(N) and the lowest level is chosen.
  std::vector<double> ratio, tau;
  int level0 = 0;
  for (std::uint64_t seed = 1; seed <= 60; ++seed) {
    const blocking_result r = analysed_ar1(0.0, 1 << 16, seed, -30.0);
    EXPECT_TRUE(r.converged) << seed;
    ratio.push_back(r.error / std::sqrt(1.0 / 65536.0));
    tau.push_back(r.tau);
    level0 += r.level == 0;
  }
  EXPECT_NEAR(median(ratio), 1.0, 0.05);
  EXPECT_NEAR(median(tau), 1.0, 0.1);
  // The test of independence holds at 99 % a level; the lowest one almost always passes.
  EXPECT_GE(level0, 50);
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
  EXPECT_EQ(r.level, static_cast<int>(r.levels.size()) - 1);
}

TEST(ChiSquare99, IsWithinOnePercentOfTheTabulatedQuantiles) {
  const std::pair<int, double> table[] = {{1, 6.634897}, {2, 9.210340}, {3, 11.344867},
                                          {5, 15.086272}, {10, 23.209251}, {30, 50.892181}};
  for (const auto& [df, q] : table) EXPECT_NEAR(chi_square_99(df) / q, 1.0, 0.01) << df;
}

}  // namespace
}  // namespace vmc
