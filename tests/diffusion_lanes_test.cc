#include "lanes/diffusion_lanes.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

#include "lane_targets.h"
#include "model/constants.h"
#include "random/streams.h"
#include "walk/diffusion.h"
#include "walk/normal.h"
#include "walk/start_configuration.h"

// The covalent-ionic trial function, the normal deviates and the diffusion
// step in lanes against their scalar forms, bit by bit, on every Highway
// target this machine runs; the exactly rounded logarithm, cosine and sine
// against libm.

namespace vmc::testing {
namespace {

std::uint32_t bits(float x) { return std::bit_cast<std::uint32_t>(x); }
std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

covalent_ionic_trial<float> trial(float s, float a, float beta, float lambda) {
  constexpr model_constants c = make_constants();
  return {s, a, c.alfa, beta, lambda, c.e2, c.hbm};
}

// Trial functions unlike one another: the optimum near 0.74 A, the classic
// molecular orbital, two atoms far apart, protons almost on top of each other.
const covalent_ionic_trial<float> trials[] = {trial(0.74f, 0.424f, 1.1f, 0.59f),
                                              trial(1.4f, 0.53f, 0.25f, 1.0f),
                                              trial(10.0f, 0.53f, 2.0f, 0.0f),
                                              trial(0.01f, 0.3f, 0.5f, 0.2f)};

// Configurations around the protons, some far out (the exponential's guard),
// one electron on a nucleus and both electrons on one point (singular).
std::vector<coords> configurations(float s, std::uint64_t stream) {
  std::vector<coords> out;
  ecuyer g = walk_stream(7, stream, 100000);
  for (int k = 0; k < 300; ++k) {
    coords r;
    const float reach = k % 10 == 0 ? 80.0f : 3.0f;
    for (float& x : r) x = reach * (2.0f * g.next() - 1.0f);
    out.push_back(r);
  }
  out.push_back({0, 0, -s / 2, 0.3f, 0.1f, 0.2f});
  out.push_back({0.2f, 0.1f, 0.3f, 0.2f, 0.1f, 0.3f});
  out.push_back({3000.0f, 0, 0, -0.1f, 0, 0.2f});
  return out;
}

using CovalentIonicLanes = EachLaneTarget;

TEST_P(CovalentIonicLanes, EveryLaneIsTheScalarFunctionToTheBit) {
  std::uint64_t stream = 0;
  for (const covalent_ionic_trial<float>& t : trials) {
    const std::vector<coords> r = configurations(t.s, stream++);
    std::vector<covalent_ionic_evaluation<float>> lanes(r.size());
    evaluate_covalent_ionic_lanes(r.data(), r.size(), t, lanes.data());
    for (std::size_t k = 0; k < r.size(); ++k) {
      const covalent_ionic_evaluation<float> e = evaluate_covalent_ionic(r[k], t);
      ASSERT_EQ(bits(lanes[k].eloc), bits(e.eloc)) << "s " << t.s << " configuration " << k;
      ASSERT_EQ(bits(lanes[k].psi), bits(e.psi)) << "s " << t.s << " configuration " << k;
      for (std::size_t i = 0; i < 6; ++i) {
        ASSERT_EQ(bits(lanes[k].grad_ln_psi[i]), bits(e.grad_ln_psi[i]))
            << "s " << t.s << " configuration " << k << " coordinate " << i;
      }
    }
  }
}

// The inputs the logarithm meets: the generator's deviates, ratios of psi of
// any size, and the special values.
// Floats over their whole range, every sign, subnormal, infinity and NaN
// among them: every 4099th bit pattern, and the edges.
std::vector<float> float_inputs() {
  std::vector<float> x;
  for (std::uint64_t b = 0; b < (1ull << 32); b += 4099) {
    x.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(b)));
  }
  for (float v : {1.0f, 2.0f, 0.5f, std::sqrt(2.0f), std::nextafter(std::sqrt(2.0f), 3.0f),
                  std::nextafter(1.0f, 2.0f), std::nextafter(1.0f, 0.0f), 0x1p-126f, 0x1p-149f, 0.0f,
                  -1.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::max()}) {
    x.push_back(v);
  }
  return x;
}

// Exponents as weights meet them (|x| up to tens), over the whole range
// and at its edges, and the specials.
std::vector<double> exponent_inputs() {
  std::vector<double> x = {0.0, -0.0, 1e-300, -1e-300, 0.5 * 0.6931471805599453, 708.0, 709.0,
                           709.0000000000001, 709.7, -708.0, -708.0000000000001, -745.2,
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()};
  ecuyer g = walk_stream(5, 0, 1000000);
  for (int k = 0; k < 200000; ++k) {
    const double u = g.next(), v = g.next();
    x.push_back(k % 2 == 0 ? 40.0 * (u - 0.5) : 1417.0 * (u - 0.5) * v);
  }
  return x;
}

using NormalLanes = EachLaneTarget;

