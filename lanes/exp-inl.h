// The model's double-precision exponential, (float) exp((double) x), in
// vector lanes: the float lanes are widened to double, taken through e^x in
// double (Highway's polynomial, our own reduction and scale, which the range
// allows to be short) and rounded back to float. Inside [-87, 88] this
// equals the scalar function on every float (bench/exhaustive-check proves it
// over all 2^32 inputs on each compiled target); a vector with any lane
// outside that range (a far electron, an infinity, a NaN) takes the scalar
// function lane by lane.
//
// A per-target header: it is included once for each compiled target, so its
// guard toggles instead of staying defined.
#if defined(VMC_LANES_EXP_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef VMC_LANES_EXP_INL_H_
#undef VMC_LANES_EXP_INL_H_
#else
#define VMC_LANES_EXP_INL_H_
#endif

#include <cmath>
#include <cstddef>

#include "hwy/contrib/math/math-inl.h"
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace vmc {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The range where the vector form needs no guard.
inline constexpr float lane_exp_low = -87.0f;
inline constexpr float lane_exp_high = 88.0f;

// e^x for doubles x in [-87, 88]: Highway's two-part reduction and its
// polynomial for e^r - 1 on |r| <= ln 2 / 2, with k = round(x / ln 2) taken
// in double and 2^k formed from k's bits (the range needs neither Highway's
// bounds nor its scale in two factors), and 2^k (e^r - 1) + 2^k in one
// fused multiply-add where the target has it.
template <class DD>
HWY_INLINE hn::Vec<DD> ExpInFloatRange(DD dd, hn::Vec<DD> x) {
  const auto k = hn::Round(hn::Mul(x, hn::Set(dd, 1.442695040888963407359924681)));
  auto r = hn::MulAdd(k, hn::Set(dd, -0.6931471805596629565116018), x);
  r = hn::MulAdd(k, hn::Set(dd, -0.28235290563031577122588448175e-12), r);
  // Highway's own polynomial (its internal one): bench/exhaustive-check
  // proves the whole again after any Highway upgrade.
  hn::impl::ExpImpl<double> impl;
  // k + 2^52 + 1023 holds k + 1023 in its low bits, which become the exponent.
  const hn::RebindToUnsigned<DD> du;
  const auto b = hn::BitCast(du, hn::Add(k, hn::Set(dd, 4503599627371519.0)));
  const auto scale = hn::BitCast(dd, hn::ShiftLeft<52>(b));
  return hn::MulAdd(impl.ExpPoly(dd, r), scale, scale);
}

// x in float lanes of tag DF, whose lanes are as many as those of a double
// vector (Rebind<float, D> of a double tag D).
template <class DF>
HWY_INLINE hn::Vec<DF> ExpDoubleRounded(DF df, hn::Vec<DF> x) {
  const hn::Rebind<double, DF> dd;
  auto y = hn::DemoteTo(df, ExpInFloatRange(dd, hn::PromoteTo(dd, x)));
  // A NaN compares false and so leaves the range too.
  const auto inside =
      hn::And(hn::Ge(x, hn::Set(df, lane_exp_low)), hn::Le(x, hn::Set(df, lane_exp_high)));
  if (HWY_UNLIKELY(!hn::AllTrue(df, inside))) {
    constexpr std::size_t most = hn::MaxLanes(df);
    HWY_ALIGN float xs[most];
    HWY_ALIGN float ys[most];
    hn::Store(x, df, xs);
    hn::Store(y, df, ys);
    for (std::size_t i = 0; i < hn::Lanes(df); ++i) {
      if (!(xs[i] >= lane_exp_low && xs[i] <= lane_exp_high)) {
        ys[i] = static_cast<float>(std::exp(static_cast<double>(xs[i])));
      }
    }
    y = hn::Load(df, ys);
  }
  return y;
}

// The same for float lanes of any tag DF of up to twice as many lanes as a
// double vector of the target holds (eight floats on AVX2): the two halves
// take the double exponential one after the other.
template <class DF>
HWY_INLINE hn::Vec<DF> ExpDoubleRoundedAnyWidth(DF df, hn::Vec<DF> x) {
#if HWY_TARGET == HWY_SCALAR
  return ExpDoubleRounded(df, x);
#else
  if constexpr (hn::MaxLanes(DF()) <= hn::MaxLanes(hn::ScalableTag<double>())) {
    return ExpDoubleRounded(df, x);
  } else {
    const hn::Half<DF> dh;
    return hn::Combine(df, ExpDoubleRounded(dh, hn::UpperHalf(dh, x)),
                       ExpDoubleRounded(dh, hn::LowerHalf(dh, x)));
  }
#endif
}

}  // namespace HWY_NAMESPACE
}  // namespace vmc
HWY_AFTER_NAMESPACE();

#endif  // VMC_LANES_EXP_INL_H_
