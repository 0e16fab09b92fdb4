// The exponential in double (the weights of diffusion), and in float the
// logarithm (Box-Muller's and the acceptance test's), the cosine and sine of
// 2 pi u and Box-Muller's normal deviates, written once over a number type T
// from operations that are exactly rounded everywhere (+, -, *, /, square
// root, floor, compare, choose), so that every vector target computes them
// to the bit as the scalar code does; libm's log, exp, cos and sin carry no
// such promise. Each is accurate to a few units in the last place of its
// type.
//
// No include guard: it is included inside a namespace, once in vmc for the
// scalar types (walk/normal.h) and once in each vector target's namespace
// for the lanes (lanes/), where the unqualified if_then_else, floor_of,
// square_root, split_exponent and power_of_two find the lanes' own. It
// includes nothing; a comparison of two T gives a mask that if_then_else
// takes (a bool for the scalar types).

// The constants of the exponential's series, computed once when compiled:
// 1/n!.
struct normal_constants {
  double inverse_factorial[20];
};

constexpr normal_constants make_normal_constants() {
  normal_constants c{};
  double f = 1;
  for (int n = 0; n < 20; ++n) {
    if (n > 1) f /= n;
    c.inverse_factorial[n] = f;
  }
  return c;
}

// e^x (the weights of diffusion): x = k ln 2 + r with k = floor(x / ln 2 + 1/2), ln 2 in two parts (k
// ln2_high exact), |r| <= 0.347, the Taylor series of e^r to r^13 (the rest
// below 5e-18), times 2^k built from its bits. Within a few ulps of e^x for
// -708 <= x <= 709; below, 0 (where e^x is subnormal or less), above,
// +infinity (from 709 on rather than 709.78: never a weight worth having);
// NaN gives NaN.
template <class T>
VMC_FORMULA_INLINE T exact_exp(T x) {
  static constexpr normal_constants c = make_normal_constants();
  const T k = floor_of(x * T(1.4426950408889634) + T(0.5));
  const T r = (x - k * T(6.93147180369123816490e-01)) - k * T(1.90821492927058770002e-10);
  T p = T(c.inverse_factorial[13]);
  for (int n = 12; n >= 0; --n) p = p * r + T(c.inverse_factorial[n]);
  const T infinity = T(HUGE_VAL);
  const auto low = x < T(-708), high = x > T(709);
  // The scale of a lane that is replaced below is kept in range.
  T y = p * power_of_two(if_then_else(low, T(0), if_then_else(high, T(0), k)));
  y = if_then_else(low, T(0), y);
  y = if_then_else(high, infinity, y);
  return y;
}

// The diffusion's normal deviates (Box and Muller 1958), in float: their
// uniform inputs are floats (24 bits), which a double Box-Muller would not
// make any finer, and the float lanes hold twice the double ones.

// ln x in float (Box-Muller's and the acceptance test's): x = m 2^e with m
// in [sqrt(1/2), sqrt(2)] from x's bits, f = (m - 1)/(m + 1), the series of
// ln m to f^11 (the rest below 2e-9 of ln m), ln 2 in two parts, the first
// with 16 bits so that e ln2_high is exact for every float. Within a few
// float ulps of ln x for every normal float x; 0 gives -infinity, +infinity
// itself, a negative x or NaN gives NaN.
template <class T>
VMC_FORMULA_INLINE T float_log(T x) {
  T m, e;
  split_exponent(x, m, e);
  const auto past = m > T(1.41421356f);
  m = if_then_else(past, m * T(0.5f), m);
  e = if_then_else(past, e + T(1.0f), e);
  const T f = (m - T(1.0f)) / (m + T(1.0f));
  const T s = f * f;
  const T s2 = s * s;
  // 1/3 + s/5 + s^2/7 + s^3/9 + s^4/11, in pairs.
  const T p = (T(1.0f / 3) + T(1.0f / 5) * s) + s2 * ((T(1.0f / 7) + T(1.0f / 9) * s) + s2 * T(1.0f / 11));
  const T two_f = f + f;
  const T ln_m = two_f + two_f * (s * p);
  T y = e * T(0.693145751953125f) + (e * T(1.428606765330187e-06f) + ln_m);
  const T infinity = T(HUGE_VALF);
  y = if_then_else(x > T(0.0f), y, infinity - infinity);
  y = if_then_else(x == T(0.0f), -infinity, y);
  y = if_then_else(x == infinity, infinity, y);
  return y;
}

// cos(2 pi u) and sin(2 pi u) in float for u in [0, 1]: 4u = k + y with k
// an integer and |y| <= 1/2 (both exact), x = y pi/2, |x| <= pi/4, the
// Taylor series of sin x to x^9 and of cos x to x^10 (the rest below 2e-9),
// and the quadrant k mod 4 turns (cos x, sin x) by k quarter turns.
template <class T>
VMC_FORMULA_INLINE void cos_sin_two_pi(T u, T& cosine, T& sine) {
  const T t = u * T(4.0f);
  const T k = floor_of(t + T(0.5f));
  const T x = (t - k) * T(1.57079632679f);
  const T x2 = x * x;
  // sin x = x + x x^2 (-1/3! + x^2/5! - x^4/7! + x^6/9!),
  // cos x = 1 + x^2 (-1/2! + x^2/4! - x^4/6! + x^6/8! - x^8/10!).
  const T sp = T(-1.0f / 6) + x2 * (T(1.0f / 120) + x2 * (T(-1.0f / 5040) + x2 * T(1.0f / 362880)));
  const T cp = T(-0.5f) + x2 * (T(1.0f / 24) + x2 * (T(-1.0f / 720) + x2 * (T(1.0f / 40320) + x2 * T(-1.0f / 3628800))));
  const T sin_x = x + x * (x2 * sp);
  const T cos_x = T(1.0f) + x2 * cp;
  const T q = k - T(4.0f) * floor_of(k * T(0.25f));
  cosine = if_then_else(q == T(1.0f), -sin_x,
                        if_then_else(q == T(2.0f), -cos_x, if_then_else(q == T(3.0f), sin_x, cos_x)));
  sine = if_then_else(q == T(1.0f), cos_x,
                      if_then_else(q == T(2.0f), -sin_x, if_then_else(q == T(3.0f), -cos_x, sin_x)));
}

// Two standard normal deviates from two uniform ones in (0, 1]:
// sqrt(-2 ln u1) (cos 2 pi u2, sin 2 pi u2), in float.
template <class T>
VMC_FORMULA_INLINE void box_muller(T u1, T u2, T& z1, T& z2) {
  const T radius = square_root(T(-2.0f) * float_log(u1));
  T c, s;
  cos_sin_two_pi(u2, c, s);
  z1 = radius * c;
  z2 = radius * s;
}
