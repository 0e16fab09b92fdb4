#pragma once

#include <array>

namespace vmc {

// A configuration of the two electrons, lengths in angstrom, in the order
// x1, y1, z1, x2, y2, z2 (electron 1, then electron 2). The protons lie on
// the z axis at z = -s/2 (left) and z = +s/2 (right).
using coords = std::array<float, 6>;

// The physical constants shared by the three programs, each a float.
struct model_constants {
  float hbm;    // hbar^2/m of the electron, eV A^2
  float e2;     // e^2/(4 pi eps0), eV A
  float abohr;  // Bohr length hbm/e2, A
  float alfa;   // length scale of the electron-electron factor, A
  float beta;   // shape of the electron-electron factor, 1/A
};

// The constants as every program sets them at start: the literals are
// rounded to float first, abohr is computed from the stored hbm and e2, and
// alfa from the stored abohr, each rounded to float.
constexpr model_constants make_constants() {
  const float hbm = 7.6359f;
  const float e2 = 14.409f;
  const float abohr = hbm / e2;
  const float alfa = abohr + abohr;
  return {hbm, e2, abohr, alfa, 0.25f};
}

}  // namespace vmc
