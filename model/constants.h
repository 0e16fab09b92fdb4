#pragma once

namespace vmc {

// The physical constants of the model, each a float.
struct model_constants {
  float hbm;    // hbar^2/m of the electron, eV A^2
  float e2;     // e^2/(4 pi eps0), eV A
  float abohr;  // Bohr length hbm/e2, A
  float alfa;   // length scale of the electron-electron factor, A
};

// The constants as every program sets them at start: the literals are
// rounded to float first, abohr is computed from the stored hbm and e2, and
// alfa from the stored abohr, each rounded to float.
constexpr model_constants make_constants() {
  const float hbm = 7.6359f;
  const float e2 = 14.409f;
  const float abohr = hbm / e2;
  const float alfa = abohr + abohr;
  return {hbm, e2, abohr, alfa};
}

}  // namespace vmc
