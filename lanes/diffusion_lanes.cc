// The diffusion step in lanes, compiled once for every Highway target and
// dispatched at run time to the best one the processor has (or the one
// VMC_LANE_TARGET names).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "lanes/diffusion_lanes.cc"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "hwy/highway.h"
#include "lanes/diffusion_lanes.h"
#include "lanes/generator-inl.h"
#include "lanes/lane_walk.h"
#include "lanes/number-inl.h"

HWY_BEFORE_NAMESPACE();
namespace vmc {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The model's formulas over lane numbers, inlined into the step.
#undef VMC_FORMULA_INLINE
#define VMC_FORMULA_INLINE HWY_INLINE
#include "model/covalent_ionic-inl.h"
#include "walk/normal-inl.h"
#undef VMC_FORMULA_INLINE
#define VMC_FORMULA_INLINE inline

namespace {

// A group is as many walkers as a float vector holds, and at least eight:
// sixteen on AVX-512, eight in one vector on AVX2, and eight in two vectors
// on 128-bit targets. The double work (the generator and the weights) runs
// in double vectors of as many lanes as the target has, with their own
// float lanes for the deviates.
constexpr std::size_t group_width =
    hn::MaxLanes(hn::ScalableTag<float>()) > lane_width ? 2 * lane_width : lane_width;
using DF = hn::CappedTag<float, group_width>;
using DD = hn::CappedTag<double, group_width>;
using DFD = hn::Rebind<float, DD>;
using F = lane_number<DF>;
using D = lane_number<DD>;

// A group gathered: each walker's state, the trial move and its evaluation.
struct group {
  alignas(64) float r[6][group_width];
  alignas(64) float drift[6][group_width];
  alignas(64) float psi[group_width];
  alignas(64) double ix1[group_width];
  alignas(64) double ix2[group_width];
  alignas(64) float u[6][group_width];  // the uniform deviates, then the normal ones
  alignas(64) float next[6][group_width];
  alignas(64) float next_eloc[group_width];
  alignas(64) float next_psi[group_width];
  alignas(64) float next_drift[6][group_width];
  alignas(64) float test_u[group_width];    // the acceptance test's deviate
  alignas(64) float accepted[group_width];  // 1 or 0
  alignas(64) double branch[group_width];   // the branching's deviate
};

template <class Tag>
HWY_INLINE std::array<lane_number<Tag>, 6> load6(Tag d, const float (&x)[6][group_width],
                                                 std::size_t base) {
  std::array<lane_number<Tag>, 6> out;
  for (std::size_t i = 0; i < 6; ++i) out[i] = lane_number<Tag>(hn::LoadU(d, x[i] + base));
  return out;
}

HWY_INLINE covalent_ionic_trial<F> broadcast(const covalent_ionic_trial<float>& t) {
  return {F(t.s), F(t.a), F(t.alfa), F(t.beta), F(t.lambda), F(t.e2), F(t.hbm)};
}

HWY_INLINE D widen(hn::Vec<DFD> x) { return D(hn::PromoteTo(DD(), x)); }
HWY_INLINE D widen_at(const float* p) { return widen(hn::LoadU(DFD(), p)); }

// The six uniform deviates of each lane, as diffusion_step draws them.
HWY_INLINE void draw_uniform(group& g, std::size_t base) {
  const DD dd;
  lane_generator<DD> gen(dd, hn::LoadU(dd, g.ix1 + base), hn::LoadU(dd, g.ix2 + base));
  for (std::size_t i = 0; i < 6; ++i) hn::StoreU(gen.next(), DFD(), g.u[i] + base);
  hn::StoreU(gen.x1, dd, g.ix1 + base);
  hn::StoreU(gen.x2, dd, g.ix2 + base);
}

// Box-Muller in float lanes at full width.
HWY_INLINE void normal_at(group& g, std::size_t base) {
  const DF df;
  for (std::size_t i = 0; i < 6; i += 2) {
    F z1, z2;
    box_muller(F(hn::LoadU(df, g.u[i] + base)), F(hn::LoadU(df, g.u[i + 1] + base)), z1, z2);
    hn::StoreU(z1.v, df, g.u[i] + base);
    hn::StoreU(z2.v, df, g.u[i + 1] + base);
  }
}

// The trial positions, as diffusion_step forms them: r + (hbm tau v +
// sqrt(hbm tau) z), in float.
HWY_INLINE void propose(group& g, std::size_t base, F hbm_tau, F spread) {
  const DF df;
  for (std::size_t i = 0; i < 6; ++i) {
    const F sum = F(hn::LoadU(df, g.r[i] + base)) + (hbm_tau * F(hn::LoadU(df, g.drift[i] + base)) +
                                                     spread * F(hn::LoadU(df, g.u[i] + base)));
    hn::StoreU(sum.v, df, g.next[i] + base);
  }
}

HWY_INLINE void evaluate_at(group& g, std::size_t base, const covalent_ionic_trial<F>& t) {
  const DF df;
  const covalent_ionic_evaluation<F> e = (evaluate_covalent_ionic)(load6(df, g.next, base), t);
  hn::StoreU(e.eloc.v, df, g.next_eloc + base);
  hn::StoreU(e.psi.v, df, g.next_psi + base);
  for (std::size_t i = 0; i < 6; ++i) hn::StoreU(e.grad_ln_psi[i].v, df, g.next_drift[i] + base);
}

// The deviates after the move's six: the acceptance test's, drawn whatever
// the move, and the branching's.
HWY_INLINE void draw_test_and_branch(group& g, std::size_t base) {
  const DD dd;
  lane_generator<DD> gen(dd, hn::LoadU(dd, g.ix1 + base), hn::LoadU(dd, g.ix2 + base));
  hn::StoreU(gen.next(), DFD(), g.test_u + base);
  hn::StoreU(widen(gen.next()).v, dd, g.branch + base);
  hn::StoreU(gen.x1, dd, g.ix1 + base);
  hn::StoreU(gen.x2, dd, g.ix2 + base);
}

// The acceptance test, as diffusion_step forms it, in float.
HWY_INLINE void test(group& g, std::size_t base, F hbm_tau) {
  const DF df;
  F forward(0.0), backward(0.0);
  for (std::size_t i = 0; i < 6; ++i) {
    const F to = F(hn::LoadU(df, g.next[i] + base)) - F(hn::LoadU(df, g.r[i] + base));
    const F f = to - hbm_tau * F(hn::LoadU(df, g.drift[i] + base));
    const F b = -to - hbm_tau * F(hn::LoadU(df, g.next_drift[i] + base));
    forward = forward + f * f;
    backward = backward + b * b;
  }
  const F psi(hn::LoadU(df, g.next_psi + base));
  const F ratio = psi / F(hn::LoadU(df, g.psi + base));
  const F green = (forward - backward) / (F(2.0) * hbm_tau);
  const F u(hn::LoadU(df, g.test_u + base));
  const F eloc(hn::LoadU(df, g.next_eloc + base));
  // A trial where psi vanishes or the local energy is not finite is refused.
  const auto sound =
      hn::And(hn::Gt(psi.v, hn::Zero(df)), hn::Lt(hn::Abs(eloc.v), hn::Set(df, HUGE_VALF)));
  const auto accepted = hn::And(sound, hn::Lt(float_log(u / (ratio * ratio)).v, green.v));
  hn::StoreU(hn::IfThenElseZero(accepted, hn::Set(df, 1.0f)), df, g.accepted + base);
}

// A walker is one cache line of 16 four-byte fields: r (6), eloc, psi,
// drift (6) and the generator's two states. Where a float vector holds eight
// lanes or more, each eight walkers of a group are gathered as two 8 x 8
// blocks of walker rows turned into columns, and scattered back the same
// way; elsewhere field by field.
static_assert(sizeof(diffusion_walker) == 16 * sizeof(float) &&
              offsetof(diffusion_walker, eloc) == 24 && offsetof(diffusion_walker, psi) == 28 &&
              offsetof(diffusion_walker, drift) == 32 && offsetof(diffusion_walker, g) == 56 &&
              sizeof(ecuyer) == 8);

#if HWY_TARGET != HWY_SCALAR && HWY_MAX_BYTES >= 32
#define VMC_ROWS_OF_EIGHT 1
using D8 = hn::CappedTag<float, 8>;
using V8 = hn::Vec<D8>;
static_assert(hn::MaxLanes(D8()) == 8 && group_width % 8 == 0);

// Rows to columns of eight float vectors of eight (its own inverse): pairs
// of lanes, then pairs of pairs, then the two 128-bit halves.
HWY_INLINE void transpose8(V8 (&v)[8]) {
  const D8 df;
  const hn::Repartition<double, D8> d64;
  V8 t[8];
  for (std::size_t k = 0; k < 8; k += 2) {
    t[k] = hn::InterleaveLower(df, v[k], v[k + 1]);
    t[k + 1] = hn::InterleaveUpper(df, v[k], v[k + 1]);
  }
  V8 u[8];
  for (std::size_t k = 0; k < 8; k += 4) {
    for (std::size_t j = 0; j < 2; ++j) {
      const auto a = hn::BitCast(d64, t[k + j]), b = hn::BitCast(d64, t[k + j + 2]);
      u[k + 2 * j] = hn::BitCast(df, hn::InterleaveLower(d64, a, b));
      u[k + 2 * j + 1] = hn::BitCast(df, hn::InterleaveUpper(d64, a, b));
    }
  }
  for (std::size_t k = 0; k < 4; ++k) {
    v[k] = hn::ConcatLowerLower(df, u[k + 4], u[k]);
    v[k + 4] = hn::ConcatUpperUpper(df, u[k + 4], u[k]);
  }
}
#else
#define VMC_ROWS_OF_EIGHT 0
#endif

// Each walker's state into the group's columns, and its local energy into
// `before`; lanes past n take walker 0.
HWY_INLINE void gather(const diffusion_walker* w, std::size_t n, group& g, float* before) {
#if VMC_ROWS_OF_EIGHT
  const D8 df;
  const hn::Rebind<std::int32_t, D8> di;
  const hn::Rebind<std::int32_t, DD> dih;
  alignas(64) std::int32_t ix[2][group_width];
  for (std::size_t o = 0; o < group_width; o += 8) {
    const auto row = [&](std::size_t k) {
      return reinterpret_cast<const float*>(w + (o + k < n ? o + k : 0));
    };
    V8 a[8];
    for (std::size_t k = 0; k < 8; ++k) a[k] = hn::LoadU(df, row(k));
    transpose8(a);
    for (std::size_t i = 0; i < 6; ++i) hn::Store(a[i], df, g.r[i] + o);
    hn::Store(a[6], df, before + o);
    hn::Store(a[7], df, g.psi + o);
    V8 b[8];
    for (std::size_t k = 0; k < 8; ++k) b[k] = hn::LoadU(df, row(k) + 8);
    transpose8(b);
    for (std::size_t i = 0; i < 6; ++i) hn::Store(b[i], df, g.drift[i] + o);
    hn::Store(hn::BitCast(di, b[6]), di, ix[0] + o);
    hn::Store(hn::BitCast(di, b[7]), di, ix[1] + o);
  }
  for (std::size_t base = 0; base < group_width; base += hn::Lanes(DD())) {
    hn::Store(hn::PromoteTo(DD(), hn::Load(dih, ix[0] + base)), DD(), g.ix1 + base);
    hn::Store(hn::PromoteTo(DD(), hn::Load(dih, ix[1] + base)), DD(), g.ix2 + base);
  }
#else
  for (std::size_t k = 0; k < group_width; ++k) {
    const diffusion_walker& x = w[k < n ? k : 0];
    for (std::size_t i = 0; i < 6; ++i) {
      g.r[i][k] = x.r[i];
      g.drift[i][k] = x.drift[i];
    }
    before[k] = x.eloc;
    g.psi[k] = x.psi;
    g.ix1[k] = x.g.ix1;
    g.ix2[k] = x.g.ix2;
  }
#endif
}

// The first n walkers after the step: the trial's state where it was
// accepted, the old one elsewhere, and the generators where they stopped.
HWY_INLINE void scatter(const group& g, const float* before, std::size_t n, diffusion_walker* w,
                        float* after) {
#if VMC_ROWS_OF_EIGHT
  const D8 df;
  const hn::Rebind<std::int32_t, D8> di;
  const hn::Rebind<std::int32_t, DD> dih;
  alignas(64) std::int32_t ix[2][group_width];
  for (std::size_t base = 0; base < group_width; base += hn::Lanes(DD())) {
    hn::Store(hn::DemoteTo(dih, hn::Load(DD(), g.ix1 + base)), dih, ix[0] + base);
    hn::Store(hn::DemoteTo(dih, hn::Load(DD(), g.ix2 + base)), dih, ix[1] + base);
  }
  for (std::size_t o = 0; o < n; o += 8) {
    const std::size_t m = std::min<std::size_t>(8, n - o);
    const auto moved = hn::Ne(hn::Load(df, g.accepted + o), hn::Zero(df));
    const auto pick = [&](const float* next, const float* old) {
      return hn::IfThenElse(moved, hn::Load(df, next + o), hn::Load(df, old + o));
    };
    V8 a[8];
    for (std::size_t i = 0; i < 6; ++i) a[i] = pick(g.next[i], g.r[i]);
    a[6] = pick(g.next_eloc, before);
    a[7] = pick(g.next_psi, g.psi);
    transpose8(a);
    for (std::size_t k = 0; k < m; ++k) hn::StoreU(a[k], df, reinterpret_cast<float*>(w + o + k));
    V8 b[8];
    for (std::size_t i = 0; i < 6; ++i) b[i] = pick(g.next_drift[i], g.drift[i]);
    b[6] = hn::BitCast(df, hn::Load(di, ix[0] + o));
    b[7] = hn::BitCast(df, hn::Load(di, ix[1] + o));
    transpose8(b);
    for (std::size_t k = 0; k < m; ++k) {
      hn::StoreU(b[k], df, reinterpret_cast<float*>(w + o + k) + 8);
    }
  }
#else
  for (std::size_t k = 0; k < n; ++k) {
    diffusion_walker& x = w[k];
    if (g.accepted[k] != 0.0f) {
      for (std::size_t i = 0; i < 6; ++i) {
        x.r[i] = g.next[i][k];
        x.drift[i] = g.next_drift[i][k];
      }
      x.eloc = g.next_eloc[k];
      x.psi = g.next_psi[k];
    }
    x.g = {static_cast<std::int32_t>(g.ix1[k]), static_cast<std::int32_t>(g.ix2[k])};
  }
#endif
  for (std::size_t k = 0; k < group_width; ++k) {
    after[k] = g.accepted[k] != 0.0f ? g.next_eloc[k] : before[k];
  }
}

// Each lane's weigh(): the cut local energies before and after (std::clamp's
// comparisons, in its order) and the weight's exponential.
HWY_INLINE void weigh_at(const float* before, const float* after, std::size_t base,
                         const diffusion_weighing& h, double* cut_after, double* weight) {
  const DD dd;
  const D e_best(h.e_best), low(-h.e_cut), high(h.e_cut);
  const auto cut = [&](D e) {
    const D v = e - e_best;
    return e_best + D(hn::IfThenElse(hn::Lt(v.v, low.v), low.v,
                                     hn::IfThenElse(hn::Lt(high.v, v.v), high.v, v.v)));
  };
  const D b = cut(widen_at(before + base)), a = cut(widen_at(after + base));
  hn::StoreU(a.v, dd, cut_after + base);
  hn::StoreU(exact_exp(D(-h.tau_eff) * (D(0.5) * (b + a) - D(h.e_trial))).v, dd, weight + base);
}

#undef VMC_ROWS_OF_EIGHT

}  // namespace

// The walkers group by group, each group's lanes past its last walker
// holding copies of its first, walked and dropped.
void DiffusionStepLanes(diffusion_walker* walkers, std::size_t count,
                        const covalent_ionic_trial<float>& t, double tau,
                        const diffusion_weighing& h, diffusion_move* moves,
                        diffusion_weight* weighed) {
  const double hbm_tau_scalar = static_cast<double>(t.hbm) * tau;
  const F hbm_tau(hbm_tau_scalar);
  const F spread(std::sqrt(hbm_tau_scalar));
  const covalent_ionic_trial<F> lanes_trial = broadcast(t);
  const std::size_t doubles = hn::Lanes(DD()), floats = hn::Lanes(DF());
  for (std::size_t first = 0; first < count; first += group_width) {
    diffusion_walker* const w = walkers + first;
    const std::size_t n = std::min(group_width, count - first);
    group g;
    alignas(64) float before[group_width], after[group_width];
    alignas(64) double cut_after[group_width], weight[group_width];
    gather(w, n, g, before);
    for (std::size_t base = 0; base < group_width; base += doubles) draw_uniform(g, base);
    for (std::size_t base = 0; base < group_width; base += floats) normal_at(g, base);
    for (std::size_t base = 0; base < group_width; base += floats) {
      propose(g, base, hbm_tau, spread);
    }
    for (std::size_t base = 0; base < group_width; base += floats) {
      evaluate_at(g, base, lanes_trial);
    }
    for (std::size_t base = 0; base < group_width; base += doubles) draw_test_and_branch(g, base);
    for (std::size_t base = 0; base < group_width; base += floats) test(g, base, hbm_tau);
    scatter(g, before, n, w, after);
    for (std::size_t base = 0; base < group_width; base += doubles) {
      weigh_at(before, after, base, h, cut_after, weight);
    }
    for (std::size_t k = 0; k < n; ++k) {
      moves[first + k] = {g.accepted[k] != 0.0f, before[k], after[k], g.branch[k]};
      weighed[first + k] = {cut_after[k], weight[k]};
    }
  }
}

void EvaluateCovalentIonicLanes(const coords* r, std::size_t n,
                                const covalent_ionic_trial<float>& t,
                                covalent_ionic_evaluation<float>* out) {
  const DF df;
  const std::size_t lanes = hn::Lanes(df);
  const covalent_ionic_trial<F> lanes_trial = broadcast(t);
  for (std::size_t first = 0; first < n; first += lanes) {
    HWY_ALIGN float x[6][hn::MaxLanes(DF())];
    HWY_ALIGN float eloc[hn::MaxLanes(DF())], psi[hn::MaxLanes(DF())];
    HWY_ALIGN float grad[6][hn::MaxLanes(DF())];
    for (std::size_t k = 0; k < lanes; ++k) {
      const coords& c = r[std::min(first + k, n - 1)];
      for (std::size_t i = 0; i < 6; ++i) x[i][k] = c[i];
    }
    std::array<F, 6> v;
    for (std::size_t i = 0; i < 6; ++i) v[i] = F(hn::Load(df, x[i]));
    const covalent_ionic_evaluation<F> e = (evaluate_covalent_ionic)(v, lanes_trial);
    hn::Store(e.eloc.v, df, eloc);
    hn::Store(e.psi.v, df, psi);
    for (std::size_t i = 0; i < 6; ++i) hn::Store(e.grad_ln_psi[i].v, df, grad[i]);
    for (std::size_t k = 0; k < lanes && first + k < n; ++k) {
      covalent_ionic_evaluation<float>& o = out[first + k];
      o.eloc = eloc[k];
      o.psi = psi[k];
      for (std::size_t i = 0; i < 6; ++i) o.grad_ln_psi[i] = grad[i][k];
    }
  }
}

void FixedPartsLanes(const coords* r, std::size_t n, const covalent_ionic_trial<float>& t,
                     const std::array<float*, 10>& out) {
  const DF df;
  const std::size_t lanes = hn::Lanes(df);
  const covalent_ionic_trial<F> lanes_trial = broadcast(t);
  for (std::size_t first = 0; first < n; first += lanes) {
    HWY_ALIGN float x[6][hn::MaxLanes(DF())];
    HWY_ALIGN float y[10][hn::MaxLanes(DF())];
    for (std::size_t k = 0; k < lanes; ++k) {
      const coords& c = r[std::min(first + k, n - 1)];
      for (std::size_t i = 0; i < 6; ++i) x[i][k] = c[i];
    }
    std::array<F, 6> v;
    for (std::size_t i = 0; i < 6; ++i) v[i] = F(hn::Load(df, x[i]));
    const covalent_ionic_fixed<F> f = (fixed_of)((geometry_of)(v, lanes_trial), lanes_trial);
    const F* columns[10] = {&f.r1l,   &f.r1r,   &f.r2l,   &f.r2r,   &f.r12,
                            &f.cos1l, &f.cos1r, &f.cos2l, &f.cos2r, &f.potential};
    for (std::size_t c = 0; c < 10; ++c) hn::Store(columns[c]->v, df, y[c]);
    for (std::size_t k = 0; k < lanes && first + k < n; ++k) {
      for (std::size_t c = 0; c < 10; ++c) out[c][first + k] = y[c][k];
    }
  }
}

void ReweightingSumsLanes(const std::array<const float*, 10>& fixed, const float* psi,
                          std::size_t n, const covalent_ionic_trial<float>& t,
                          reweighting_sums& sums) {
  // The local energies in float vectors as wide as the target has (16 lanes
  // on AVX-512, where the sums' lane_width partial sums take two rows), the
  // sums in double vectors.
  using DW = hn::ScalableTag<float>;
  using W = lane_number<DW>;
  const DW dw;
  const DD dd;
  const covalent_ionic_trial<W> wide_trial{W(t.s), W(t.a),  W(t.alfa), W(t.beta),
                                          W(t.lambda), W(t.e2), W(t.hbm)};
  constexpr std::size_t block =
      hn::MaxLanes(DW()) > lane_width ? hn::MaxLanes(DW()) : lane_width;
  const std::size_t wide = hn::Lanes(dw);
  // The partial sums stay in registers: lane_width of them in `rows` double
  // vectors each.
  constexpr std::size_t doubles = hn::MaxLanes(DD());
  constexpr std::size_t rows = lane_width / doubles;
  hn::Vec<DD> acc[4][rows];
  double* const to[4] = {sums.w, sums.w2, sums.we, sums.wee};
  for (std::size_t q = 0; q < 4; ++q) {
    for (std::size_t m = 0; m < rows; ++m) acc[q][m] = hn::LoadU(dd, to[q] + m * doubles);
  }
  for (std::size_t first = 0; first < n; first += block) {
    // A last block short of whole is filled with its last configuration
    // sampled at psi NaN, which every sum leaves out.
    HWY_ALIGN float x[10][block];
    HWY_ALIGN float old_psi[block];
    const float* column[10];
    const float* sampled = psi + first;
    if (first + block > n) {
      for (std::size_t k = 0; k < block; ++k) {
        const std::size_t i = std::min(first + k, n - 1);
        for (std::size_t c = 0; c < 10; ++c) x[c][k] = fixed[c][i];
        old_psi[k] = first + k < n ? psi[i] : std::numeric_limits<float>::quiet_NaN();
      }
      for (std::size_t c = 0; c < 10; ++c) column[c] = x[c];
      sampled = old_psi;
    } else {
      for (std::size_t c = 0; c < 10; ++c) column[c] = fixed[c] + first;
    }
    HWY_ALIGN float eloc[block], psi_t[block];
    for (std::size_t base = 0; base < block; base += wide) {
      const auto at = [&](std::size_t c) { return W(hn::LoadU(dw, column[c] + base)); };
      const covalent_ionic_fixed<W> f{at(0), at(1), at(2), at(3), at(4),
                                      at(5), at(6), at(7), at(8), at(9)};
      covalent_ionic_parts<W> p;
      p.r1l = f.r1l;
      p.r1r = f.r1r;
      p.r2l = f.r2l;
      p.r2r = f.r2r;
      p.r12 = f.r12;
      (orbitals_at)(p, wide_trial);
      hn::StoreU((local_energy_of)(f, p, wide_trial).v, dw, eloc + base);
      hn::StoreU((p.phi * (correlation_factor)(f.r12, wide_trial)).v, dw, psi_t + base);
    }
    for (std::size_t base = 0; base < block; base += doubles) {
      const D e = widen_at(eloc + base);
      const D ratio = widen_at(psi_t + base) / widen_at(sampled + base);
      const D w = ratio * ratio;
      const D we = w * e;
      const auto keep = hn::IsFinite(we.v);
      const std::size_t m = (base % lane_width) / doubles;
      acc[0][m] = hn::Add(acc[0][m], hn::IfThenElseZero(keep, w.v));
      acc[1][m] = hn::Add(acc[1][m], hn::IfThenElseZero(keep, (w * w).v));
      acc[2][m] = hn::Add(acc[2][m], hn::IfThenElseZero(keep, we.v));
      acc[3][m] = hn::Add(acc[3][m], hn::IfThenElseZero(keep, (we * e).v));
    }
  }
  for (std::size_t q = 0; q < 4; ++q) {
    for (std::size_t m = 0; m < rows; ++m) hn::StoreU(acc[q][m], dd, to[q] + m * doubles);
  }
}

void FloatLogLanes(const float* x, float* y, std::size_t n) {
  const DF df;
  const std::size_t lanes = hn::Lanes(df);
  for (std::size_t first = 0; first < n; first += lanes) {
    HWY_ALIGN float in[hn::MaxLanes(DF())], result[hn::MaxLanes(DF())];
    for (std::size_t k = 0; k < lanes; ++k) in[k] = x[std::min(first + k, n - 1)];
    hn::Store(float_log(F(hn::Load(df, in))).v, df, result);
    for (std::size_t k = 0; k < lanes && first + k < n; ++k) y[first + k] = result[k];
  }
}

void ExactExpLanes(const double* x, double* y, std::size_t n) {
  const DD dd;
  const std::size_t lanes = hn::Lanes(dd);
  std::size_t first = 0;
  for (; first + lanes <= n; first += lanes) {
    hn::StoreU(exact_exp(D(hn::LoadU(dd, x + first))).v, dd, y + first);
  }
  if (first == n) return;
  HWY_ALIGN double in[hn::MaxLanes(DD())] = {}, result[hn::MaxLanes(DD())];
  for (std::size_t k = 0; first + k < n; ++k) in[k] = x[first + k];
  hn::Store(exact_exp(D(hn::Load(dd, in))).v, dd, result);
  for (std::size_t k = 0; first + k < n; ++k) y[first + k] = result[k];
}

void BoxMullerLanes(const float* u1, const float* u2, float* z1, float* z2, std::size_t n) {
  const DF df;
  const std::size_t lanes = hn::Lanes(df);
  for (std::size_t first = 0; first < n; first += lanes) {
    HWY_ALIGN float a[hn::MaxLanes(DF())], b[hn::MaxLanes(DF())];
    HWY_ALIGN float c[hn::MaxLanes(DF())], d[hn::MaxLanes(DF())];
    for (std::size_t k = 0; k < lanes; ++k) {
      a[k] = u1[std::min(first + k, n - 1)];
      b[k] = u2[std::min(first + k, n - 1)];
    }
    F x, y;
    box_muller(F(hn::Load(df, a)), F(hn::Load(df, b)), x, y);
    hn::Store(x.v, df, c);
    hn::Store(y.v, df, d);
    for (std::size_t k = 0; k < lanes && first + k < n; ++k) {
      z1[first + k] = c[k];
      z2[first + k] = d[k];
    }
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace vmc
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vmc {

HWY_EXPORT(DiffusionStepLanes);
HWY_EXPORT(EvaluateCovalentIonicLanes);
HWY_EXPORT(FixedPartsLanes);
HWY_EXPORT(ReweightingSumsLanes);
HWY_EXPORT(FloatLogLanes);
HWY_EXPORT(BoxMullerLanes);
HWY_EXPORT(ExactExpLanes);

void diffusion_step_lanes(diffusion_walker* w, std::size_t n, const covalent_ionic_trial<float>& t,
                          double tau, const diffusion_weighing& h, diffusion_move* out,
                          diffusion_weight* weights) {
  for (std::size_t k = 0; k < n; ++k) {
    // The lanes step a x mod m, which Schrage's step equals only in 0 ... m - 1.
    if (w[k].g.ix1 < 0 || w[k].g.ix1 >= 2147483563 || w[k].g.ix2 < 0 || w[k].g.ix2 >= 2147483399) {
      throw std::invalid_argument("diffusion_step_lanes: a generator state outside 0 ... m - 1");
    }
  }
  if (n == 0) return;
  lane_target_from_environment();
  HWY_DYNAMIC_DISPATCH(DiffusionStepLanes)(w, n, t, tau, h, out, weights);
}

void evaluate_covalent_ionic_lanes(const coords* r, std::size_t n,
                                   const covalent_ionic_trial<float>& t,
                                   covalent_ionic_evaluation<float>* out) {
  if (n == 0) return;
  lane_target_from_environment();
  HWY_DYNAMIC_DISPATCH(EvaluateCovalentIonicLanes)(r, n, t, out);
}

void fixed_parts_lanes(const coords* r, std::size_t n, const covalent_ionic_trial<float>& t,
                       const std::array<float*, 10>& out) {
  if (n == 0) return;
  lane_target_from_environment();
  HWY_DYNAMIC_DISPATCH(FixedPartsLanes)(r, n, t, out);
}

void reweighting_sums_lanes(const std::array<const float*, 10>& fixed, const float* psi,
                            std::size_t n, const covalent_ionic_trial<float>& t,
                            reweighting_sums& sums) {
  if (n == 0) return;
  lane_target_from_environment();
  HWY_DYNAMIC_DISPATCH(ReweightingSumsLanes)(fixed, psi, n, t, sums);
}

void float_log_lanes(const float* x, float* y, std::size_t n) {
  if (n == 0) return;
  lane_target_from_environment();
  HWY_DYNAMIC_DISPATCH(FloatLogLanes)(x, y, n);
}

void exact_exp_lanes(const double* x, double* y, std::size_t n) {
  if (n == 0) return;
  lane_target_from_environment();
  HWY_DYNAMIC_DISPATCH(ExactExpLanes)(x, y, n);
}

void box_muller_lanes(const float* u1, const float* u2, float* z1, float* z2, std::size_t n) {
  if (n == 0) return;
  lane_target_from_environment();
  HWY_DYNAMIC_DISPATCH(BoxMullerLanes)(u1, u2, z1, z2, n);
}

}  // namespace vmc
#endif  // HWY_ONCE
