#include "random/ecuyer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace vmc {
namespace {

struct step_row {
  std::int32_t ix1, ix2;
  float deviate;
};

TEST(Ecuyer, ReproducesTheFirstStepsAfterSeeding) {
  ecuyer g;
  rne2in(g, 5465, 9675);
  const step_row rows[] = {
      {218676510, 393695100, 0.9185006f},   // iz 1972464972
      {1273835478, 14852660, 0.5862595f},   // iz 1258982818
      {730448887, 941605601, 0.9016725f},   // iz 1936326848
  };
  for (const step_row& row : rows) {
    const float u = g.next();
    EXPECT_EQ(g.ix1, row.ix1);
    EXPECT_EQ(g.ix2, row.ix2);
    EXPECT_NEAR(u, row.deviate, 1e-7f);
  }
  // The three deviates are exactly iz * 2^-31 rounded to float.
  ecuyer h;
  rne2in(h, 5465, 9675);
  EXPECT_EQ(h.next(), static_cast<float>(1972464972.0 / 2147483648.0));
  EXPECT_EQ(h.next(), static_cast<float>(1258982818.0 / 2147483648.0));
  EXPECT_EQ(h.next(), static_cast<float>(1936326848.0 / 2147483648.0));
}

TEST(Ecuyer, StartsFromItsOwnStateWithoutSeeding) {
  ecuyer g;
  std::int32_t s1 = 0, s2 = 0;
  rne2ot(g, s1, s2);
  EXPECT_EQ(s1, 123456);
  EXPECT_EQ(s2, 654321);
  std::array<float, 1> v{};
  rnecuy(g, v, 1);
  EXPECT_EQ(g.ix1, 645001258);
  EXPECT_EQ(g.ix2, 855829344);
  EXPECT_EQ(v[0], static_cast<float>(1936655476.0 / 2147483648.0));
  EXPECT_NEAR(v[0], 0.9018255f, 5e-8f);
}

TEST(Ecuyer, SavedStateContinuesTheSequence) {
  ecuyer g;
  rne2in(g, 5465, 9675);
  std::int32_t s1 = 0, s2 = 0;
  rne2ot(g, s1, s2);
  EXPECT_EQ(s1, 5465);
  EXPECT_EQ(s2, 9675);
  g.next();
  rne2ot(g, s1, s2);
  EXPECT_EQ(s1, 218676510);
  EXPECT_EQ(s2, 393695100);

  std::array<float, 4> later{};
  rnecuy(g, later, 4);
  ecuyer h;
  rne2in(h, s1, s2);
  std::array<float, 4> again{};
  rnecuy(h, again, 4);
  EXPECT_EQ(later, again);
}

TEST(Ecuyer, DrawsInPiecesEqualOneDraw) {
  ecuyer a, b;
  rne2in(a, 5465, 9675);
  rne2in(b, 5465, 9675);
  std::array<float, 7> seven{};
  rnecuy(a, seven, 7);
  std::array<float, 7> pieces{};
  rnecuy(b, std::span(pieces).first(6), 6);
  rnecuy(b, std::span(pieces).subspan(6), 1);
  EXPECT_EQ(seven, pieces);
  EXPECT_EQ(a.ix1, b.ix1);
  EXPECT_EQ(a.ix2, b.ix2);
}

TEST(Ecuyer, NonPositiveCountChangesNothing) {
  ecuyer g;
  rne2in(g, 5465, 9675);
  std::array<float, 2> v{7.0f, 8.0f};
  rnecuy(g, v, 0);
  rnecuy(g, v, -3);
  EXPECT_EQ(v[0], 7.0f);
  EXPECT_EQ(v[1], 8.0f);
  EXPECT_EQ(g.ix1, 5465);
  EXPECT_EQ(g.ix2, 9675);
}

// x with a x = y (mod m), through Fermat's little theorem (m is prime).
std::int32_t preimage(std::uint64_t a, std::uint64_t y, std::uint64_t m) {
  std::uint64_t inverse = 1, base = a, e = m - 2;
  while (e > 0) {
    if (e & 1) inverse = inverse * base % m;
    base = base * base % m;
    e >>= 1;
  }
  return static_cast<std::int32_t>(inverse * y % m);
}

TEST(Ecuyer, DeviatesStayStrictlyInsideTheUnitInterval) {
  // States whose next step gives iz = 1 (ix1 = 2, ix2 = 1) and the largest
  // iz = 2147483562 (ix1 = ix2 = 5).
  ecuyer low{preimage(40014, 2, 2147483563), preimage(40692, 1, 2147483399)};
  EXPECT_EQ(low.next(), 0x1p-31f);
  EXPECT_EQ(low.ix1, 2);
  EXPECT_EQ(low.ix2, 1);
  ecuyer high{preimage(40014, 5, 2147483563), preimage(40692, 5, 2147483399)};
  EXPECT_EQ(high.next(), 1.0f - 0x1p-24f);
  EXPECT_EQ(4.656613e-10f, 0x1p-31f);
}

TEST(Ecuyer, SeedsThatAreMultiplesOfTheModulusLeaveOneComponent) {
  ecuyer g;
  rne2in(g, 0, 9675);
  for (int i = 0; i < 1000; ++i) {
    const float u = g.next();
    ASSERT_EQ(g.ix1, 0);
    ASSERT_GT(u, 0.0f);
    ASSERT_LT(u, 1.0f);
  }
}

TEST(EcuyerAdvance, EqualsDrawingOneByOne) {
  for (const ecuyer start : {ecuyer{5465, 9675}, ecuyer{}, ecuyer{-17, 2147483647}}) {
    ecuyer stepped = start;
    std::uint64_t done = 0;
    for (std::uint64_t k : {0ull, 1ull, 2ull, 7ull, 700006ull, 1400012ull, 2100018ull}) {
      while (done < k) {
        stepped.next();
        ++done;
      }
      const ecuyer jumped = ecuyer_advance(start, k);
      ASSERT_EQ(jumped.ix1, stepped.ix1) << k;
      ASSERT_EQ(jumped.ix2, stepped.ix2) << k;
    }
  }
  // The start of the last pass of a full scan.
  ecuyer stepped{5465, 9675};
  for (std::uint64_t i = 0; i < 44 * 700006ull; ++i) stepped.next();
  const ecuyer jumped = ecuyer_advance(ecuyer{5465, 9675}, 44 * 700006ull);
  EXPECT_EQ(jumped.ix1, stepped.ix1);
  EXPECT_EQ(jumped.ix2, stepped.ix2);
}

}  // namespace
}  // namespace vmc
