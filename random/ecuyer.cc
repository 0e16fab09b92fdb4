#include "random/ecuyer.h"

namespace vmc {

void rne2in(ecuyer& g, std::int32_t seed1, std::int32_t seed2) {
  g.ix1 = seed1;
  g.ix2 = seed2;
}

void rne2ot(const ecuyer& g, std::int32_t& seed1, std::int32_t& seed2) {
  seed1 = g.ix1;
  seed2 = g.ix2;
}

namespace {

// a^k x mod m; a, x < m < 2^31, so every product stays below 2^62.
std::int32_t power_times(std::uint64_t a, std::uint64_t k, std::int32_t x, std::uint64_t m) {
  std::uint64_t result = 1;
  a %= m;
  while (k > 0) {
    if (k & 1) result = result * a % m;
    a = a * a % m;
    k >>= 1;
  }
  return static_cast<std::int32_t>(result * static_cast<std::uint64_t>(x) % m);
}

}  // namespace

ecuyer ecuyer_advance(ecuyer g, std::uint64_t k) {
  if (k == 0) return g;
  // The first step brings any seed (a negative one or one beyond the
  // modulus included) into 0 ... m-1, where the step is exactly a x mod m.
  g.next();
  g.ix1 = power_times(40014, k - 1, g.ix1, 2147483563);
  g.ix2 = power_times(40692, k - 1, g.ix2, 2147483399);
  return g;
}

}  // namespace vmc