TEST_P(NormalLanes, LogarithmAndBoxMullerAreTheScalarOnesToTheBit) {
  const std::vector<float> x = float_inputs();
  std::vector<float> y(x.size());
  float_log_lanes(x.data(), y.data(), x.size());
  for (std::size_t k = 0; k < x.size(); ++k) {
    if (std::isnan(float_log(x[k]))) {
      ASSERT_TRUE(std::isnan(y[k])) << x[k];
      continue;
    }
    ASSERT_EQ(bits(y[k]), bits(float_log(x[k]))) << x[k];
  }
  const std::vector<double> e = exponent_inputs();
  std::vector<double> w(e.size());
  exact_exp_lanes(e.data(), w.data(), e.size());
  for (std::size_t k = 0; k < e.size(); ++k) {
    if (std::isnan(e[k])) {
      EXPECT_TRUE(std::isnan(w[k]));
      continue;
    }
    ASSERT_EQ(bits(w[k]), bits(exact_exp(e[k]))) << e[k];
  }
  ecuyer g = walk_stream(4, 0, 1000000);
  std::vector<float> u1(40001), u2(40001), z1(u1.size()), z2(u1.size());
  for (std::size_t k = 0; k < u1.size(); ++k) {
    u1[k] = g.next();
    u2[k] = g.next();
  }
  u1.back() = u2.back() = 1.0f;
  box_muller_lanes(u1.data(), u2.data(), z1.data(), z2.data(), u1.size());
  for (std::size_t k = 0; k < u1.size(); ++k) {
    float a, b;
    box_muller(u1[k], u2[k], a, b);
    ASSERT_EQ(bits(z1[k]), bits(a)) << u1[k] << " " << u2[k];
    ASSERT_EQ(bits(z2[k]), bits(b)) << u1[k] << " " << u2[k];
  }
}

INSTANTIATE_TEST_SUITE_P(AllTargets, CovalentIonicLanes, ::testing::ValuesIn(lane_targets()),
                         lane_target_test_name);
INSTANTIATE_TEST_SUITE_P(AllTargets, NormalLanes, ::testing::ValuesIn(lane_targets()),
                         lane_target_test_name);

// The logarithm, exponential, cosine and sine built from exactly rounded
// operations are libm's to a few units in the last place, and the specials
// are IEEE's.
TEST(ExactMath, AgreesWithLibm) {
  // In float: the logarithm within 2 float ulps of ln x over 2^25 normal
  // floats from the smallest to the largest (the acceptance test's
  // u / ratio^2 may be any), the specials as IEEE's; the cosine and sine
  // within 2e-7.
  double worst_float_log = 0;
  for (std::uint32_t b = 0x00800000u; b < 0x7F800000u; b += 63) {
    const float x = std::bit_cast<float>(b);
    if (x == 1.0f) continue;
    const double exact = std::log(static_cast<double>(x));
    worst_float_log = std::max(worst_float_log, std::fabs(float_log(x) - exact) / std::fabs(exact));
  }
  EXPECT_LT(worst_float_log, 2.4e-7);
  EXPECT_EQ(float_log(1.0f), 0.0f);
  EXPECT_EQ(float_log(0.0f), -std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(float_log(-1.0f)));
  EXPECT_EQ(float_log(std::numeric_limits<float>::infinity()),
            std::numeric_limits<float>::infinity());
  double worst_trig = 0;
  for (int k = 0; k <= 100000; ++k) {
    const float u = static_cast<float>(k) / 100000.0f;
    float c, s;
    cos_sin_two_pi(u, c, s);
    const double angle = 2 * std::numbers::pi * static_cast<double>(u);
    worst_trig = std::max({worst_trig, std::fabs(c - std::cos(angle)), std::fabs(s - std::sin(angle))});
  }
  EXPECT_LT(worst_trig, 2e-7);
  // The deviates are standard normal: over 6e5 of them the mean, variance,
  // fourth moment and the share beyond 3 within 5 standard errors of 0, 1,
  // 3 and 0.0027.
  ecuyer g = walk_stream(8, 0, 1000000);
  double m1 = 0, m2 = 0, m4 = 0, beyond = 0;
  constexpr int n = 100000;
  for (int k = 0; k < n; ++k) {
    for (const float z : normal_deviates(g)) {
      const double x = z;
      m1 += x;
      m2 += x * x;
      m4 += x * x * x * x;
      beyond += std::fabs(x) > 3;
    }
  }
  const double count = 6.0 * n;
  EXPECT_NEAR(m1 / count, 0.0, 5 * std::sqrt(1 / count));
  EXPECT_NEAR(m2 / count, 1.0, 5 * std::sqrt(2 / count));
  EXPECT_NEAR(m4 / count, 3.0, 5 * std::sqrt(96 / count));
  EXPECT_NEAR(beyond / count, 0.0026998, 5 * std::sqrt(0.0027 / count));
  double worst_exp = 0;
  for (const double x : exponent_inputs()) {
    if (!(x >= -708 && x <= 709)) continue;
    worst_exp = std::max(worst_exp, std::fabs(exact_exp(x) - std::exp(x)) / std::exp(x));
  }
  EXPECT_LT(worst_exp, 4e-16);
  EXPECT_EQ(exact_exp(0.0), 1.0);
  EXPECT_EQ(exact_exp(-708.5), 0.0);
  EXPECT_EQ(exact_exp(709.5), std::numeric_limits<double>::infinity());
  EXPECT_EQ(exact_exp(-std::numeric_limits<double>::infinity()), 0.0);
  EXPECT_TRUE(std::isnan(exact_exp(std::numeric_limits<double>::quiet_NaN())));
}

