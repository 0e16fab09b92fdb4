// The covalent-ionic trial function's formulas, written once over the number
// type T. No include guard: it is included inside a namespace, once in vmc
// for the scalar types (model/covalent_ionic.h) and once in each vector
// target's namespace for the lanes (lanes/), where unqualified model_exp and
// square_root find the lanes' own. It includes nothing; the includer brings
// <array> and the structs of model/covalent_ionic.h. Every operation is one
// IEEE operation in the order written, so a lane equals the scalar function.
// The calls among these functions are parenthesised, (parts_of)(r, t): the
// lanes' copies must not find the scalar ones through the argument types.

// The distances and unit vectors of configuration r: what depends on the
// configuration and the separation only (the orbitals are left unset).
template <class T>
VMC_FORMULA_INLINE covalent_ionic_parts<T> geometry_of(const std::array<T, 6>& r, const covalent_ionic_trial<T>& t) {
  covalent_ionic_parts<T> p;
  const T half = t.s / T(2);
  auto unit = [](T dx, T dy, T dz, T& length) {
    length = square_root((dx * dx + dy * dy) + dz * dz);
    return std::array<T, 3>{dx / length, dy / length, dz / length};
  };
  p.e1l = unit(r[0], r[1], r[2] + half, p.r1l);
  p.e1r = unit(r[0], r[1], r[2] - half, p.r1r);
  p.e2l = unit(r[3], r[4], r[5] + half, p.r2l);
  p.e2r = unit(r[3], r[4], r[5] - half, p.r2r);
  p.e12 = unit(r[0] - r[3], r[1] - r[4], r[2] - r[5], p.r12);
  return p;
}

// The orbitals of the electrons at distances r1l ... r2r from the nuclei, and Phi.
template <class T>
VMC_FORMULA_INLINE void orbitals_at(covalent_ionic_parts<T>& p, const covalent_ionic_trial<T>& t) {
  p.c1l = model_exp(-p.r1l / t.a);
  p.c1r = model_exp(-p.r1r / t.a);
  p.c2l = model_exp(-p.r2l / t.a);
  p.c2r = model_exp(-p.r2r / t.a);
  // Phi = c1l g1 + c1r h1 = c2l g2 + c2r h2.
  p.g1 = p.c2r + t.lambda * p.c2l;
  p.h1 = p.c2l + t.lambda * p.c2r;
  p.g2 = p.c1r + t.lambda * p.c1l;
  p.h2 = p.c1l + t.lambda * p.c1r;
  p.phi = p.c1l * p.g1 + p.c1r * p.h1;
}

template <class T>
VMC_FORMULA_INLINE covalent_ionic_parts<T> parts_of(const std::array<T, 6>& r, const covalent_ionic_trial<T>& t) {
  covalent_ionic_parts<T> p = (geometry_of)(r, t);
  (orbitals_at)(p, t);
  return p;
}

// What of the local energy the parameters a, alfa, beta and lambda leave
// alone, from the geometry of a configuration: its distances, the cosines
// of each unit vector from a nucleus with e12, and the potential energy
// e2 (-1/r1l - 1/r1r - 1/r2l - 1/r2r + 1/r12 + 1/s).
template <class T>
VMC_FORMULA_INLINE covalent_ionic_fixed<T> fixed_of(const covalent_ionic_parts<T>& p, const covalent_ionic_trial<T>& t) {
  auto dot = [](const std::array<T, 3>& x, const std::array<T, 3>& y) {
    return (x[0] * y[0] + x[1] * y[1]) + x[2] * y[2];
  };
  return {p.r1l,
          p.r1r,
          p.r2l,
          p.r2r,
          p.r12,
          dot(p.e1l, p.e12),
          dot(p.e1r, p.e12),
          dot(p.e2l, p.e12),
          dot(p.e2r, p.e12),
          t.e2 * ((((-T(1) / p.r1l - T(1) / p.r1r) - T(1) / p.r2l) - T(1) / p.r2r) + T(1) / p.r12 +
                  T(1) / t.s)};
}

template <class T>
VMC_FORMULA_INLINE T correlation_factor(T r12, const covalent_ionic_trial<T>& t) {
  return model_exp(r12 / (t.alfa * (T(1) + t.beta * r12)));
}

// psi of configuration r (not normalised).
template <class T>
VMC_FORMULA_INLINE T phi(const std::array<T, 6>& r, const covalent_ionic_trial<T>& t) {
  const covalent_ionic_parts<T> p = (parts_of)(r, t);
  return p.phi * (correlation_factor)(p.r12, t);
}

