// The lane walk, compiled once for every Highway target and dispatched at run
// time to the best one the processor has.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "lanes/lane_walk.cc"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include <array>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

#include "hwy/highway.h"
#include "lanes/exp-inl.h"
#include "lanes/generator-inl.h"
#include "lanes/lane_walk.h"
#include "lanes/number-inl.h"

HWY_BEFORE_NAMESPACE();
namespace vmc {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The covalent-ionic formulas over lane numbers, inlined into the walk.
#undef VMC_FORMULA_INLINE
#define VMC_FORMULA_INLINE HWY_INLINE
#include "model/covalent_ionic-inl.h"
#undef VMC_FORMULA_INLINE
#define VMC_FORMULA_INLINE inline

// Up to lane_width float lanes in one vector: all eight on AVX2 and
// AVX-512, four on 128-bit targets, where the group is walked as two vectors
// one after the other. The generator and the exponential work in double
// lanes; where a double vector holds half the float lanes (AVX2, 128-bit
// targets) they take the two halves in turn.
using DD = hn::CappedTag<double, lane_width>;
using DF = hn::CappedTag<float, lane_width>;
using VF = hn::Vec<DF>;
using VD = hn::Vec<DD>;
#if HWY_TARGET == HWY_SCALAR
constexpr std::size_t halves = 1;
#else
constexpr std::size_t halves = hn::MaxLanes(DF()) > hn::MaxLanes(DD()) ? 2 : 1;
#endif

// The next deviate of each lane of a float vector from the generators of one
// double vector (low), or of two (low and high). A template, so that only
// the form of this target is compiled.
template <std::size_t H, class G>
HWY_INLINE VF next_of(G& low, G& high) {
  if constexpr (H == 1) {
    (void)high;
    return low.next();
  } else {
#if HWY_TARGET != HWY_SCALAR
    const auto l = low.next();
    return hn::Combine(DF(), high.next(), l);
#endif
  }
}

HWY_INLINE VF dist(VF dx, VF dy, VF dz) {
  return hn::Sqrt(hn::Add(hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy)), hn::Mul(dz, dz)));
}

// The trial function of a vector of lanes.
struct lane_trial {
  VF s, a, alfa, beta, e2, hbm;
  VF repulsion;  // e2 / s, the protons' energy
};

struct lane_evaluation {
  VF eloc, psi;
};

