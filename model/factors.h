#pragma once

// The two factors of the trial wave function and their radial derivatives.
//
// chi(r) = exp(-r/a) is the orbital factor of an electron at distance r from
// one nucleus; fee(r) = exp(u(r)) with u(r) = r / (alfa (1 + beta r)) is the
// electron-electron factor. lap* is the three-dimensional Laplacian of a
// radial function, g'' + 2 g'/r.
//
// Every derivative is a closed form in the factor's own value, so the
// *_from variants take that value and the walk evaluates each exponential
// once; the functions of r compute it and then use the same formulas, which
// keeps both routes identical to the bit. All arithmetic is float, in the
// bracketing written here.

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

template <class Exp>
float fdchi(float r, float a) {
  return fdchi_from(chi<Exp>(r, a), a);
}
template <class Exp>
float sdchi(float r, float a) {
  return sdchi_from(chi<Exp>(r, a), a);
}
template <class Exp>
float lapchi(float r, float a) {
  return lapchi_from(chi<Exp>(r, a), r, a);
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

template <class Exp>
float fdfee(float r, float alfa, float beta) {
  return fdfee_from(fee<Exp>(r, alfa, beta), r, alfa, beta);
}
template <class Exp>
float sdfee(float r, float alfa, float beta) {
  return sdfee_from(fee<Exp>(r, alfa, beta), r, alfa, beta);
}
template <class Exp>
float lapfee(float r, float alfa, float beta) {
  return lapfee_from(fee<Exp>(r, alfa, beta), r, alfa, beta);
}

}  // namespace vmc