// The local energy H psi / psi (eV) and psi of configuration r.
//
// Kinetic energy. With psi = Phi F, for each electron i
//   lap_i psi / psi = lap_i Phi / Phi + lap_i F / F + 2 grad_i Phi . grad_i F / (Phi F).
// Phi is linear in each electron's two orbitals, with coefficients that hold
// only the other electron: Phi = c1l g1 + c1r h1, g1 = c2r + lambda c2l,
// h1 = c2l + lambda c2r (and for electron 2, g2 = c1r + lambda c1l,
// h2 = c1l + lambda c1r). An orbital chi(|r - R|) = exp(-|r - R|/a) has
//   grad chi = -(chi/a) e,  lap chi = chi (1/a^2 - 2/(a |r - R|)),
// e the unit vector from R to the electron, so
//   grad_1 Phi = -(c1l g1 e1l + c1r h1 e1r)/a,
//   lap_1 Phi  = c1l g1 (1/a^2 - 2/(a r1l)) + c1r h1 (1/a^2 - 2/(a r1r)),
// and the same for electron 2. F = exp(u(r12)) with
//   u' = 1/(alfa (1 + beta r)^2),  u'' = -2 beta/(alfa (1 + beta r)^3),
// has grad_1 F = F u' e12 = -grad_2 F and lap_i F / F = u'^2 + u'' + 2 u'/r12,
// e12 = (r1 - r2)/r12. Together
//   (lap_1 + lap_2) psi / psi = (lap_1 Phi + lap_2 Phi)/Phi
//                               + 2 (u'^2 + u'' + 2 u'/r12)
//                               + 2 u' (grad_1 Phi - grad_2 Phi) . e12 / Phi,
// and the kinetic energy is -(hbm/2) times that.
// Potential energy: e2 (-1/r1l - 1/r1r - 1/r2l - 1/r2r + 1/r12 + 1/s).
// Singular, like the classic local energy, where an electron sits on a
// nucleus, where the electrons meet, and at s = 0.
//
// Gradient. grad_i ln psi = grad_i Phi / Phi + grad_i F / F, that is
//   grad_1 ln psi = -(c1l g1 e1l + c1r h1 e1r)/(a Phi) + u' e12,
//   grad_2 ln psi = -(c2l g2 e2l + c2r h2 e2r)/(a Phi) - u' e12,
// the drift (quantum force over two) of a diffusion walk.
// The local energy from what the parameters leave alone (fixed_of) and the
// orbitals (orbitals_at; of p only c1l ... phi are read).
template <class T>
VMC_FORMULA_INLINE T local_energy_of(const covalent_ionic_fixed<T>& f, const covalent_ionic_parts<T>& p,
                                     const covalent_ionic_trial<T>& t) {
  const T ia = T(1) / t.a;
  // Each orbital times its coefficient: the four terms of Phi's gradients.
  const T w1l = p.c1l * p.g1, w1r = p.c1r * p.h1, w2l = p.c2l * p.g2, w2r = p.c2r * p.h2;
  const T lap_phi = w1l * (ia * ia - T(2) * ia / f.r1l) + w1r * (ia * ia - T(2) * ia / f.r1r) +
                    w2l * (ia * ia - T(2) * ia / f.r2l) + w2r * (ia * ia - T(2) * ia / f.r2r);
  // (grad_1 Phi - grad_2 Phi) . e12, from the cosines of each e with e12.
  const T grad_difference = -ia * ((w1l * f.cos1l + w1r * f.cos1r) - (w2l * f.cos2l + w2r * f.cos2r));
  const T b = T(1) + t.beta * f.r12;
  const T u1 = T(1) / (t.alfa * (b * b));
  const T u2 = -T(2) * t.beta / (t.alfa * (b * b * b));
  const T laplacian = lap_phi / p.phi + T(2) * (u1 * u1 + u2 + T(2) * u1 / f.r12) +
                      T(2) * u1 * grad_difference / p.phi;
  const T kinetic = -(t.hbm / T(2)) * laplacian;
  return kinetic + f.potential;
}

template <class T>
VMC_FORMULA_INLINE covalent_ionic_evaluation<T> evaluate_covalent_ionic(const std::array<T, 6>& r,
                                                     const covalent_ionic_trial<T>& t) {
  const covalent_ionic_parts<T> p = (parts_of)(r, t);
  covalent_ionic_evaluation<T> out{(local_energy_of)((fixed_of)(p, t), p, t),
                                   p.phi * (correlation_factor)(p.r12, t), {}};
  // The gradient: the same terms as the local energy's, which the compiler shares.
  const T ia = T(1) / t.a;
  const T w1l = p.c1l * p.g1, w1r = p.c1r * p.h1, w2l = p.c2l * p.g2, w2r = p.c2r * p.h2;
  const T b = T(1) + t.beta * p.r12;
  const T u1 = T(1) / (t.alfa * (b * b));
  for (int k = 0; k < 3; ++k) {
    const std::size_t i = static_cast<std::size_t>(k);
    out.grad_ln_psi[i] = -ia * (w1l * p.e1l[i] + w1r * p.e1r[i]) / p.phi + u1 * p.e12[i];
    out.grad_ln_psi[i + 3] = -ia * (w2l * p.e2l[i] + w2r * p.e2r[i]) / p.phi - u1 * p.e12[i];
  }
  return out;
}