// The classic local energy and psi, operation for operation as the scalar
// model forms them (see model/local_energy.cc and model/factors.h).
HWY_INLINE lane_evaluation evaluate(const VF (&r)[6], const lane_trial& t) {
  const DF df;
  const VF one = hn::Set(df, 1.0f), two = hn::Set(df, 2.0f);
  const VF x1 = r[0], y1 = r[1], z1 = r[2], x2 = r[3], y2 = r[4], z2 = r[5];
  const VF s2 = hn::Mul(hn::Set(df, 0.5f), t.s);
  const VF r1l = dist(x1, y1, hn::Add(z1, s2));
  const VF r1r = dist(x1, y1, hn::Sub(z1, s2));
  const VF r2l = dist(x2, y2, hn::Add(z2, s2));
  const VF r2r = dist(x2, y2, hn::Sub(z2, s2));
  const VF dz = hn::Sub(z1, z2);
  const VF r12 = dist(hn::Sub(x1, x2), hn::Sub(y1, y2), dz);

  // chi = exp(-r/a); fee = exp(r / (alfa ((beta r) + 1)))
  const VF chi1l = ExpDoubleRoundedAnyWidth(df, hn::Div(hn::Neg(r1l), t.a));
  const VF chi1r = ExpDoubleRoundedAnyWidth(df, hn::Div(hn::Neg(r1r), t.a));
  const VF chi2l = ExpDoubleRoundedAnyWidth(df, hn::Div(hn::Neg(r2l), t.a));
  const VF chi2r = ExpDoubleRoundedAnyWidth(df, hn::Div(hn::Neg(r2r), t.a));
  // 1 + beta r12, the same float in either order of the sum.
  const VF tt = hn::Add(one, hn::Mul(t.beta, r12));
  const VF tt2 = hn::Mul(tt, tt);
  const VF f = ExpDoubleRoundedAnyWidth(df, hn::Div(r12, hn::Mul(t.alfa, tt)));

  const VF r12dr1 = hn::Add(
      hn::Add(hn::Mul(hn::Sub(x1, x2), x1), hn::Mul(hn::Sub(y1, y2), y1)), hn::Mul(dz, z1));
  // Halving is exact, so x / 2 and x * 0.5 are the same float.
  const VF half = hn::Set(df, 0.5f);
  const VF sr12z = hn::Mul(hn::Mul(t.s, dz), half);
  const VF r12sq = hn::Mul(r12, r12);
  const VF d1l = hn::Add(r12dr1, sr12z);
  const VF d1r = hn::Sub(r12dr1, sr12z);
  const VF dotr1l = hn::Div(hn::Div(d1l, r12), r1l);
  const VF dotr2l = hn::Div(hn::Div(hn::Sub(d1l, r12sq), r12), r2l);
  const VF dotr1r = hn::Div(hn::Div(d1r, r12), r1r);
  const VF dotr2r = hn::Div(hn::Div(hn::Sub(d1r, r12sq), r12), r2r);

  const VF chi1 = hn::Add(chi1l, chi1r);
  const VF chi2 = hn::Add(chi2l, chi2r);

  // chi' = -chi/a, which rounds to -(chi/a) exactly, and
  // lap chi = (chi/a)/a + 2 chi'/r: one quotient chi/a serves both.
  struct orbital {
    VF fd, lap;
  };
  const auto derivatives = [&](VF c, VF rr) {
    const VF ca = hn::Div(c, t.a);
    const VF fd = hn::Neg(ca);
    return orbital{fd, hn::Add(hn::Div(ca, t.a), hn::Div(hn::Mul(two, fd), rr))};
  };
  const orbital o1l = derivatives(chi1l, r1l), o1r = derivatives(chi1r, r1r);
  const orbital o2l = derivatives(chi2l, r2l), o2r = derivatives(chi2r, r2r);
  // fee' = f / (alfa t^2), fee'' = fee'^2/f - 2 beta f / (alfa t^3), t = 1 + beta r
  const VF fdfee = hn::Div(f, hn::Mul(t.alfa, tt2));
  const VF sdfee =
      hn::Sub(hn::Div(hn::Mul(fdfee, fdfee), f),
              hn::Div(hn::Mul(hn::Mul(two, t.beta), f), hn::Mul(t.alfa, hn::Mul(tt2, tt))));
  const VF lapfee = hn::Add(sdfee, hn::Div(hn::Mul(two, fdfee), r12));

  const VF eecorr = hn::Div(hn::Mul(two, lapfee), f);
  const VF onee1 = hn::Div(hn::Add(o1r.lap, o1l.lap), chi1);
  const VF onee2 = hn::Div(hn::Add(o2r.lap, o2l.lap), chi2);
  const VF cross1 =
      hn::Div(hn::Add(hn::Mul(o1r.fd, dotr1r), hn::Mul(o1l.fd, dotr1l)), chi1);
  const VF cross2 =
      hn::Div(hn::Add(hn::Mul(o2r.fd, dotr2r), hn::Mul(o2l.fd, dotr2l)), chi2);
  const VF cross = hn::Div(hn::Mul(hn::Mul(two, fdfee), hn::Sub(cross1, cross2)), f);

  const VF tpop = hn::Mul(
      hn::Mul(hn::Neg(t.hbm), hn::Add(hn::Add(hn::Add(eecorr, onee1), onee2), cross)), half);
  const VF inv = hn::Sub(
      hn::Add(hn::Add(hn::Add(hn::Div(one, r1l), hn::Div(one, r1r)), hn::Div(one, r2l)),
              hn::Div(one, r2r)),
      hn::Div(one, r12));
  const VF vpop = hn::Mul(hn::Neg(t.e2), inv);
  const VF eloc = hn::Add(hn::Add(tpop, vpop), t.repulsion);
  const VF psi = hn::Mul(hn::Mul(chi1, chi2), f);
  return {eloc, psi};
}

