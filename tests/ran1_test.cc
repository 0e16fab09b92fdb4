#include "random/ran1.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace vmc {
namespace {

const std::array<float, 6> first_deviates = {0.41599935f, 0.091964893f, 0.75641048f,
                                             0.52970022f, 0.93043649f,  0.38350207f};
const std::array<std::int32_t, 6> first_integers = {893351816,  197493099,  1624379149,
                                                    1137522503, 1998097157, 823564440};

TEST(Ran1, AnyPositiveStateZeroOrMinusOneStartTheSameStream) {
  for (std::int32_t seed : {391, 1, 123456789, 0, -1}) {
    ran1 t(seed);
    for (int i = 0; i < 6; ++i) {
      const float u = t.next();
      EXPECT_EQ(t.iy, first_integers[i]) << seed << " call " << i;
      EXPECT_EQ(u, first_deviates[i]) << seed << " call " << i;
      EXPECT_EQ(u, static_cast<float>(first_integers[i]) * 0x1p-31f);
    }
  }
}

TEST(Ran1, FillsTheTableFromFortyCongruentialSteps) {
  EXPECT_EQ(minimal_standard_step(1), 16807);
  EXPECT_EQ(minimal_standard_step(16807), 282475249);
  EXPECT_EQ(minimal_standard_step(282475249), 1622650073);

  ran1 t(391);
  t.next();
  EXPECT_EQ(t.iv[31], 1458777923);  // the 9th value, in slot 32
  EXPECT_EQ(t.iv[0], 784558821);    // the 40th, in slot 1
  // The first call reads slot 12 (1 + 784558821 div 2^26) and leaves the
  // newest congruential value there and in the state.
  EXPECT_EQ(t.state, 530511967);
  EXPECT_EQ(t.iv[11], 530511967);
}

TEST(Ran1, ANegativeStateStartsFromItsMagnitude) {
  ran1 t(-391);
  EXPECT_EQ(t.next(), 0.90745032f);
}

TEST(Ran1, AStateOfZeroOrBelowRefillsTheTable) {
  ran1 t(391);
  for (int i = 0; i < 100; ++i) t.next();
  t.state = 0;
  EXPECT_EQ(t.next(), first_deviates[0]);
  EXPECT_EQ(t.next(), first_deviates[1]);
  ran1 emptied = t;
  emptied.iy = 0;  // a zero iy counts as an unfilled table too
  emptied.state = 5;
  EXPECT_EQ(emptied.next(), first_deviates[0]);
}

TEST(Ran1, CapsTheDeviateBelowOne) {
  ran1 t(1);
  float u = 0;
  for (int call = 1; call <= 1286; ++call) u = t.next();
  EXPECT_EQ(t.iy, 2147483531);
  EXPECT_EQ(static_cast<float>(t.iy) * 0x1p-31f, 0.99999994f);
  EXPECT_EQ(u, 0.99999988f);
}

TEST(Ran1, NeverReturnsZeroOrOne) {
  ran1 t(391);
  for (int i = 0; i < 20000000; ++i) {
    const float u = t.next();
    ASSERT_GT(u, 0.0f);
    ASSERT_LT(u, 1.0f);
  }
  t.state = INT32_MIN;  // its magnitude does not fit; taken as the largest state
  const float u = t.next();
  EXPECT_GT(u, 0.0f);
  EXPECT_LT(u, 1.0f);
}

TEST(Ran1, TwoStreamsWithTheSameSeedAreIndependentAndEqual) {
  ran1 one(391), two(391);
  EXPECT_EQ(one.next(), first_deviates[0]);
  EXPECT_EQ(one.next(), first_deviates[1]);
  // The second stream has a table of its own: drawing from the first one
  // does not move it on.
  EXPECT_EQ(two.next(), first_deviates[0]);
  float both[2];
  two.fill(both);
  EXPECT_EQ(both[0], first_deviates[1]);
  EXPECT_EQ(both[1], first_deviates[2]);
}

}  // namespace
}  // namespace vmc
