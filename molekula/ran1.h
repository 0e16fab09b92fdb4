#pragma once

#include <array>
#include <cstdint>

// The Park-Miller minimal-standard generator (x -> 16807 x mod 2^31 - 1,
// Schrage's decomposition keeping every product in 32 bits) behind a 32-slot
// Bays-Durham shuffle table, which breaks up the serial correlations of the
// plain congruential sequence.

namespace vmc {

// The shuffle table and the value handed out last. A zero iy marks the
// table as not yet filled.
struct ran1_table {
  std::array<std::int32_t, 32> iv{};
  std::int32_t iy = 0;
};

// The next deviate in [2^-31, 0.99999988] from the process's own table;
// state is the caller's congruential state, read and updated. A state of
// zero or below (or the first call of the process) refills the table.
float ran1(std::int32_t& state);

// The same, working on an explicit table.
float ran1(std::int32_t& state, ran1_table& table);

// One congruential step: 16807 x mod (2^31 - 1) for x in 1 ... 2^31 - 2.
inline std::int32_t minimal_standard_step(std::int32_t x) {
  const std::int32_t k = x / 127773;
  x = 16807 * (x - k * 127773) - 2836 * k;
  if (x < 0) x += 2147483647;
  return x;
}

}  // namespace vmc