// The trial functions a group walks, each loaded from lanes [base, base +
// Lanes) of the group and evaluated at a vector of configurations.
struct classic_lanes {
  lane_trial t;
  HWY_INLINE classic_lanes(const lane_walkers& w, std::size_t base)
      : t{hn::LoadU(DF(), w.s + base),    hn::LoadU(DF(), w.a + base),
          hn::LoadU(DF(), w.alfa + base), hn::LoadU(DF(), w.beta + base),
          hn::LoadU(DF(), w.e2 + base),   hn::LoadU(DF(), w.hbm + base),
          hn::Div(hn::LoadU(DF(), w.e2 + base), hn::LoadU(DF(), w.s + base))} {}
  HWY_INLINE lane_evaluation operator()(const VF (&r)[6]) const { return evaluate(r, t); }
};

struct covalent_ionic_lanes {
  using F = lane_number<DF>;
  covalent_ionic_trial<F> t;
  HWY_INLINE covalent_ionic_lanes(const lane_walkers& w, std::size_t base)
      : t{F(hn::LoadU(DF(), w.s + base)),      F(hn::LoadU(DF(), w.a + base)),
          F(hn::LoadU(DF(), w.alfa + base)),   F(hn::LoadU(DF(), w.beta + base)),
          F(hn::LoadU(DF(), w.lambda + base)), F(hn::LoadU(DF(), w.e2 + base)),
          F(hn::LoadU(DF(), w.hbm + base))} {}
  // evaluate_covalent_ionic's local energy and psi, without the gradient.
  HWY_INLINE lane_evaluation operator()(const VF (&r)[6]) const {
    std::array<F, 6> x;
    for (std::size_t i = 0; i < 6; ++i) x[i] = F(r[i]);
    const covalent_ionic_parts<F> p = (parts_of)(x, t);
    return {(local_energy_of)((fixed_of)(p, t), p, t).v,
            (p.phi * (correlation_factor)(p.r12, t)).v};
  }
};

// The measured steps of a vector wait here, then enter the statistics
// together: a loop over the values of each blocking level in turn keeps the
// level's sums in registers, where adding each step across all levels went
// through memory.
constexpr std::size_t buffered_steps = 64;

