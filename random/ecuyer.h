#pragma once

#include <cassert>
#include <cstdint>
#include <span>

// L'Ecuyer's combined multiplicative congruential generator (1988): two
// components with prime moduli just below 2^31, stepped together and combined
// by subtraction. Schrage's decomposition keeps every product in 32 bits.

namespace vmc {

// The state of both components; a default one starts at (123456, 654321).
struct ecuyer {
  std::int32_t ix1 = 123456;
  std::int32_t ix2 = 654321;

  // One deviate in (0, 1): both components advance once, the first before
  // the second, and their difference is scaled by 2^-31.
  float next() {
    std::int32_t k = ix1 / 53668;
    ix1 = 40014 * (ix1 - k * 53668) - k * 12211;
    if (ix1 < 0) ix1 += 2147483563;
    k = ix2 / 52774;
    ix2 = 40692 * (ix2 - k * 52774) - k * 3791;
    if (ix2 < 0) ix2 += 2147483399;
    std::int32_t iz = ix1 - ix2;
    if (iz < 1) iz += 2147483562;
    return static_cast<float>(iz) * 4.656613e-10f;
  }

  // Fills v with the next v.size() deviates, v[0] first.
  void fill(std::span<float> v) {
    for (float& x : v) x = next();
  }
};

// Writes the next n deviates into v[0] ... v[n-1]; n <= 0 writes nothing and
// leaves the state alone. v must hold at least n values.
inline void rnecuy(ecuyer& g, std::span<float> v, int n) {
  assert(n <= static_cast<int>(v.size()));
  if (n > 0) g.fill(v.first(static_cast<std::size_t>(n)));
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
