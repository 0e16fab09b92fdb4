#pragma once

#include <cstdint>

// The demonstration's own generator: the linear congruential map
// state -> (3456 state + 234) mod 8549724 in 64-bit integers, since
// 3456 state + 234 reaches about 2.95e10. From the seed 4 every state is
// positive and congruent to 6 mod 12, so a deviate is never 0 or 1.

namespace vmc {

struct lcg {
  std::int64_t state = 4;
};

inline constexpr std::int64_t lcg_modulus = 8549724;

// The next deviate, state / modulus: both are below 2^24 and exact as floats,
// and the float quotient is rounded once.
inline float lcg_next(lcg& g) {
  g.state = (3456 * g.state + 234) % lcg_modulus;
  return static_cast<float>(g.state) / static_cast<float>(lcg_modulus);
}

}  // namespace vmc
