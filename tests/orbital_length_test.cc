#include "model/orbital_length.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model_test_support.h"

namespace vmc {
namespace {

using testing::k;

TEST(Apar, ReproducesReferenceValuesToTheBit) {
  EXPECT_EQ(apar<exp_double>(k.abohr, 0.74f, apar_start::abohr), 0.445381880f);
  EXPECT_EQ(apar<exp_double>(k.abohr, 0.74f, apar_start::ten_angstrom), 0.445381850f);
  EXPECT_EQ(apar<exp_double>(k.abohr, 10.0f, apar_start::abohr), 0.529939592f);
  EXPECT_EQ(apar<exp_double>(k.abohr, 2.0f, apar_start::abohr), 0.518940747f);
}

TEST(Apar, GivesHalfTheBohrLengthForCoincidentNuclei) {
  const float half = k.abohr / 2.0f;
  EXPECT_EQ(half, 0.2649698f);
  for (apar_start start : {apar_start::abohr, apar_start::ten_angstrom}) {
    EXPECT_EQ(apar<exp_double>(k.abohr, 0.0f, start), half);
    EXPECT_EQ(apar<exp_single>(k.abohr, 0.0f, start), half);
  }
}

TEST(Apar, GivesTheBohrLengthForSeparatedAtoms) {
  // exp(-s/abohr) is below half an ulp of 1 from s = 10 A on; the start 10 A
  // reaches abohr too (within three updates up to about 132 A).
  for (float s : {10.0f, 12.5f, 20.0f, 50.0f, 100.0f, 130.0f}) {
    EXPECT_EQ(apar<exp_double>(k.abohr, s, apar_start::abohr), k.abohr) << s;
    EXPECT_EQ(apar<exp_double>(k.abohr, s, apar_start::ten_angstrom), k.abohr) << s;
    EXPECT_EQ(apar<exp_single>(k.abohr, s, apar_start::ten_angstrom), k.abohr) << s;
  }
}

TEST(Apar, BothStartsAgreeAndSatisfyTheCuspCondition) {
  for (int i = 0; i <= 5000; ++i) {
    const float s = 0.01f * static_cast<float>(i);  // 0 ... 50 A
    const float a = apar<exp_double>(k.abohr, s, apar_start::abohr);
    const float a10 = apar<exp_double>(k.abohr, s, apar_start::ten_angstrom);
    ASSERT_LE(std::fabs(a - a10), 4e-7f) << s;
    ASSERT_GE(a, k.abohr / 2.0f) << s;
    ASSERT_LE(a, k.abohr) << s;
    const double residual = a * (1.0 + std::exp(-static_cast<double>(s) / a)) - k.abohr;
    ASSERT_LE(std::fabs(residual), 1.0e-6) << s;
  }
}

TEST(Apar, CollapsesToZeroForClearlyNegativeSeparations) {
  // Between about -0.1475 A and 0 a positive root still exists; below it the
  // update underflows to 0.
  for (float s : {-0.2f, -0.5f, -1.0f, -3.0f, -100.0f}) {
    EXPECT_EQ(apar<exp_double>(k.abohr, s, apar_start::abohr), 0.0f) << s;
    EXPECT_EQ(apar<exp_single>(k.abohr, s, apar_start::ten_angstrom), 0.0f) << s;
  }
  EXPECT_GT(apar<exp_double>(k.abohr, -0.1f, apar_start::abohr), 0.0f);
}

}  // namespace
}  // namespace vmc
