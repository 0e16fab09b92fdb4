#pragma once

#include "model/geometry.h"

// Trial moves of the Metropolis walk: each moves all six coordinates at once,
// each by an independent uniform amount, drawing six deviates in the order
// x1, y1, z1, x2, y2, z2. They differ only in how the float arithmetic is
// bracketed, which the programs' results depend on.

namespace vmc {

// r + (2u - 1) g: uniform in (-g, g).
struct scaled_step {
  float g;  // largest displacement of one coordinate, A
  template <class Generator>
  void operator()(Generator& gen, const coords& r, coords& trial) const {
    float u[6];
    gen.fill(u);
    for (int i = 0; i < 6; ++i) trial[i] = r[i] + (2.0f * u[i] - 1.0f) * g;
  }
};

// (2 g u - g) + r: uniform in (-g, g), the displacement formed first.
struct shifted_step {
  float g;  // largest displacement of one coordinate, A
  template <class Generator>
  void operator()(Generator& gen, const coords& r, coords& trial) const {
    for (int i = 0; i < 6; ++i) trial[i] = (2.0f * g * gen.next() - g) + r[i];
  }
};

// r + (u - 0.5): uniform in (-0.5, 0.5) A.
struct unit_step {
  template <class Generator>
  void operator()(Generator& gen, const coords& r, coords& trial) const {
    for (int i = 0; i < 6; ++i) trial[i] = r[i] + (gen.next() - 0.5f);
  }
};

}  // namespace vmc