// Adds `count` buffered steps (local energies e and acceptances a, 1 or 0,
// step i at e[i * stride], lanes [at, at + Lanes) of a double vector) to the
// statistics: blocking::add and the accepted sums of energy_statistics, each
// level's operations on its values in their order, in double lanes. Every
// level's values depend only on the level below, so taking the levels one
// after the other rather than step by step changes no operation of any lane.
HWY_INLINE void add_steps(lane_statistics& s, std::size_t at, const float* e, const float* a,
                          std::size_t count, std::size_t stride) {
  const DD dd;
  const hn::Rebind<float, DD> dh;
  constexpr std::size_t most = hn::MaxLanes(DD());
  const std::size_t lanes = hn::Lanes(dd);
  const auto value = [&](const float* x, std::size_t i) {
    return hn::PromoteTo(dd, hn::LoadU(dh, x + i * stride));
  };
  if (s.n[0][at] == 0) hn::StoreU(value(e, 0), dd, s.shift + at);
  const VD shift = hn::LoadU(dd, s.shift + at), one = hn::Set(dd, 1.0);
  VD accepted = hn::LoadU(dd, s.accepted + at), sum_accepted = hn::LoadU(dd, s.sum_accepted + at);
  HWY_ALIGN double y[buffered_steps * most];
  for (std::size_t i = 0; i < count; ++i) {
    const VD eloc = value(e, i), took = value(a, i);
    accepted = hn::Add(accepted, took);
    // A rejected step adds +0, which leaves a sum that started at +0 as it is.
    sum_accepted = hn::Add(sum_accepted, hn::IfThenElseZero(hn::Eq(took, one), eloc));
    hn::Store(hn::Sub(eloc, shift), dd, y + i * lanes);
  }
  hn::StoreU(accepted, dd, s.accepted + at);
  hn::StoreU(sum_accepted, dd, s.sum_accepted + at);
  // The count and the pairing are the vector's, kept at its first lane.
  std::size_t values = count;
  for (std::size_t l = 0; l < lane_statistics::levels && values > 0; ++l) {
    VD sum = hn::LoadU(dd, s.sum[l] + at), squares = hn::LoadU(dd, s.sum_squares[l] + at);
    VD products = hn::LoadU(dd, s.sum_products[l] + at), last = hn::LoadU(dd, s.last[l] + at);
    std::int64_t n = s.n[l][at];
    bool pending = s.pending[l][at];
    std::size_t above = 0;  // the values of the level above, written over these
    for (std::size_t i = 0; i < values; ++i) {
      const VD v = hn::Load(dd, y + i * lanes);
      if (n == 0) {
        hn::StoreU(v, dd, s.first[l] + at);
      } else {
        products = hn::Add(products, hn::Mul(last, v));
      }
      sum = hn::Add(sum, v);
      squares = hn::Add(squares, hn::Mul(v, v));
      const VD previous = last;
      last = v;
      ++n;
      // The value before this one and this one make one block of the level above.
      if (pending) {
        hn::Store(hn::Mul(hn::Set(dd, 0.5), hn::Add(previous, v)), dd, y + above * lanes);
        ++above;
      }
      pending = !pending;
    }
    hn::StoreU(sum, dd, s.sum[l] + at);
    hn::StoreU(squares, dd, s.sum_squares[l] + at);
    hn::StoreU(products, dd, s.sum_products[l] + at);
    hn::StoreU(last, dd, s.last[l] + at);
    s.n[l][at] = n;
    s.pending[l][at] = pending;
    values = above;
  }
}

// The buffered steps of a float vector of lanes into the statistics: one
// double vector of lanes from base, or two, the second from base_high.
template <std::size_t H>
HWY_INLINE void add_buffered(lane_statistics& s, std::size_t base, std::size_t base_high,
                             const float* e, const float* a, std::size_t count) {
  const std::size_t stride = hn::Lanes(DF());
  add_steps(s, base, e, a, count, stride);
  if constexpr (H == 2) {
    const std::size_t half = hn::Lanes(DD());
    add_steps(s, base_high, e + half, a + half, count, stride);
  }
}

