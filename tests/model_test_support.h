#pragma once

#include <bit>
#include <cstdint>
#include <random>

#include "model/constants.h"

namespace vmc::testing {

inline constexpr model_constants k = make_constants();

inline std::uint32_t bits(float x) { return std::bit_cast<std::uint32_t>(x); }

// A configuration with each coordinate uniform in (-spread, spread) around
// the two nuclei (electron 1 near the left one, electron 2 near the right).
inline coords random_coords(std::mt19937& gen, float s, float spread) {
  std::uniform_real_distribution<float> u(-spread, spread);
  coords r;
  for (float& x : r) x = u(gen);
  r[2] -= 0.5f * s;
  r[5] += 0.5f * s;
  return r;
}

}  // namespace vmc::testing
