#include "output/record.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "output/float_text.h"
#include "output/table.h"

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

std::string library_text(float x) {
  char text[64];
  return {text, std::to_chars(text, text + sizeof text, x).ptr};
}

std::string our_text(float x) {
  char text[float_text_room + 8];
  return {text, shortest_float(text, x)};
}

// The console's numbers keep their columns readable however large they grow.
TEST(Table, ShowsLargeValuesWithAnExponent) {
  EXPECT_EQ(fixed(-30.127351, 4), "-30.1274");
  EXPECT_EQ(fixed(999999999.0, 1), "999999999.0");
  EXPECT_EQ(fixed(1.4409000669410544e31, 4), "1.4409e+31");
  EXPECT_EQ(fixed(-2.5e9, 3), "-2.500e+09");
}

TEST(ShortestFloat, IsTheLibrarysTextOnASampleOfAllFloats) {
  // Every 4093rd bit pattern (about a million, every exponent of both signs),
  // then the edges of the fast path's range and of the decimal exponents
  // where the text switches between fixed and scientific notation.
  for (std::uint64_t b = 0; b <= 0xffffffffu; b += 4093) {
    const float x = std::bit_cast<float>(static_cast<std::uint32_t>(b));
    ASSERT_EQ(our_text(x), library_text(x)) << "bits " << b;
  }
  constexpr float inf = std::numeric_limits<float>::infinity();
  std::vector<float> edges = {0x1p-14f, 0x1p24f, 0x1p23f, 1.0f, 0.5f, 16777215.0f, 1e-5f,
                              1e-4f,    1e-3f,   1e6f,    1e7f, 123456.0f, 1.0e-4f, 9.9999e-5f};
  for (float p = 1e-6f; p < 1e8f; p *= 10.0f) edges.push_back(p);
  for (float edge : edges) {
    for (float sign : {1.0f, -1.0f}) {
      float x = sign * edge;
      for (int i = 0; i < 300; ++i) x = std::nextafter(x, -inf);
      for (int i = 0; i < 600; ++i, x = std::nextafter(x, inf)) {
        ASSERT_EQ(our_text(x), library_text(x)) << "x " << x;
      }
    }
  }
  for (float x : {0.0f, -0.0f, inf, -inf, std::numeric_limits<float>::quiet_NaN(),
                  std::numeric_limits<float>::max(), std::numeric_limits<float>::denorm_min()}) {
    EXPECT_EQ(our_text(x), library_text(x));
  }
}

}  // namespace
}  // namespace vmc
