#include "molekula/ran1.h"

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
    ran1_table t;
    std::int32_t state = seed;
    for (int i = 0; i < 6; ++i) {
      const float u = ran1(state, t);
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

  ran1_table t;
  std::int32_t state = 391;
  ran1(state, t);
  EXPECT_EQ(t.iv[31], 1458777923);  // the 9th value, in slot 32
  EXPECT_EQ(t.iv[0], 784558821);    // the 40th, in slot 1
  // The first call reads slot 12 (1 + 784558821 div 2^26) and leaves the
  // newest congruential value there and in the state.
  EXPECT_EQ(state, 530511967);
  EXPECT_EQ(t.iv[11], 530511967);
}

TEST(Ran1, ANegativeStateStartsFromItsMagnitude) {
  ran1_table t;
  std::int32_t state = -391;
  EXPECT_EQ(ran1(state, t), 0.90745032f);
}

TEST(Ran1, AStateOfZeroOrBelowRefillsTheTable) {
  ran1_table t;
  std::int32_t state = 391;
  for (int i = 0; i < 100; ++i) ran1(state, t);
  state = 0;
  EXPECT_EQ(ran1(state, t), first_deviates[0]);
  EXPECT_EQ(ran1(state, t), first_deviates[1]);
  ran1_table emptied = t;
  emptied.iy = 0;  // a zero iy counts as an unfilled table too
  std::int32_t again = 5;
  EXPECT_EQ(ran1(again, emptied), first_deviates[0]);
}

TEST(Ran1, CapsTheDeviateBelowOne) {
  ran1_table t;
  std::int32_t state = 1;
  float u = 0;
  for (int call = 1; call <= 1286; ++call) u = ran1(state, t);
  EXPECT_EQ(t.iy, 2147483531);
  EXPECT_EQ(static_cast<float>(t.iy) * 0x1p-31f, 0.99999994f);
  EXPECT_EQ(u, 0.99999988f);
}

TEST(Ran1, NeverReturnsZeroOrOne) {
  ran1_table t;
  std::int32_t state = 391;
  for (int i = 0; i < 20000000; ++i) {
    const float u = ran1(state, t);
    ASSERT_GT(u, 0.0f);
    ASSERT_LT(u, 1.0f);
  }
  std::int32_t extreme = INT32_MIN;  // its magnitude does not fit; taken as the largest state
  const float u = ran1(extreme, t);
  EXPECT_GT(u, 0.0f);
  EXPECT_LT(u, 1.0f);
}

TEST(Ran1, KeepsOneTablePerProcess) {
  std::int32_t state = 391;
  EXPECT_EQ(ran1(state), first_deviates[0]);
  std::int32_t other = 391;  // a second caller shares the table and starts nothing afresh
  EXPECT_NE(ran1(other), first_deviates[0]);
}

}  // namespace
}  // namespace vmc