// A diffusion walk of 21 walkers (a group of sixteen, or two of eight, and
// five more) against 21 scalar ones, every step's move record and the
// walkers' whole state bit by bit, at the default time step and at a large
// one that refuses moves; one walker starts 60 A out, where the exponential
// takes its guard.
using DiffusionLanes = EachLaneTarget;

TEST_P(DiffusionLanes, EveryLaneIsTheScalarStepToTheBit) {
  for (const double tau : {2e-4, 0.02}) {
    const covalent_ionic_trial<float> t = trials[0];
    std::vector<diffusion_walker> lanes, scalar;
    for (std::uint64_t k = 0; k < 21; ++k) {
      ecuyer g = walk_stream(21, k, 100000);
      coords r = start_configuration(g, t.s, offset_rounding::per_operation);
      if (k == 3) r[0] += 60.0f;
      lanes.push_back(diffusion_walker_at(r, t, g));
    }
    scalar = lanes;
    std::int64_t refused = 0, cut = 0;
    std::vector<diffusion_move> moves(lanes.size());
    std::vector<diffusion_weight> weights(lanes.size());
    // A cutoff of 20 eV, which the walker far out and the large step meet.
    const diffusion_weighing h{-31.0, 20.0, -31.5, 0.9 * tau};
    for (int step = 0; step < 400; ++step) {
      diffusion_step_lanes(lanes.data(), lanes.size(), t, tau, h, moves.data(), weights.data());
      for (std::size_t k = 0; k < lanes.size(); ++k) {
        const diffusion_move m = diffusion_step(scalar[k], t, tau);
        const diffusion_weight w = weigh(m, h);
        ASSERT_EQ(bits(weights[k].after), bits(w.after)) << k << " " << step;
        ASSERT_EQ(bits(weights[k].weight), bits(w.weight)) << k << " " << step;
        cut += std::fabs(w.after - h.e_best) == h.e_cut;
        refused += !m.accepted;
        const diffusion_walker& a = lanes[k];
        const diffusion_walker& b = scalar[k];
        ASSERT_EQ(moves[k].accepted, m.accepted) << "tau " << tau << " walker " << k << " step " << step;
        ASSERT_EQ(bits(moves[k].eloc_before), bits(m.eloc_before)) << k << " " << step;
        ASSERT_EQ(bits(moves[k].eloc_after), bits(m.eloc_after)) << k << " " << step;
        ASSERT_EQ(bits(moves[k].branch), bits(m.branch)) << k << " " << step;
        for (std::size_t i = 0; i < 6; ++i) {
          ASSERT_EQ(bits(a.r[i]), bits(b.r[i])) << "walker " << k << " step " << step;
          ASSERT_EQ(bits(a.drift[i]), bits(b.drift[i])) << "walker " << k << " step " << step;
        }
        ASSERT_EQ(bits(a.psi), bits(b.psi)) << k << " " << step;
        ASSERT_EQ(a.g.ix1, b.g.ix1) << k << " " << step;
        ASSERT_EQ(a.g.ix2, b.g.ix2) << k << " " << step;
      }
    }
    if (tau > 0.01) {
      EXPECT_GT(refused, 100);
    }
    EXPECT_GT(cut, 10) << tau;
  }
}

INSTANTIATE_TEST_SUITE_P(AllTargets, DiffusionLanes, ::testing::ValuesIn(lane_targets()),
                         lane_target_test_name);

TEST(DiffusionLanes, RefusesStatesOutsideTheGenerator) {
  const covalent_ionic_trial<float> t = trials[0];
  std::vector<diffusion_walker> w(2 * lane_width + 3,
                                  diffusion_walker_at({0.1f, 0, 0.3f, 0, 0.2f, -0.3f}, t, ecuyer{}));
  std::vector<diffusion_move> moves(w.size());
  std::vector<diffusion_weight> weights(w.size());
  const diffusion_weighing h{-31.0, 100.0, -31.0, 2e-4};
  w.back().g.ix1 = 2147483563;
  EXPECT_THROW(diffusion_step_lanes(w.data(), w.size(), t, 2e-4, h, moves.data(), weights.data()),
               std::invalid_argument);
}

}  // namespace
}  // namespace vmc::testing
