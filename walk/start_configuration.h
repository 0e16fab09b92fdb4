#pragma once

#include "model/geometry.h"

namespace vmc {

// How the proton offset is added to a start z coordinate.
enum class offset_rounding {
  per_operation,  // 2u - 1 rounded to float, then -s/2 or +s/2 added in float
  once,           // 2u - 1 + offset formed in double and rounded to float once
};

// A start configuration from the next six deviates of g, in the order
// x1, y1, z1, x2, y2, z2: every coordinate 2u - 1, uniform in (-1, 1) A, then
// electron 1 shifted to the left proton (z1 - s/2) and electron 2 to the right
// one (z2 + s/2), each inside the cube of edge 2 A around its proton.
template <class Generator>
coords start_configuration(Generator& g, float s, offset_rounding rounding) {
  coords r;
  for (int i = 0; i < 6; ++i) {
    const float u = g.next();
    const bool z = i == 2 || i == 5;
    const float sign = i < 3 ? -1.0f : 1.0f;
    if (z && rounding == offset_rounding::once) {
      r[i] = static_cast<float>(2.0 * static_cast<double>(u) - 1.0 +
                                0.5 * static_cast<double>(sign) * static_cast<double>(s));
    } else {
      r[i] = 2.0f * u - 1.0f;
      if (z) r[i] += sign * s / 2.0f;
    }
  }
  return r;
}

}  // namespace vmc
