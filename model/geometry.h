#pragma once

#include <array>
#include <cmath>

namespace vmc {

// A configuration of the two electrons, lengths in angstrom, in the order
// x1, y1, z1, x2, y2, z2 (electron 1, then electron 2). The protons lie on
// the z axis at z = -s/2 (left) and z = +s/2 (right).
using coords = std::array<float, 6>;

// The six coordinates copied out of a configuration and the five distances
// (A) between the electrons and the nuclei at z = -s2 (l) and z = +s2 (r).
struct geometry {
  float x1, x2, y1, y2, z1, z2;
  float r1l, r2l, r1r, r2r, r12;
};

// Euclidean length sqrt((dx^2 + dy^2) + dz^2) in single precision.
inline float dist(float dx, float dy, float dz) {
  const float sum = (dx * dx + dy * dy) + dz * dz;
  // The correctly rounded float root equals the double root rounded to float.
  return std::sqrt(sum);
}

// Coordinates and the five distances of configuration r for half separation s2.
geometry radii(float s2, const coords& r);

}  // namespace vmc
