#pragma once

#include <cstdint>
#include <span>

// The demonstration's own generator: the linear congruential map
// state -> (3456 state + 234) mod 8549724 in 64-bit integers, since
// 3456 state + 234 reaches about 2.95e10. From the seed 4 every state is
// positive and congruent to 6 mod 12, so a deviate is never 0 or 1.

namespace vmc {

inline constexpr std::int64_t lcg_modulus = 8549724;

struct lcg {
  std::int64_t state = 4;

  // The next deviate, state / modulus: both are below 2^24 and exact as
  // floats, and the float quotient is rounded once.
  float next() {
    state = (3456 * state + 234) % lcg_modulus;
    return static_cast<float>(state) / static_cast<float>(lcg_modulus);
  }

  // Fills v with the next v.size() deviates, v[0] first.
  void fill(std::span<float> v) {
    for (float& x : v) x = next();
  }
};

}  // namespace vmc
