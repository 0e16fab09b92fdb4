#pragma once

// The two factors of the trial wave function and their radial derivatives.
//
// chi(r) = exp(-r/a) is the orbital factor of an electron at distance r from
// one nucleus; fee(r) = exp(u(r)) with u(r) = r / (alfa (1 + beta r)) is the
// electron-electron factor. lap* is the three-dimensional Laplacian of a
// radial function, g'' + 2 g'/r.
//
// Every derivative is a closed form in the factor's own value, so the
// derivative helpers take that value and a configuration's five exponentials
// are evaluated once for psi and the local energy together. All arithmetic
// is float, in the bracketing written here.

namespace vmc {

// --- orbital factor -------------------------------------------------------

template <class Exp>
float chi(float r, float a) {
  return Exp::exp(-r / a);
}

// chi' = -chi/a
inline float fdchi_from(float c, float a) { return -c / a; }
// chi'' = chi/a^2, divided twice rather than by a*a
inline float sdchi_from(float c, float a) { return (c / a) / a; }
// chi'' + 2 chi'/r
inline float lapchi_from(float c, float r, float a) {
  return sdchi_from(c, a) + 2.0f * fdchi_from(c, a) / r;
}

// --- electron-electron factor --------------------------------------------

// fee = exp(r / (alfa ((beta r) + 1))); its logarithmic slope at r = 0 is
// 1/alfa = 1/(2 abohr), the electron-electron cusp condition.
template <class Exp>
float fee(float r, float alfa, float beta) {
  return Exp::exp(r / (alfa * ((beta * r) + 1.0f)));
}

// fee' = fee u' with u' = 1 / (alfa (1 + beta r)^2)
inline float fdfee_from(float f, float r, float alfa, float beta) {
  const float t = 1.0f + beta * r;
  return f / (alfa * (t * t));
}
// fee'' = fee (u'^2 + u''), written as fee'^2/fee + fee u'' with
// u'' = -2 beta / (alfa (1 + beta r)^3)
inline float sdfee_from(float f, float r, float alfa, float beta) {
  const float t = 1.0f + beta * r;
  const float fd = fdfee_from(f, r, alfa, beta);
  return fd * fd / f - 2.0f * beta * f / (alfa * (t * t * t));
}
// fee'' + 2 fee'/r
inline float lapfee_from(float f, float r, float alfa, float beta) {
  return sdfee_from(f, r, alfa, beta) + 2.0f * fdfee_from(f, r, alfa, beta) / r;
}

}  // namespace vmc
