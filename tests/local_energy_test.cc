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

struct reference_case {
  coords r;
  float s;
  float eloc;
};

TEST(Elocal, ReproducesReferenceValuesToTheBit) {
  const coords r074{0.1f, 0.2f, -0.3f, -0.2f, 0.1f, 0.4f};
  const float a = apar<exp_double>(k.abohr, 0.74f, apar_start::abohr);
  const energy_parts p = elocal_parts<exp_double>(r074, a, k.alfa, k.beta, 0.74f, k.e2, k.hbm);
  EXPECT_EQ(p.tpop, 80.7434769f);
  EXPECT_EQ(p.vpop, -144.974380f);

  const reference_case cases[] = {
      {r074, 0.74f, -44.7592812f},
      {{0.0f, 0.0f, -4.5f, 0.0f, 0.0f, 5.5f}, 10.0f, -27.2760239f},
      {{0.3f, -0.1f, -1.2f, -0.2f, 0.4f, 0.9f}, 2.0f, -27.0171680f},
  };
  for (const reference_case& c : cases) {
    const float as = apar<exp_double>(k.abohr, c.s, apar_start::abohr);
    EXPECT_EQ(elocal<exp_double>(c.r, as, k.alfa, k.beta, c.s, k.e2, k.hbm), c.eloc) << c.s;
  }
}

// psi and its Laplacian in double precision, the same formulas carried out
// without rounding to float, to check the analytic derivatives.
double psi_double(const std::array<double, 6>& r, double a, double s) {
  const double alfa = k.alfa, beta = k.beta, h = s / 2;
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
    const float e = elocal<exp_double>(r, a, k.alfa, k.beta, s, k.e2, k.hbm);
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
    auto psi = [&](coords c) { return double(phi<exp_double>(c, a, k.alfa, k.beta, s)); };
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
    const double potential = double(elocal<exp_double>(r, a, k.alfa, k.beta, s, k.e2, k.hbm)) -
                             double(elocal_parts<exp_double>(r, a, k.alfa, k.beta, s, k.e2, k.hbm).tpop);
    const double expected = -double(k.hbm) / 2 * lap / psi(r) + potential;
    ASSERT_NEAR(elocal<exp_double>(r, a, k.alfa, k.beta, s, k.e2, k.hbm), expected, 0.1) << s;
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
    const float e = elocal<exp_double>(r, a, k.alfa, k.beta, s, k.e2, k.hbm);
    const float tol = 1e-3f + 1e-5f * std::fabs(e);
    ASSERT_NEAR(elocal<exp_double>(swapped, a, k.alfa, k.beta, s, k.e2, k.hbm), e, tol);
    ASSERT_NEAR(elocal<exp_double>(reflected, a, k.alfa, k.beta, s, k.e2, k.hbm), e, tol);
  }
}

TEST(Elocal, IsNotANumberOrInfiniteAtTheSingularPoints) {
  const float a = 0.5f;
  // Electron 1 on the left nucleus: 0 * infinity in a cosine gives NaN.
  const coords on_nucleus{0.0f, 0.0f, -0.5f, 0.3f, 0.2f, 0.4f};
  EXPECT_FALSE(std::isfinite(elocal<exp_double>(on_nucleus, a, k.alfa, k.beta, 1.0f, k.e2, k.hbm)));
  // Coincident nuclei: the proton repulsion e2/0 is infinite.
  const coords r{0.3f, -0.2f, 0.1f, -0.4f, 0.5f, 0.2f};
  EXPECT_FALSE(std::isfinite(elocal<exp_double>(r, a, k.alfa, k.beta, 0.0f, k.e2, k.hbm)));
}

TEST(Evaluate, EqualsTheSeparateCallsToTheBitOnAMillionConfigurations) {
  std::mt19937 gen(99);
  for (int i = 0; i < 1000000; ++i) {
    const float s = std::uniform_real_distribution<float>(0.0f, 3.0f)(gen);
    const float a = apar<exp_double>(k.abohr, s, apar_start::abohr);
    const coords r = testing::random_coords(gen, s, 2.0f);
    const evaluation both = evaluate<exp_double>(r, a, k.alfa, k.beta, s, k.e2, k.hbm);
    ASSERT_EQ(bits(both.eloc), bits(elocal<exp_double>(r, a, k.alfa, k.beta, s, k.e2, k.hbm)));
    ASSERT_EQ(bits(both.psi), bits(phi<exp_double>(r, a, k.alfa, k.beta, s)));
    if (i % 64 == 0) {
      const evaluation single = evaluate<exp_single>(r, a, k.alfa, k.beta, s, k.e2, k.hbm);
      ASSERT_EQ(bits(single.eloc), bits(elocal<exp_single>(r, a, k.alfa, k.beta, s, k.e2, k.hbm)));
      ASSERT_EQ(bits(single.psi), bits(phi<exp_single>(r, a, k.alfa, k.beta, s)));
    }
  }
}

}  // namespace
}  // namespace vmc
