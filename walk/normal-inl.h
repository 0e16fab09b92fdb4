// The logarithm, the cosine and sine of 2 pi u, and Box-Muller's normal
// deviates, written once over a double number type T from operations that
// are exactly rounded everywhere (+, -, *, /, square root, floor, compare,
// choose), so that every vector target computes them to the bit as the
// scalar code does; libm's log, cos and sin carry no such promise. Each is
// accurate to a few units in the last place of a double, far below what the
// float walk resolves.
//
// No include guard: it is included inside a namespace, once in vmc for double
// (walk/normal.h) and once in each vector target's namespace for double lanes
// (lanes/), where the unqualified if_then_else, floor_of and square_root find
// the lanes' own. It includes nothing; a comparison of two T gives a mask
// that if_then_else takes (a bool for double).

// 2^k and 1/n!, as constants.
constexpr double power_of_two(int k) {
  double p = 1;
  for (; k > 0; --k) p *= 2;
  for (; k < 0; ++k) p /= 2;
  return p;
}
constexpr double inverse_factorial(int n) {
  double f = 1;
  for (int i = 2; i <= n; ++i) f /= i;
  return f;
}

// ln x for x > 0: x = m 2^e with m in [sqrt(1/2), sqrt(2)] by exact scaling,
// ln m = 2 atanh(f) = 2 (f + f^3/3 + f^5/5 + ...), f = (m - 1)/(m + 1),
// |f| <= 0.172, the series to f^23 (the rest below 1e-18 of ln m), and
// ln x = e ln 2 + ln m with ln 2 in two parts, the first exact times e.
// Exact for x in 2^-511 ... 2^511 to a few ulps; 0 gives -infinity,
// +infinity itself, a negative x or NaN gives NaN.
template <class T>
T exact_log(T x) {
  T m = x;
  T e = T(0);
  // Greedy binary steps bring m into [1, 2): down by 2^k while m >= 2^k,
  // up by 2^k while m < 2^(1 - k).
  for (int k = 256; k >= 1; k /= 2) {
    const T up = T(power_of_two(k)), down = T(power_of_two(-k));
    const auto above = m >= up;
    m = if_then_else(above, m * down, m);
    e = if_then_else(above, e + T(k), e);
  }
  for (int k = 256; k >= 1; k /= 2) {
    const T up = T(power_of_two(k)), limit = T(power_of_two(1 - k));
    const auto below = m < limit;
    m = if_then_else(below, m * up, m);
    e = if_then_else(below, e - T(k), e);
  }
  const auto past = m > T(1.4142135623730951);
  m = if_then_else(past, m * T(0.5), m);
  e = if_then_else(past, e + T(1), e);
  const T f = (m - T(1)) / (m + T(1));
  const T s = f * f;
  T p = T(1.0 / 23);
  for (int n = 21; n >= 3; n -= 2) p = p * s + T(1.0 / n);
  const T two_f = f + f;
  const T ln_m = two_f + two_f * (s * p);
  // ln 2 = ln2_high + ln2_low, ln2_high with 32 bits, so e ln2_high is exact.
  T y = e * T(6.93147180369123816490e-01) + (e * T(1.90821492927058770002e-10) + ln_m);
  const T infinity = T(HUGE_VAL);
  y = if_then_else(x == T(0), -infinity, y);
  y = if_then_else(x == infinity, infinity, y);
  y = if_then_else(x < T(0), infinity - infinity, y);
  return y;
}

// cos(2 pi u) and sin(2 pi u) for u in [0, 1]: 4u = k + y with k an integer
// and |y| <= 1/2 (both exact), x = y pi/2, |x| <= pi/4, Taylor series of
// sin x to x^19 and of cos x to x^18 (the rest below 3e-19), and the
// quadrant k mod 4 turns (cos x, sin x) by k quarter turns.
template <class T>
void cos_sin_two_pi(T u, T& c, T& s) {
  const T t = u * T(4);
  const T k = floor_of(t + T(0.5));
  const T x = (t - k) * T(1.5707963267948966);
  const T x2 = x * x;
  // sin x = x + x x^2 (-1/3! + x^2/5! - ... - x^16/19!),
  // cos x = 1 + x^2 (-1/2! + x^2/4! - ... - x^16/18!).
  T sp = T(-inverse_factorial(19));
  for (int n = 17; n >= 3; n -= 2) {
    sp = sp * x2 + T((n - 1) / 2 % 2 == 0 ? inverse_factorial(n) : -inverse_factorial(n));
  }
  T cp = T(-inverse_factorial(18));
  for (int n = 16; n >= 2; n -= 2) {
    cp = cp * x2 + T(n / 2 % 2 == 0 ? inverse_factorial(n) : -inverse_factorial(n));
  }
  const T sin_x = x + x * (x2 * sp);
  const T cos_x = T(1) + x2 * cp;
  const T q = k - T(4) * floor_of(k * T(0.25));
  c = if_then_else(q == T(1), -sin_x,
                   if_then_else(q == T(2), -cos_x, if_then_else(q == T(3), sin_x, cos_x)));
  s = if_then_else(q == T(1), cos_x,
                   if_then_else(q == T(2), -sin_x, if_then_else(q == T(3), -cos_x, sin_x)));
}

// Two standard normal deviates from two uniform ones in (0, 1] (Box and
// Muller 1958): sqrt(-2 ln u1) (cos 2 pi u2, sin 2 pi u2).
template <class T>
void box_muller(T u1, T u2, T& z1, T& z2) {
  const T radius = square_root(T(-2) * exact_log(u1));
  T c, s;
  cos_sin_two_pi(u2, c, s);
  z1 = radius * c;
  z2 = radius * s;
}
