#include "model/covalent_ionic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "model/local_energy.h"
#include "model/orbital_length.h"
#include "model/trial_function.h"
#include "model_test_support.h"

namespace vmc {
namespace {

using testing::k;

covalent_ionic_trial<double> trial(double s, double a, double beta, double lambda) {
  return {s, a, static_cast<double>(k.alfa), beta, lambda, static_cast<double>(k.e2),
          static_cast<double>(k.hbm)};
}

double closest_approach(const std::array<double, 6>& r, double s) {
  auto d = [](double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); };
  return std::fmin(std::fmin(std::fmin(d(r[0], r[1], r[2] + s / 2), d(r[0], r[1], r[2] - s / 2)),
                             std::fmin(d(r[3], r[4], r[5] + s / 2), d(r[3], r[4], r[5] - s / 2))),
                   d(r[0] - r[3], r[1] - r[4], r[2] - r[5]));
}

std::array<double, 6> random_configuration(std::mt19937& gen, double s) {
  std::uniform_real_distribution<double> u(-1.2, 1.2);
  std::array<double, 6> r;
  for (double& x : r) x = u(gen);
  r[2] -= s / 2;
  r[5] += s / 2;
  return r;
}

// The local energy against -(hbm/2) lap psi / psi + V with the Laplacian from
// central differences of psi alone, in double, over thousands of
// configurations and parameter sets (the covalent and ionic limits included).
TEST(CovalentIonic, LocalEnergyMatchesAFiniteDifferenceLaplacian) {
  std::mt19937 gen(11);
  const double h = 1e-4;
  double largest = 0;
  int checked = 0;
  for (const auto& [s, a, beta, lambda] :
       {std::array<double, 4>{0.74, 0.42, 1.3, 0.55}, {0.74, 0.45, 0.25, 1.0}, {2.5, 0.52, 0.8, 0.0},
        {1.4, 0.5, 2.0, 0.3}, {0.3, 0.37, 0.0, 2.0}}) {
    const covalent_ionic_trial<double> t = trial(s, a, beta, lambda);
    for (int n = 0; n < 800; ++n) {
      const std::array<double, 6> r = random_configuration(gen, s);
      if (closest_approach(r, s) < 0.05) continue;
      const double psi = phi(r, t);
      double lap = 0;
      for (int i = 0; i < 6; ++i) {
        std::array<double, 6> up = r, down = r;
        up[i] += h;
        down[i] -= h;
        lap += (phi(up, t) - 2 * psi + phi(down, t)) / (h * h);
      }
      const auto e = evaluate_covalent_ionic(r, t);
      const double kinetic = e.eloc - t.e2 * (-1 / std::hypot(r[0], r[1], r[2] + s / 2) -
                                              1 / std::hypot(r[0], r[1], r[2] - s / 2) -
                                              1 / std::hypot(r[3], r[4], r[5] + s / 2) -
                                              1 / std::hypot(r[3], r[4], r[5] - s / 2) +
                                              1 / std::hypot(r[0] - r[3], r[1] - r[4], r[2] - r[5]) +
                                              1 / s);
      const double expected = -(t.hbm / 2) * lap / psi;
      EXPECT_EQ(e.psi, psi);
      const double deviation = std::fabs(kinetic - expected) / (1 + std::fabs(expected));
      largest = std::fmax(largest, deviation);
      ASSERT_LT(deviation, 1e-4) << s << " " << lambda << " kinetic " << kinetic << " vs " << expected;
      ++checked;
    }
  }
  EXPECT_GT(checked, 3000);
  RecordProperty("largest_relative_deviation", std::to_string(largest));
}

// With ionic weight 1 the function is the classic product, and its float
// local energy agrees with the classic elocal to float accuracy.
TEST(CovalentIonic, WithIonicWeightOneIsTheClassicTrialFunction) {
  std::mt19937 gen(5);
  for (const float s : {0.5f, 0.74f, 1.5f, 2.5f}) {
    const auto classic = cusp_trial_function<exp_double>(s, 0.25f, apar_start::abohr);
    const covalent_ionic_trial<float> t{s, classic.a, k.alfa, 0.25f, 1.0f, k.e2, k.hbm};
    for (int n = 0; n < 2000; ++n) {
      const std::array<double, 6> rd = random_configuration(gen, s);
      if (closest_approach(rd, s) < 0.05) continue;
      coords r;
      for (int i = 0; i < 6; ++i) r[static_cast<std::size_t>(i)] = static_cast<float>(rd[static_cast<std::size_t>(i)]);
      const evaluation mine = evaluate(r, t);
      const evaluation theirs = vmc::evaluate(r, classic);
      ASSERT_NEAR(mine.psi, theirs.psi, 2e-6f * theirs.psi) << s;
      ASSERT_NEAR(mine.eloc, theirs.eloc, 2e-3f * (1.0f + std::fabs(theirs.eloc))) << s;
    }
  }
}

// The drift against central differences of ln psi, in double.
TEST(CovalentIonic, GradientOfLnPsiMatchesFiniteDifferences) {
  std::mt19937 gen(13);
  const double h = 1e-6;
  for (const auto& [s, a, beta, lambda] :
       {std::array<double, 4>{0.74, 0.42, 1.1, 0.6}, {2.5, 0.53, 2.0, 0.04}, {1.4, 0.5, 0.25, 1.0}}) {
    const covalent_ionic_trial<double> t = trial(s, a, beta, lambda);
    for (int n = 0; n < 1000; ++n) {
      const std::array<double, 6> r = random_configuration(gen, s);
      if (closest_approach(r, s) < 0.05) continue;
      const auto e = evaluate_covalent_ionic(r, t);
      for (std::size_t i = 0; i < 6; ++i) {
        std::array<double, 6> up = r, down = r;
        up[i] += h;
        down[i] -= h;
        const double numeric = (std::log(phi(up, t)) - std::log(phi(down, t))) / (2 * h);
        ASSERT_NEAR(e.grad_ln_psi[i], numeric, 1e-6 * (1 + std::fabs(numeric))) << s << " " << i;
      }
    }
  }
}

TEST(CovalentIonic, IsSymmetricUnderExchangeAndReflection) {
  std::mt19937 gen(7);
  const covalent_ionic_trial<double> t = trial(1.1, 0.47, 0.9, 0.4);
  for (int n = 0; n < 1000; ++n) {
    const std::array<double, 6> r = random_configuration(gen, t.s);
    const std::array<double, 6> swapped{r[3], r[4], r[5], r[0], r[1], r[2]};
    const std::array<double, 6> reflected{r[0], r[1], -r[2], r[3], r[4], -r[5]};
    const auto e = evaluate_covalent_ionic(r, t);
    for (const auto& other : {swapped, reflected}) {
      const auto o = evaluate_covalent_ionic(other, t);
      ASSERT_NEAR(o.psi, e.psi, 1e-12 * e.psi);
      ASSERT_NEAR(o.eloc, e.eloc, 1e-8 * (1 + std::fabs(e.eloc)));
    }
  }
}

TEST(CovalentIonic, WeighsTheIonicArrangementsByLambda) {
  // Both electrons on the left proton, far from the right one: only the
  // ionic product chi(r1l) chi(r2l) survives, with weight lambda.
  const double s = 20;
  const std::array<double, 6> both_left{0.1, 0, -s / 2, -0.1, 0, -s / 2};
  const std::array<double, 6> one_each{0.1, 0, -s / 2, -0.1, 0, s / 2};
  for (const double lambda : {0.0, 0.3, 1.0}) {
    const covalent_ionic_trial<double> t = trial(s, 0.53, 0.5, lambda);
    const double c = std::exp(-0.1 / 0.53);
    EXPECT_NEAR(phi(both_left, t) / correlation_factor(0.2, t), lambda * c * c, 1e-15);
    EXPECT_NEAR(phi(one_each, t) / correlation_factor(std::hypot(0.2, s), t), c * c,
                1e-12);
  }
}

}  // namespace
}  // namespace vmc
