#pragma once

#include <cmath>

#if defined(__FAST_MATH__)
#error "the model needs IEEE float semantics; do not build with -ffast-math"
#endif

namespace vmc {

// The model is evaluated with one of two exponentials, chosen per program as
// a template argument. Both take a float argument that was itself computed in
// single precision, so a result depends on nothing but the argument's bits.

// Double-precision exp of the float argument, rounded once to float
// (the scan and the fixed-separation run).
struct exp_double {
  static float exp(float x) { return static_cast<float>(std::exp(static_cast<double>(x))); }
};

// Single-precision exp (the interactive demonstration).
struct exp_single {
  static float exp(float x) { return std::exp(x); }
};

}  // namespace vmc
