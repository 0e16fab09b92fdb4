#include "model/wave_function.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "model/factors.h"
#include "model/geometry.h"
#include "model/orbital_length.h"
#include "model_test_support.h"

namespace vmc {
namespace {

using testing::bits;
using testing::k;
using testing::classic_beta;
using testing::trial_at;

TEST(ModelConstants, AreTheStoredFloatsEveryProgramStartsWith) {
  EXPECT_EQ(k.hbm, 7.63590002f);
  EXPECT_EQ(k.e2, 14.4090004f);
  EXPECT_EQ(k.abohr, 0.529939592f);
  EXPECT_EQ(k.alfa, 1.05987918f);
  }

TEST(Dist, SumsTheSquaresInTheGivenOrder) {
  EXPECT_EQ(dist(3.0f, 4.0f, 12.0f), 13.0f);
  EXPECT_EQ(dist(0.0f, 0.0f, 0.0f), 0.0f);
  EXPECT_EQ(dist(-1.0f, 0.0f, 0.0f), 1.0f);
}

TEST(Radii, CopiesCoordinatesAndMeasuresFromBothNuclei) {
  const geometry g = radii(1.5f, coords{0.0f, 0.0f, -1.5f, 3.0f, 4.0f, 1.5f});
  EXPECT_EQ(g.x1, 0.0f);
  EXPECT_EQ(g.z1, -1.5f);
  EXPECT_EQ(g.y2, 4.0f);
  EXPECT_EQ(g.r1l, 0.0f);  // electron 1 sits on the left nucleus
  EXPECT_EQ(g.r1r, 3.0f);
  EXPECT_EQ(g.r2r, 5.0f);
  EXPECT_EQ(g.r12, std::sqrt(3.0f * 3.0f + 4.0f * 4.0f + 3.0f * 3.0f));
}

// Bit-exact reference values: any change of order, bracketing or precision
// (an FMA contraction included) moves at least one of them.
TEST(Phi, ReproducesReferenceValuesToTheBit) {
  const coords r074{0.1f, 0.2f, -0.3f, -0.2f, 0.1f, 0.4f};
  const float a_bohr_start = apar<exp_double>(k.abohr, 0.74f, apar_start::abohr);
  const float a_ten_start = apar<exp_double>(k.abohr, 0.74f, apar_start::ten_angstrom);
  EXPECT_EQ(phi(r074, trial_at<exp_double>(0.74f, a_bohr_start)), 1.12211442f);
  EXPECT_EQ(phi(r074, trial_at<exp_double>(0.74f, a_ten_start)), 1.12211418f);

  const float a10 = apar<exp_double>(k.abohr, 10.0f, apar_start::abohr);
  EXPECT_EQ(phi(coords{0, 0, -4.5f, 0, 0, 5.5f}, trial_at<exp_double>(10.0f, a10)), 2.24502754f);
  const float a2 = apar<exp_double>(k.abohr, 2.0f, apar_start::abohr);
  EXPECT_EQ(phi(coords{0.3f, -0.1f, -1.2f, -0.2f, 0.4f, 0.9f}, trial_at<exp_double>(2.0f, a2)),
            0.838608384f);
}

TEST(Phi, SingleAndDoubleExponentialsAgreeToRounding) {
  const coords r{0.1f, 0.2f, -0.3f, -0.2f, 0.1f, 0.4f};
  const float a = 0.44538188f;
  EXPECT_NEAR(phi(r, trial_at<exp_single>(0.74f, a)),
              phi(r, trial_at<exp_double>(0.74f, a)), 4e-7f);
}

TEST(Phi, IsSymmetricUnderElectronExchangeAndReflectionToTheBit) {
  std::mt19937 gen(17);
  for (int i = 0; i < 20000; ++i) {
    const float s = std::uniform_real_distribution<float>(0.0f, 3.0f)(gen);
    const float a = apar<exp_double>(k.abohr, s, apar_start::abohr);
    const coords r = testing::random_coords(gen, s, 1.5f);
    const coords swapped{r[3], r[4], r[5], r[0], r[1], r[2]};
    const coords reflected{r[0], r[1], -r[2], r[3], r[4], -r[5]};
    const float psi = phi(r, trial_at<exp_double>(s, a));
    ASSERT_EQ(bits(phi(swapped, trial_at<exp_double>(s, a))), bits(psi));
    ASSERT_EQ(bits(phi(reflected, trial_at<exp_double>(s, a))), bits(psi));
    ASSERT_EQ(bits(phi(swapped, trial_at<exp_single>(s, a))),
              bits(phi(r, trial_at<exp_single>(s, a))));
  }
}

TEST(Phi, SpecialGeometries) {
  const float a = 0.5f;
  // s = 0: both nuclei at the origin, psi = (2 chi(r1)) (2 chi(r2)) fee(r12).
  const coords r{0.3f, -0.2f, 0.1f, -0.4f, 0.5f, 0.2f};
  const geometry g = radii(0.0f, r);
  EXPECT_EQ(g.r1l, g.r1r);
  EXPECT_EQ(g.r2l, g.r2r);
  EXPECT_EQ(phi(r, trial_at<exp_double>(0.0f, a)),
            (2.0f * chi<exp_double>(g.r1l, a)) * (2.0f * chi<exp_double>(g.r2l, a)) *
                fee<exp_double>(g.r12, k.alfa, classic_beta));

  // Coincident electrons: r12 = 0 and fee = 1, psi is the orbital product.
  const coords same{0.2f, 0.1f, -0.3f, 0.2f, 0.1f, -0.3f};
  const geometry gs = radii(0.5f, same);
  EXPECT_EQ(gs.r12, 0.0f);
  EXPECT_EQ(fee<exp_double>(0.0f, k.alfa, classic_beta), 1.0f);
  const float orbital = chi<exp_double>(gs.r1l, a) + chi<exp_double>(gs.r1r, a);
  EXPECT_EQ(phi(same, trial_at<exp_double>(1.0f, a)), (orbital * orbital) * 1.0f);

  // An electron on a nucleus has the factor exactly 1 there.
  EXPECT_EQ(chi<exp_double>(0.0f, a), 1.0f);
  EXPECT_EQ(chi<exp_single>(0.0f, a), 1.0f);

  // The electron-electron factor rises towards exp(1/(alfa beta)) ~ 43.55.
  EXPECT_NEAR(fee<exp_double>(1.0e6f, k.alfa, classic_beta), 43.55f, 0.01f);
}

TEST(Phi, VanishesForAnElectronFarFromBothNuclei) {
  const float a = 0.5f;
  // 105 a from both nuclei: each orbital factor is below 2^-150 and rounds to 0.
  const coords far{105.0f * a, 0.0f, 0.0f, 0.0f, 0.0f, 0.1f};
  EXPECT_EQ(phi(far, trial_at<exp_double>(0.2f, a)), 0.0f);
  EXPECT_EQ(phi(far, trial_at<exp_single>(0.2f, a)), 0.0f);
  const coords near{90.0f * a, 0.0f, 0.0f, 0.0f, 0.0f, 0.1f};
  EXPECT_GT(phi(near, trial_at<exp_double>(0.2f, a)), 0.0f);
}

// The whole build must round every float operation on its own: a fused
// multiply-add would keep the exact product here.
[[gnu::noinline]] float multiply_add(float a, float b, float c) { return a * b + c; }

TEST(Arithmetic, IsNotContractedIntoFusedMultiplyAdd) {
  volatile float x = 1.0f + 0x1p-12f;
  // (1 + 2^-12)^2 = 1 + 2^-11 + 2^-24; the last term is lost by rounding the
  // product to float, so the sum with -(1 + 2^-11) is exactly 0 unless fused.
  EXPECT_EQ(multiply_add(x, x, -(1.0f + 0x1p-11f)), 0.0f);
}

}  // namespace
}  // namespace vmc