// Walks lanes [base, base + Lanes) of the group for `steps` steps; with
// stats, every step's energy and acceptance are in them when it returns.
template <class Trial>
HWY_INLINE void walk_vector(lane_walkers& w, std::size_t base, std::int64_t steps,
                            lane_steps* out, lane_statistics* stats) {
  const DF df;
  const DD dd;
  const std::size_t base_high = halves == 2 ? base + hn::Lanes(dd) : base;
  lane_generator<DD> low(dd, hn::LoadU(dd, w.ix1 + base), hn::LoadU(dd, w.ix2 + base));
  lane_generator<DD> high(dd, hn::LoadU(dd, w.ix1 + base_high), hn::LoadU(dd, w.ix2 + base_high));
  const Trial evaluate_at(w, base);
  const VF gstep = hn::LoadU(df, w.step + base);
  const VF one = hn::Set(df, 1.0f), two = hn::Set(df, 2.0f);
  VF r[6];
  for (int i = 0; i < 6; ++i) r[i] = hn::LoadU(df, w.r[i] + base);
  VF eloc = hn::LoadU(df, w.eloc + base);
  VF psi = hn::LoadU(df, w.psi + base);
  const hn::Rebind<std::uint8_t, DF> d8;
  const hn::Rebind<std::int32_t, DF> di;
  // Where the steps are recorded, read once: the stores below cannot then
  // make the compiler read the records' pointers again every step.
  float* const eloc_out = out != nullptr ? out->eloc.data() : nullptr;
  std::uint8_t* const accepted_out = out != nullptr ? out->accepted.data() : nullptr;
  float* const position_out = out != nullptr && !out->position.empty() ? out->position.data() : nullptr;
  float* const configuration_out =
      out != nullptr && !out->configuration.empty() ? out->configuration.data() : nullptr;

  HWY_ALIGN float eloc_buffer[buffered_steps * hn::MaxLanes(DF())];
  HWY_ALIGN float accepted_buffer[buffered_steps * hn::MaxLanes(DF())];
  std::size_t waiting = 0;  // steps in the buffers

  for (std::int64_t j = 0; j < steps; ++j) {
    // r + (2u - 1) g, coordinate by coordinate in the order x1 ... z2.
    VF trial[6];
    for (int i = 0; i < 6; ++i) {
      trial[i] = hn::Add(r[i], hn::Mul(hn::Sub(hn::Mul(two, next_of<halves>(low, high)), one), gstep));
    }
    const std::int64_t k = w.steps_done + j;
    if (w.reflect && k % 10 == 9) {
      // The deviates are drawn all the same; z -> -z of one electron.
      const int z = (k / 10) % 2 == 0 ? 2 : 5;
      for (int i = 0; i < 6; ++i) trial[i] = r[i];
      trial[z] = hn::Neg(r[z]);
    }
    const lane_evaluation at = evaluate_at(trial);
    const VF q = hn::Div(hn::Mul(at.psi, at.psi), hn::Mul(psi, psi));
    const auto accepted = hn::Gt(q, next_of<halves>(low, high));
    for (int i = 0; i < 6; ++i) r[i] = hn::IfThenElse(accepted, trial[i], r[i]);
    eloc = hn::IfThenElse(accepted, at.eloc, eloc);
    psi = hn::IfThenElse(accepted, at.psi, psi);
    if (stats != nullptr) {
      hn::Store(eloc, df, eloc_buffer + waiting * hn::Lanes(df));
      hn::Store(hn::IfThenElseZero(accepted, one), df, accepted_buffer + waiting * hn::Lanes(df));
      if (++waiting == buffered_steps) {
        add_buffered<halves>(*stats, base, base_high, eloc_buffer, accepted_buffer, waiting);
        waiting = 0;
      }
    }
    if (eloc_out != nullptr) {
      const std::size_t row = static_cast<std::size_t>(j) * lane_width + base;
      hn::StoreU(eloc, df, eloc_out + row);
      hn::StoreU(hn::DemoteTo(d8, hn::ConvertTo(di, hn::IfThenElseZero(accepted, one))), d8,
                 accepted_out + row);
      if (position_out != nullptr) {
        const std::size_t p = static_cast<std::size_t>(j) * 4 * lane_width + base;
        hn::StoreU(r[1], df, position_out + p);
        hn::StoreU(r[2], df, position_out + p + lane_width);
        hn::StoreU(r[4], df, position_out + p + 2 * lane_width);
        hn::StoreU(r[5], df, position_out + p + 3 * lane_width);
      }
      if (configuration_out != nullptr) {
        float* c = configuration_out + static_cast<std::size_t>(j) * 7 * lane_width + base;
        for (int i = 0; i < 6; ++i) hn::StoreU(r[i], df, c + static_cast<std::size_t>(i) * lane_width);
        hn::StoreU(psi, df, c + 6 * lane_width);
      }
    }
  }

  if (waiting > 0) {
    add_buffered<halves>(*stats, base, base_high, eloc_buffer, accepted_buffer, waiting);
  }
  for (int i = 0; i < 6; ++i) hn::StoreU(r[i], df, w.r[i] + base);
  hn::StoreU(eloc, df, w.eloc + base);
  hn::StoreU(psi, df, w.psi + base);
  if (halves == 2) {
    hn::StoreU(high.x1, dd, w.ix1 + base_high);
    hn::StoreU(high.x2, dd, w.ix2 + base_high);
  }
  hn::StoreU(low.x1, dd, w.ix1 + base);
  hn::StoreU(low.x2, dd, w.ix2 + base);
}

