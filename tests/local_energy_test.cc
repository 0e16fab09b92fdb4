#include "model/local_energy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "model/evaluation.h"
#include "model/orbital_length.h"
#include "model/wave_function.h"
#include "model_test_support.h"

namespace vmc {
namespace {

using testing::bits;
using testing::k;
using testing::classic_beta;
using testing::trial_at;

struct reference_case {
  coords r;
  float s;
  float eloc;
};

TEST(Elocal, ReproducesReferenceValuesToTheBit) {
  const coords r074{0.1f, 0.2f, -0.3f, -0.2f, 0.1f, 0.4f};
  const float a = apar<exp_double>(k.abohr, 0.74f, apar_start::abohr);
  const energy_parts p = elocal_parts(r074, trial_at<exp_double>(0.74f, a));
  EXPECT_EQ(p.tpop, 80.7434769f);
  EXPECT_EQ(p.vpop, -144.974380f);

  const reference_case cases[] = {
      {r074, 0.74f, -44.7592812f},
      {{0.0f, 0.0f, -4.5f, 0.0f, 0.0f, 5.5f}, 10.0f, -27.2760239f},
      {{0.3f, -0.1f, -1.2f, -0.2f, 0.4f, 0.9f}, 2.0f, -27.0171680f},
  };
  for (const reference_case& c : cases) {
    const float as = apar<exp_double>(k.abohr, c.s, apar_start::abohr);
    EXPECT_EQ(elocal(c.r, trial_at<exp_double>(c.s, as)), c.eloc) << c.s;
  }
}

// psi and its Laplacian in double precision, the same formulas carried out
// without rounding to float, to check the analytic derivatives.
double psi_double(const std::array<double, 6>& r, double a, double s) {
  const double alfa = k.alfa, beta = classic_beta, h = s / 2;
  auto len = [](double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); };
  const double r1l = len(r[0], r[1], r[2] + h), r1r = len(r[0], r[1], r[2] - h);
  const double r2l = len(r[3], r[4], r[5] + h), r2r = len(r[3], r[4], r[5] - h);
  const double r12 = len(r[0] - r[3], r[1] - r[4], r[2] - r[5]);
  return (std::exp(-r1l / a) + std::exp(-r1r / a)) * (std::exp(-r2l / a) + std::exp(-r2r / a)) *
         std::exp(r12 / (alfa * (1 + beta * r12)));
}

double eloc_by_differences(const coords& rf, double a, double s) {
  std::array<double, 6> r;
  for (int i = 0; i < 6; ++i) r[i] = rf[i];
  const double h = 1e-4;
  const double psi = psi_double(r, a, s);
  double lap = 0;
  for (int i = 0; i < 6; ++i) {
    auto plus = r, minus = r;
    plus[i] += h;
    minus[i] -= h;
    lap += (psi_double(plus, a, s) - 2 * psi + psi_double(minus, a, s)) / (h * h);
  }
  const double hh = s / 2;
  auto len = [](double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); };
  const double v = -double(k.e2) * (1 / len(r[0], r[1], r[2] + hh) + 1 / len(r[0], r[1], r[2] - hh) +
                                    1 / len(r[3], r[4], r[5] + hh) + 1 / len(r[3], r[4], r[5] - hh)) +
                   k.e2 / len(r[0] - r[3], r[1] - r[4], r[2] - r[5]) + k.e2 / s;
  return -double(k.hbm) / 2 * lap / psi + v;
}

TEST(Elocal, AgreesWithAFiniteDifferenceLaplacianOfPsi) {
  std::mt19937 gen(2024);
  int checked = 0;
  while (checked < 3000) {
    const float s = std::uniform_real_distribution<float>(0.3f, 3.0f)(gen);
    const coords r = testing::random_coords(gen, s, 1.2f);
    const geometry g = radii(0.5f * s, r);
    // Stay away from the singular points, where float rounding dominates.
    if (testing::closest_approach(g) < 0.05f) continue;
    const float a = apar<exp_double>(k.abohr, s, apar_start::abohr);
    const double expected = eloc_by_differences(r, a, s);
    const float e = elocal(r, trial_at<exp_double>(s, a));
    ASSERT_NEAR(e, expected, 2e-3 + 2e-5 * std::fabs(expected))
        << "s=" << s << " r=" << r[0] << "," << r[1] << "," << r[2] << "," << r[3] << ","
        << r[4] << "," << r[5];
    ++checked;
  }
}

