// L'Ecuyer's generator in double lanes, one generator per lane, equal to the
// scalar ecuyer::next of each lane to the bit.
//
// A per-target header: it is included once for each compiled target, so its
// guard toggles instead of staying defined.
#if defined(VMC_LANES_GENERATOR_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef VMC_LANES_GENERATOR_INL_H_
#undef VMC_LANES_GENERATOR_INL_H_
#else
#define VMC_LANES_GENERATOR_INL_H_
#endif

#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace vmc {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// One component of L'Ecuyer's generator, x -> a x mod m, in double lanes,
// equal to Schrage's decomposition for every x in 0 ... m - 1. The product
// p = a x is below 2^47, so exact. The quotient p (1/m), with 1/m rounded,
// is within 2^-36 of p/m (relative error below 2^-52 on a value below
// 2^15.4), while p/m, for x > 0, lies at least 1/m > 2^-31 from an integer
// (m is prime and a, x < m); so its floor is the exact quotient, and
// p - q m, exact too, is the residue: q m (below 2^47) and the difference
// are exact, so one fused multiply-add rounds nothing either, and gives the
// same residue as a product and a difference where a target lacks it.
template <class DD>
struct component {
  hn::Vec<DD> a, m, inv_m;
  HWY_INLINE hn::Vec<DD> step(hn::Vec<DD> x) const {
    const hn::Vec<DD> p = hn::Mul(a, x);
    const hn::Vec<DD> q = hn::Floor(hn::Mul(p, inv_m));
    return hn::NegMulAdd(q, m, p);
  }
};

template <class DD>
HWY_INLINE component<DD> make_component(DD dd, double a, double m) {
  return {hn::Set(dd, a), hn::Set(dd, m), hn::Set(dd, 1.0 / m)};
}

// The generators of one vector of lanes, their states exact integers in double.
template <class DD>
struct lane_generator {
  component<DD> c1, c2;
  hn::Vec<DD> x1, x2;

  HWY_INLINE lane_generator(DD dd, hn::Vec<DD> ix1, hn::Vec<DD> ix2)
      : c1(make_component(dd, 40014.0, 2147483563.0)),
        c2(make_component(dd, 40692.0, 2147483399.0)),
        x1(ix1),
        x2(ix2) {}

  // The next deviate of every lane: both components step, their difference
  // (plus m1 - 1 when below 1) is rounded to float and scaled by 2^-31 in
  // float, in float lanes as many as the double ones.
  HWY_INLINE hn::Vec<hn::Rebind<float, DD>> next() {
    const hn::Rebind<float, DD> df;
    const DD dd;
    x1 = c1.step(x1);
    x2 = c2.step(x2);
    hn::Vec<DD> z = hn::Sub(x1, x2);
    z = hn::IfThenElse(hn::Lt(z, hn::Set(dd, 1.0)), hn::Add(z, hn::Set(dd, 2147483562.0)), z);
    return hn::Mul(hn::DemoteTo(df, z), hn::Set(df, 4.656613e-10f));
  }
};

}  // namespace HWY_NAMESPACE
}  // namespace vmc
HWY_AFTER_NAMESPACE();

#endif  // VMC_LANES_GENERATOR_INL_H_
