#pragma once

#include <array>
#include <cstdint>
#include <span>

// The Park-Miller minimal-standard generator (x -> 16807 x mod 2^31 - 1,
// Schrage's decomposition keeping every product in 32 bits) behind a 32-slot
// Bays-Durham shuffle table, which breaks up the serial correlations of the
// plain congruential sequence.

namespace vmc {

// One congruential step: 16807 x mod (2^31 - 1) for x in 1 ... 2^31 - 2.
inline std::int32_t minimal_standard_step(std::int32_t x) {
  const std::int32_t k = x / 127773;
  x = 16807 * (x - k * 127773) - 2836 * k;
  if (x < 0) x += 2147483647;
  return x;
}

// A stream of its own: the congruential state, the shuffle table and the
// value handed out last. A zero iy marks the table as not yet filled, so the
// first draw fills it; a state of zero or below refills it.
struct ran1 {
  std::int32_t state;                // congruential state, 1 ... 2^31 - 2 after a draw
  std::array<std::int32_t, 32> iv{};  // the shuffle table, slots 1 ... 32 at 0 ... 31
  std::int32_t iy = 0;               // the table value handed out last, before scaling

  // Starts a stream from seed; every positive seed, 0 and -1 give one and
  // the same stream, a seed -n below -1 the stream that starts from n.
  explicit ran1(std::int32_t seed) : state(seed) {}

  // The next deviate in [2^-31, 0.99999988].
  float next();

  // Fills v with the next v.size() deviates, v[0] first.
  void fill(std::span<float> v) {
    for (float& x : v) x = next();
  }
};

}  // namespace vmc
