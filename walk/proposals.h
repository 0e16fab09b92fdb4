#pragma once

#include <cstdint>

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

// scaled_step, except that every tenth step instead reflects one electron
// through the plane midway between the protons (z -> -z; the protons sit at
// z = -s/2 and s/2), electron 1 and electron 2 in turn. Far apart, steps of
// a few tenths of an angstrom never carry an electron from one proton to the
// other, so a walk keeps the arrangement it started in (one electron at each
// proton) and never samples the ionic ones the trial function gives weight
// to; a reflection is that move in one step. Each move is its own inverse,
// so the Metropolis test keeps psi^2 exact. Every step draws the same six
// deviates, used or not, so a walk's draws stay 7 a step.
struct reflecting_step {
  float g;  // largest displacement of one coordinate, A
  mutable std::int64_t steps = 0;
  template <class Generator>
  void operator()(Generator& gen, const coords& r, coords& trial) const {
    float u[6];
    gen.fill(u);
    const std::int64_t k = steps++;
    if (k % 10 == 9) {
      trial = r;
      const int z = (k / 10) % 2 == 0 ? 2 : 5;
      trial[z] = -r[z];
      return;
    }
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
