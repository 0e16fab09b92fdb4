#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

// The operations the model's templated formulas (model/covalent_ionic-inl.h,
// walk/normal-inl.h) are written with, for the scalar number types; the
// vector lanes (lanes/number-inl.h) define the same names for their vectors,
// so that one text of a formula serves both, operation for operation.

// How the templated formulas are declared: plain inline functions for the
// scalar types; the lanes define it to force inlining into their loops.
#ifndef VMC_FORMULA_INLINE
#define VMC_FORMULA_INLINE inline
#endif

namespace vmc {

// The model's exponential: for float, exp in double rounded once to float,
// which the lanes compute to the bit (lanes/exp-inl.h).
inline float model_exp(float x) { return static_cast<float>(std::exp(static_cast<double>(x))); }
inline double model_exp(double x) { return std::exp(x); }

// Exactly rounded, in scalar and vector units alike.
inline float square_root(float x) { return std::sqrt(x); }
inline double square_root(double x) { return std::sqrt(x); }
inline double floor_of(double x) { return std::floor(x); }
inline float floor_of(float x) { return std::floor(x); }

// x = m 2^e, m in [1, 2) and e an integer, read from x's bits; exact for
// every normal x (other values give some m and e, the same in the lanes).
inline void split_exponent(double x, double& m, double& e) {
  const auto b = std::bit_cast<std::uint64_t>(x);
  m = std::bit_cast<double>((b & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
  // The biased exponent as the low bits of 2^52 + it, less 2^52 + 1023: exact.
  e = std::bit_cast<double>(((b >> 52) & 0x7FFull) | 0x4330000000000000ull) - 4503599627371519.0;
}

// The same for float.
inline void split_exponent(float x, float& m, float& e) {
  const auto b = std::bit_cast<std::uint32_t>(x);
  m = std::bit_cast<float>((b & 0x007FFFFFu) | 0x3F800000u);
  e = std::bit_cast<float>(((b >> 23) & 0xFFu) | 0x4B000000u) - 8388735.0f;
}

// 2^k for a whole k from -1022 to 1023, built from its bits (others give
// some number, the same in the lanes).
inline double power_of_two(double k) {
  // k + 1023 as the low bits of 2^52 + k + 1023 (exact), moved to the exponent.
  const auto biased = std::bit_cast<std::uint64_t>(k + 4503599627371519.0) & 0x7FFull;
  return std::bit_cast<double>(biased << 52);
}

// a where m holds, b where not (a vector's mask chooses lane by lane).
inline double if_then_else(bool m, double a, double b) { return m ? a : b; }
inline float if_then_else(bool m, float a, float b) { return m ? a : b; }

}  // namespace vmc
