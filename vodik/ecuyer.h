#pragma once

#include <cassert>
#include <cstdint>
#include <span>

// L'Ecuyer's combined multiplicative congruential generator (1988): two
// components with prime moduli just below 2^31, stepped together and combined
// by subtraction. Schrage's decomposition keeps every product in 32 bits.

namespace vmc {

// The state of both components.
struct ecuyer {
  std::int32_t ix1 = 123456;
  std::int32_t ix2 = 654321;
};

// One deviate in (0, 1): both components advance once, the first before the
// second, and their difference is scaled by 2^-31.
inline float ecuyer_next(ecuyer& g) {
  std::int32_t k = g.ix1 / 53668;
  g.ix1 = 40014 * (g.ix1 - k * 53668) - k * 12211;
  if (g.ix1 < 0) g.ix1 += 2147483563;
  k = g.ix2 / 52774;
  g.ix2 = 40692 * (g.ix2 - k * 52774) - k * 3791;
  if (g.ix2 < 0) g.ix2 += 2147483399;
  std::int32_t iz = g.ix1 - g.ix2;
  if (iz < 1) iz += 2147483562;
  return static_cast<float>(iz) * 4.656613e-10f;
}

// Writes the next n deviates into v[0] ... v[n-1]; n <= 0 writes nothing and
// leaves the state alone. v must hold at least n values.
inline void rnecuy(ecuyer& g, std::span<float> v, int n) {
  assert(n <= static_cast<int>(v.size()));
  for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = ecuyer_next(g);
}

// Sets the two component states.
void rne2in(ecuyer& g, std::int32_t seed1, std::int32_t seed2);

// Reads the two component states back; handing them to rne2in later
// continues the sequence from here.
void rne2ot(const ecuyer& g, std::int32_t& seed1, std::int32_t& seed2);

// The state k deviates further on, computed without drawing them: a
// component x -> a x mod m advanced k times is a^k x mod m, and a^k mod m
// takes a few dozen 64-bit multiplications by repeated squaring.
ecuyer ecuyer_advance(ecuyer g, std::uint64_t k);

}  // namespace vmc
