#pragma once

#include <cmath>

#include "model/number.h"

// exact_log, cos_sin_two_pi and box_muller for double.

namespace vmc {

#include "walk/normal-inl.h"  // IWYU pragma: export

}  // namespace vmc
