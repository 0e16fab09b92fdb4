#pragma once

#include <cmath>

#include "model/number.h"

// exact_exp for double; float_log, cos_sin_two_pi and box_muller for
// float.

namespace vmc {

#include "walk/normal-inl.h"  // IWYU pragma: export

}  // namespace vmc