void WalkLanes(lane_walkers& w, std::int64_t steps, lane_steps* out, lane_statistics* stats) {
  const DF df;
  // The statistics go in double vectors, their counts at each one's first lane.
  if (stats != nullptr) stats->vector_lanes = hn::Lanes(DD());
  for (std::size_t base = 0; base < lane_width; base += hn::Lanes(df)) {
    if (w.trial == lane_trial_kind::covalent_ionic) {
      walk_vector<covalent_ionic_lanes>(w, base, steps, out, stats);
    } else {
      walk_vector<classic_lanes>(w, base, steps, out, stats);
    }
  }
  w.steps_done += steps;
}

void StepComponentLanes(const double* x, double* y, std::size_t n, int which) {
  const DD dd;
  const component<DD> c = which == 1 ? make_component(dd, 40014.0, 2147483563.0)
                                     : make_component(dd, 40692.0, 2147483399.0);
  const std::size_t lanes = hn::Lanes(dd);
  std::size_t i = 0;
  for (; i + lanes <= n; i += lanes) hn::StoreU(c.step(hn::LoadU(dd, x + i)), dd, y + i);
  for (; i < n; ++i) {
    HWY_ALIGN double xs[hn::MaxLanes(dd)] = {};
    HWY_ALIGN double ys[hn::MaxLanes(dd)];
    xs[0] = x[i];
    hn::Store(c.step(hn::Load(dd, xs)), dd, ys);
    y[i] = ys[0];
  }
}

