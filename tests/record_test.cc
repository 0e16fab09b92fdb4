#include "output/record.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>

namespace vmc {
namespace {

TEST(Record, KeepsLabelsAndTheirBlanksExactly) {
  EXPECT_EQ(record("separacia= ", 0.3f, "E= ", -31.5f, "ratio  ", 0.5f),
            " separacia=  0.3 E=  -31.5 ratio   0.5\n");
  EXPECT_EQ(record(" NAHODNE SURADNICE ELEKTRONOV"), "  NAHODNE SURADNICE ELEKTRONOV\n");
  EXPECT_EQ(record("n=", 3, "EV=", 1.5f), " n= 3 EV= 1.5\n");
}

TEST(Record, WritesRealsSoThatTheyCannotBeTakenForIntegers) {
  EXPECT_EQ(record(421.0f), " 421.0\n");
  EXPECT_EQ(record(10.0f), " 10.0\n");
  EXPECT_EQ(record(0.0f), " 0.0\n");
  EXPECT_EQ(record(-0.0f), " -0.0\n");
  EXPECT_EQ(record(-5.0f), " -5.0\n");
  EXPECT_EQ(record(1e20f), " 1e+20\n");
  EXPECT_EQ(record(421), " 421\n");
  EXPECT_EQ(record(std::int64_t{-7}), " -7\n");
}

TEST(Record, NamesTheSpecialValues) {
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(record(std::nanf("")), " NaN\n");
  EXPECT_EQ(record(-std::nanf("")), " NaN\n");
  EXPECT_EQ(record(inf), " Infinity\n");
  EXPECT_EQ(record(-inf), " -Infinity\n");
}

TEST(Record, EveryFiniteFloatReadsBackToItself) {
  std::mt19937 gen(3);
  for (int i = 0; i < 200000; ++i) {
    const float x = std::bit_cast<float>(static_cast<std::uint32_t>(gen()));
    if (!std::isfinite(x)) continue;
    const std::string r = record(x);
    ASSERT_EQ(r.front(), ' ');
    ASSERT_EQ(r.back(), '\n');
    const float back = std::strtof(r.c_str() + 1, nullptr);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(back), std::bit_cast<std::uint32_t>(x)) << r;
    ASSERT_NE(r.find_first_of(".e"), std::string::npos) << r;
  }
}

}  // namespace
}  // namespace vmc
