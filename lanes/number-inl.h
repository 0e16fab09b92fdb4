// A vector of lanes as a number type: the operations the model's templated
// formulas are written with (model/number.h names them for float and
// double), each one vector instruction that rounds every lane exactly as the
// scalar operation does, so model/covalent_ionic-inl.h and walk/normal-inl.h
// instantiated here equal their scalar instantiations lane by lane.
//
// A per-target header: it is included once for each compiled target, so its
// guard toggles instead of staying defined.
#if defined(VMC_LANES_NUMBER_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef VMC_LANES_NUMBER_INL_H_
#undef VMC_LANES_NUMBER_INL_H_
#else
#define VMC_LANES_NUMBER_INL_H_
#endif

#include "hwy/highway.h"
#include "lanes/exp-inl.h"

HWY_BEFORE_NAMESPACE();
namespace vmc {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

template <class D>
struct lane_number {
  hn::Vec<D> v;
  // Trivial, so that arrays of lane numbers (std::array's own constructors
  // lack the target's instruction set) need no constructor call.
  lane_number() = default;
  HWY_INLINE explicit lane_number(hn::Vec<D> x) : v(x) {}
  // A constant in every lane, rounded to the lane type.
  HWY_INLINE explicit lane_number(double c) : v(hn::Set(D(), static_cast<hn::TFromD<D>>(c))) {}
};

template <class D>
struct lane_mask {
  hn::Mask<D> m;
};

template <class D>
HWY_INLINE lane_number<D> operator+(lane_number<D> a, lane_number<D> b) {
  return lane_number<D>(hn::Add(a.v, b.v));
}
template <class D>
HWY_INLINE lane_number<D> operator-(lane_number<D> a, lane_number<D> b) {
  return lane_number<D>(hn::Sub(a.v, b.v));
}
template <class D>
HWY_INLINE lane_number<D> operator*(lane_number<D> a, lane_number<D> b) {
  return lane_number<D>(hn::Mul(a.v, b.v));
}
template <class D>
HWY_INLINE lane_number<D> operator/(lane_number<D> a, lane_number<D> b) {
  return lane_number<D>(hn::Div(a.v, b.v));
}
template <class D>
HWY_INLINE lane_number<D> operator-(lane_number<D> a) {
  return lane_number<D>(hn::Neg(a.v));
}
template <class D>
HWY_INLINE lane_mask<D> operator<(lane_number<D> a, lane_number<D> b) {
  return {hn::Lt(a.v, b.v)};
}
template <class D>
HWY_INLINE lane_mask<D> operator>(lane_number<D> a, lane_number<D> b) {
  return {hn::Gt(a.v, b.v)};
}
template <class D>
HWY_INLINE lane_mask<D> operator>=(lane_number<D> a, lane_number<D> b) {
  return {hn::Ge(a.v, b.v)};
}
template <class D>
HWY_INLINE lane_mask<D> operator==(lane_number<D> a, lane_number<D> b) {
  return {hn::Eq(a.v, b.v)};
}

template <class D>
HWY_INLINE lane_number<D> if_then_else(lane_mask<D> m, lane_number<D> a, lane_number<D> b) {
  return lane_number<D>(hn::IfThenElse(m.m, a.v, b.v));
}
template <class D>
HWY_INLINE lane_number<D> square_root(lane_number<D> x) {
  return lane_number<D>(hn::Sqrt(x.v));
}
template <class D>
HWY_INLINE lane_number<D> floor_of(lane_number<D> x) {
  return lane_number<D>(hn::Floor(x.v));
}
// As power_of_two(double), lane by lane, with the same bit operations.
template <class D>
HWY_INLINE lane_number<D> power_of_two(lane_number<D> k) {
  const D d;
  const hn::RebindToUnsigned<D> du;
  const auto b = hn::BitCast(du, hn::Add(k.v, hn::Set(d, 4503599627371519.0)));
  return lane_number<D>(hn::BitCast(d, hn::ShiftLeft<52>(hn::And(b, hn::Set(du, 0x7FFull)))));
}
// As split_exponent(double) or (float), lane by lane, with the same bit
// operations.
template <class D>
HWY_INLINE void split_exponent(lane_number<D> x, lane_number<D>& m, lane_number<D>& e) {
  const D d;
  const hn::RebindToUnsigned<D> du;
  const auto b = hn::BitCast(du, x.v);
  if constexpr (sizeof(hn::TFromD<D>) == 8) {
    m.v = hn::BitCast(d, hn::Or(hn::And(b, hn::Set(du, 0x000FFFFFFFFFFFFFull)),
                                hn::Set(du, 0x3FF0000000000000ull)));
    const auto biased = hn::And(hn::ShiftRight<52>(b), hn::Set(du, 0x7FFull));
    e.v = hn::Sub(hn::BitCast(d, hn::Or(biased, hn::Set(du, 0x4330000000000000ull))),
                  hn::Set(d, 4503599627371519.0));
  } else {
    m.v = hn::BitCast(d, hn::Or(hn::And(b, hn::Set(du, 0x007FFFFFu)), hn::Set(du, 0x3F800000u)));
    const auto biased = hn::And(hn::ShiftRight<23>(b), hn::Set(du, 0xFFu));
    e.v = hn::Sub(hn::BitCast(d, hn::Or(biased, hn::Set(du, 0x4B000000u))), hn::Set(d, 8388735.0f));
  }
}

// For float lanes: (float) exp((double) x), as model_exp(float).
template <class D>
HWY_INLINE lane_number<D> model_exp(lane_number<D> x) {
  return lane_number<D>(ExpDoubleRoundedAnyWidth(D(), x.v));
}

}  // namespace HWY_NAMESPACE
}  // namespace vmc
HWY_AFTER_NAMESPACE();

#endif  // VMC_LANES_NUMBER_INL_H_