void ExpLanes(const float* x, float* y, std::size_t n) {
  const DF df;
  const std::size_t lanes = hn::Lanes(df);
  std::size_t i = 0;
  for (; i + lanes <= n; i += lanes) {
    hn::StoreU(ExpDoubleRoundedAnyWidth(df, hn::LoadU(df, x + i)), df, y + i);
  }
  if (i < n) {
    HWY_ALIGN float xs[hn::MaxLanes(df)] = {};
    HWY_ALIGN float ys[hn::MaxLanes(df)];
    for (std::size_t k = i; k < n; ++k) xs[k - i] = x[k];
    hn::Store(ExpDoubleRoundedAnyWidth(df, hn::Load(df, xs)), df, ys);
    for (std::size_t k = i; k < n; ++k) y[k] = ys[k - i];
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace vmc
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vmc {

HWY_EXPORT(WalkLanes);
HWY_EXPORT(ExpLanes);
HWY_EXPORT(StepComponentLanes);

// Test hook: VMC_LANE_TARGET=<name> (AVX3, AVX2, SSE4, ...) in the
// environment restricts the dispatch to that target, so that whole programs
// can be run on each one the machine has. Read once, before the first walk
// or the first explicit restriction, which then overrides it.
void lane_target_from_environment() {
  static std::once_flag read;
  std::call_once(read, [] {
    const char* name = std::getenv("VMC_LANE_TARGET");
    if (name == nullptr || *name == 0) return;
    for (const std::int64_t t : lane_targets()) {
      if (std::string_view(lane_target_name(t)) == name) {
        hwy::SetSupportedTargetsForTest(t);
        return;
      }
    }
    throw std::runtime_error("VMC_LANE_TARGET=" + std::string(name) +
                             ": not a vector target of this program on this machine");
  });
}

void walk_lanes(lane_walkers& group, std::int64_t steps, lane_steps* out,
                lane_statistics* stats) {
  lane_target_from_environment();
  if (out != nullptr && steps > static_cast<std::int64_t>(out->capacity())) {
    throw std::length_error("walk_lanes: more steps than the record holds");
  }
  HWY_DYNAMIC_DISPATCH(WalkLanes)(group, steps, out, stats);
}

void exp_lanes(const float* x, float* y, std::size_t n) { HWY_DYNAMIC_DISPATCH(ExpLanes)(x, y, n); }

void step_component_lanes(const double* x, double* y, std::size_t n, int which) {
  HWY_DYNAMIC_DISPATCH(StepComponentLanes)(x, y, n, which);
}

void set_lane(lane_walkers& group, std::size_t k, const walker& w, const ecuyer& g,
              const trial_function<exp_double>& t, float step) {
  // The lanes step a x mod m, which Schrage's step equals only in 0 ... m - 1
  // (any one draw brings a state there).
  if (g.ix1 < 0 || g.ix1 >= 2147483563 || g.ix2 < 0 || g.ix2 >= 2147483399) {
    throw std::invalid_argument("set_lane: a generator state outside 0 ... m - 1");
  }
  for (std::size_t i = 0; i < 6; ++i) group.r[i][k] = w.r[i];
  group.eloc[k] = w.at.eloc;
  group.psi[k] = w.at.psi;
  group.ix1[k] = g.ix1;
  group.ix2[k] = g.ix2;
  group.s[k] = t.s;
  group.a[k] = t.a;
  group.alfa[k] = t.alfa;
  group.beta[k] = t.beta;
  group.e2[k] = t.e2;
  group.hbm[k] = t.hbm;
  group.step[k] = step;
  group.lambda[k] = 1.0f;
  group.trial = lane_trial_kind::classic;
}

void set_lane(lane_walkers& group, std::size_t k, const walker& w, const ecuyer& g,
              const covalent_ionic_trial<float>& t, float step) {
  set_lane(group, k, w, g, trial_function<exp_double>{t.s, t.a, t.alfa, t.beta, t.e2, t.hbm}, step);
  group.lambda[k] = t.lambda;
  group.trial = lane_trial_kind::covalent_ionic;
}

energy_statistics statistics_in_lane(const lane_statistics& s, std::size_t k) {
  energy_statistics e;
  e.series.shift = s.shift[k];
  const std::size_t first_lane = s.vector_lanes == 0 ? k : k - k % s.vector_lanes;
  for (std::size_t l = 0; l < lane_statistics::levels; ++l) {
    block_level& b = e.series.levels[l];
    b.n = s.n[l][first_lane];
    b.pending = s.pending[l][first_lane];
    b.sum = s.sum[l][k];
    b.sum_squares = s.sum_squares[l][k];
    b.sum_products = s.sum_products[l][k];
    b.first = s.first[l][k];
    b.last = s.last[l][k];
  }
  e.accepted = static_cast<std::int64_t>(s.accepted[k]);
  e.sum_accepted = s.sum_accepted[k];
  return e;
}

void set_statistics_in_lane(lane_statistics& s, std::size_t k, const energy_statistics& e) {
  s.shift[k] = e.series.shift;
  for (std::size_t l = 0; l < lane_statistics::levels; ++l) {
    const block_level& b = e.series.levels[l];
    s.n[l][k] = b.n;
    s.pending[l][k] = b.pending;
    s.sum[l][k] = b.sum;
    s.sum_squares[l][k] = b.sum_squares;
    s.sum_products[l][k] = b.sum_products;
    s.first[l][k] = b.first;
    s.last[l][k] = b.last;
  }
  s.accepted[k] = static_cast<double>(e.accepted);
  s.sum_accepted[k] = e.sum_accepted;
}

walker walker_in_lane(const lane_walkers& group, std::size_t k) {
  walker w;
  for (std::size_t i = 0; i < 6; ++i) w.r[i] = group.r[i][k];
  w.at = {group.eloc[k], group.psi[k]};
  return w;
}

ecuyer generator_in_lane(const lane_walkers& group, std::size_t k) {
  return {static_cast<std::int32_t>(group.ix1[k]), static_cast<std::int32_t>(group.ix2[k])};
}

std::vector<std::int64_t> lane_targets() { return hwy::SupportedAndGeneratedTargets(); }

const char* lane_target_name(std::int64_t target) { return hwy::TargetName(target); }

void restrict_lane_target(std::int64_t target) {
  lane_target_from_environment();
  hwy::SetSupportedTargetsForTest(target);
}

}  // namespace vmc
#endif  // HWY_ONCE