// The same check on the float phi itself, with a fourth-order stencil: its
// rounding limits the agreement to a few hundredths of an eV.
TEST(Elocal, AgreesWithAFiniteDifferenceLaplacianOfThePhiFunction) {
  std::mt19937 gen(7);
  int checked = 0;
  while (checked < 2000) {
    const float s = std::uniform_real_distribution<float>(0.3f, 3.0f)(gen);
    const coords r = testing::random_coords(gen, s, 1.0f);
    const geometry g = radii(0.5f * s, r);
    if (testing::closest_approach(g) < 0.2f) continue;
    const float a = apar<exp_double>(k.abohr, s, apar_start::abohr);
    auto psi = [&](coords c) { return double(phi(c, trial_at<exp_double>(s, a))); };
    const float h = 0.02f;
    double lap = 0;
    for (int i = 0; i < 6; ++i) {
      auto at = [&](float shift) {
        coords c = r;
        c[i] += shift;
        return psi(c);
      };
      lap += (-at(2 * h) + 16 * at(h) - 30 * at(0) + 16 * at(-h) - at(-2 * h)) /
             (12.0 * double(h) * double(h));
    }
    const double potential = double(elocal(r, trial_at<exp_double>(s, a))) -
                             double(elocal_parts(r, trial_at<exp_double>(s, a)).tpop);
    const double expected = -double(k.hbm) / 2 * lap / psi(r) + potential;
    ASSERT_NEAR(elocal(r, trial_at<exp_double>(s, a)), expected, 0.1) << s;
    ++checked;
  }
}

TEST(Elocal, IsSymmetricUnderExchangeAndReflectionUpToRounding) {
  std::mt19937 gen(5);
  for (int i = 0; i < 5000; ++i) {
    const float s = std::uniform_real_distribution<float>(0.3f, 3.0f)(gen);
    const coords r = testing::random_coords(gen, s, 1.2f);
    const geometry g = radii(0.5f * s, r);
    if (testing::closest_approach(g) < 0.05f) continue;
    const float a = apar<exp_double>(k.abohr, s, apar_start::abohr);
    const coords swapped{r[3], r[4], r[5], r[0], r[1], r[2]};
    const coords reflected{r[0], r[1], -r[2], r[3], r[4], -r[5]};
    const float e = elocal(r, trial_at<exp_double>(s, a));
    const float tol = 1e-3f + 1e-5f * std::fabs(e);
    ASSERT_NEAR(elocal(swapped, trial_at<exp_double>(s, a)), e, tol);
    ASSERT_NEAR(elocal(reflected, trial_at<exp_double>(s, a)), e, tol);
  }
}

TEST(Elocal, IsNotANumberOrInfiniteAtTheSingularPoints) {
  const float a = 0.5f;
  // Electron 1 on the left nucleus: 0 * infinity in a cosine gives NaN.
  const coords on_nucleus{0.0f, 0.0f, -0.5f, 0.3f, 0.2f, 0.4f};
  EXPECT_FALSE(std::isfinite(elocal(on_nucleus, trial_at<exp_double>(1.0f, a))));
  // Coincident nuclei: the proton repulsion e2/0 is infinite.
  const coords r{0.3f, -0.2f, 0.1f, -0.4f, 0.5f, 0.2f};
  EXPECT_FALSE(std::isfinite(elocal(r, trial_at<exp_double>(0.0f, a))));
}

TEST(Evaluate, EqualsTheSeparateCallsToTheBitOnAMillionConfigurations) {
  std::mt19937 gen(99);
  for (int i = 0; i < 1000000; ++i) {
    const float s = std::uniform_real_distribution<float>(0.0f, 3.0f)(gen);
    const float a = apar<exp_double>(k.abohr, s, apar_start::abohr);
    const coords r = testing::random_coords(gen, s, 2.0f);
    const evaluation both = evaluate(r, trial_at<exp_double>(s, a));
    ASSERT_EQ(bits(both.eloc), bits(elocal(r, trial_at<exp_double>(s, a))));
    ASSERT_EQ(bits(both.psi), bits(phi(r, trial_at<exp_double>(s, a))));
    if (i % 64 == 0) {
      const evaluation single = evaluate(r, trial_at<exp_single>(s, a));
      ASSERT_EQ(bits(single.eloc), bits(elocal(r, trial_at<exp_single>(s, a))));
      ASSERT_EQ(bits(single.psi), bits(phi(r, trial_at<exp_single>(s, a))));
    }
  }
}

}  // namespace
}  // namespace vmc
