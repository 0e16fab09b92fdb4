#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "model/constants.h"
#include "model/geometry.h"
#include "model/trial_function.h"

namespace vmc::testing {

inline constexpr model_constants k = make_constants();
// The correlation parameter of the three programs, 1/A.
inline constexpr float classic_beta = 0.25f;

// The trial function at separation s with orbital length a, the model
// constants and the programs' beta.
template <class Exp>
trial_function<Exp> trial_at(float s, float a, float beta = classic_beta) {
  return {.s = s, .a = a, .alfa = k.alfa, .beta = beta, .e2 = k.e2, .hbm = k.hbm};
}

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

// The smallest of the five distances: near zero the local energy is singular
// and float rounding dominates it.
inline float closest_approach(const geometry& g) {
  return std::fmin(std::fmin(g.r1l, g.r1r), std::fmin(std::fmin(g.r2l, g.r2r), g.r12));
}

}  // namespace vmc::testing
