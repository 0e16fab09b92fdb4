#include "lane_targets.h"
#include "lanes/lane_walk.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "model/constants.h"
#include "random/streams.h"
#include "walk/proposals.h"
#include "walk/start_configuration.h"

// The lane walk against the scalar walk, step by step and bit by bit, on
// every Highway target this machine runs; the lane exponential against the
// scalar one on a sample of all floats and every special value.

namespace vmc::testing {
namespace {

struct lane_case {
  float s;      // separation, A
  float step;   // largest displacement, A
  float shift;  // added to x1 of the start: far starts reach the exp guard
};

// Eight walks unlike one another: short and long separations, small and huge
// steps, and starts with an electron 60 A or 2000 A out (psi underflows to 0,
// every ratio is 0/0 and the walk stays put).
const lane_case cases[lane_width] = {{0.3f, 0.40125f, 0.0f}, {0.74f, 0.40125f, 0.0f},
                                     {2.5f, 0.40125f, 0.0f}, {10.0f, 1.0f, 0.0f},
                                     {0.01f, 0.05f, 0.0f},   {1.0f, 3.0f, 60.0f},
                                     {1.4f, 0.40125f, 2000.0f}, {1000.0f, 0.5f, 0.0f}};

struct scalar_run {
  std::vector<float> eloc;
  std::vector<bool> accepted;
  std::vector<float> position;  // y1, z1, y2, z2 after each step
  walker end;
  ecuyer generator;
};

trial_function<exp_double> trial_of(const lane_case& c) {
  return cusp_trial_function<exp_double>(c.s, 0.25f, apar_start::abohr);
}

walker start_of(const lane_case& c, ecuyer& g) {
  coords r = start_configuration(g, c.s, offset_rounding::per_operation);
  r[0] += c.shift;
  return walker_at(r, trial_of(c));
}

scalar_run run_scalar(const lane_case& c, std::uint64_t index, std::int64_t steps) {
  scalar_run out;
  ecuyer g = walk_stream(5465, index, 1000000);
  out.end = start_of(c, g);
  metropolis_walk(out.end, g, scaled_step{c.step}, trial_of(c), acceptance::above_deviate, steps,
                  [&](const walk_step& s) {
                    out.eloc.push_back(s.now.at.eloc);
                    out.accepted.push_back(s.accepted);
                    for (int i : {1, 2, 4, 5}) out.position.push_back(s.now.r[i]);
                  });
  out.generator = g;
  return out;
}

std::uint32_t bits(float x) { return std::bit_cast<std::uint32_t>(x); }

using LaneTargets = EachLaneTarget;

TEST_P(LaneTargets, EveryLaneIsTheScalarWalkToTheBit) {
  constexpr std::int64_t steps = 3000;
  constexpr std::int64_t chunk = 700;  // records in pieces, as the programs do
  lane_walkers group{};
  std::vector<scalar_run> expected;
  for (std::size_t k = 0; k < lane_width; ++k) {
    expected.push_back(run_scalar(cases[k], k, steps));
    ecuyer g = walk_stream(5465, k, 1000000);
    const walker w = start_of(cases[k], g);
    set_lane(group, k, w, g, trial_of(cases[k]), cases[k].step);
  }
  lane_steps out(chunk, true);
  int accepted_far = 0;
  for (std::int64_t done = 0; done < steps; done += chunk) {
    const std::int64_t n = std::min(chunk, steps - done);
    walk_lanes(group, n, &out);
    for (std::size_t k = 0; k < lane_width; ++k) {
      const scalar_run& e = expected[k];
      for (std::int64_t j = 0; j < n; ++j) {
        const std::size_t at = static_cast<std::size_t>(done + j);
        const std::size_t row = static_cast<std::size_t>(j) * lane_width + k;
        ASSERT_EQ(bits(out.eloc[row]), bits(e.eloc[at])) << "lane " << k << " step " << at;
        ASSERT_EQ(out.accepted[row] != 0, e.accepted[at]) << "lane " << k << " step " << at;
        for (std::size_t c = 0; c < 4; ++c) {
          ASSERT_EQ(bits(out.position[(static_cast<std::size_t>(j) * 4 + c) * lane_width + k]),
                    bits(e.position[at * 4 + c]))
              << "lane " << k << " step " << at << " coordinate " << c;
        }
        // At 1000 A every orbital factor of the far nucleus takes the guard.
        if (k == 7 && e.accepted[at]) ++accepted_far;
      }
    }
  }
  for (std::size_t k = 0; k < lane_width; ++k) {
    const walker w = walker_in_lane(group, k);
    EXPECT_EQ(w.r, expected[k].end.r) << "lane " << k;
    EXPECT_EQ(bits(w.at.psi), bits(expected[k].end.at.psi)) << "lane " << k;
    const ecuyer g = generator_in_lane(group, k);
    EXPECT_EQ(g.ix1, expected[k].generator.ix1) << "lane " << k;
    EXPECT_EQ(g.ix2, expected[k].generator.ix2) << "lane " << k;
  }
  EXPECT_GT(accepted_far, 0);
}

// The covalent-ionic trial function with reflections every tenth step: eight
// walks of other parameters (beta, lambda, a), separations from the united
// atom's neighbourhood to 6 A, where the reflections carry the electrons
// between the protons, and 40 A, where only they do.
struct ionic_case {
  float s, beta, lambda, a, step;
};
const ionic_case ionic_cases[lane_width] = {
    {0.74f, 0.25f, 1.0f, 0.445f, 0.40125f}, {0.74f, 1.1f, 0.55f, 0.42f, 0.3f},
    {0.3f, 2.0f, 0.8f, 0.33f, 0.2f},        {1.4f, 0.6f, 0.2f, 0.5f, 0.5f},
    {2.5f, 0.0f, 0.05f, 0.53f, 0.6f},       {6.0f, 4.5f, 0.0f, 0.53f, 0.7f},
    {40.0f, 4.5f, 0.9f, 0.6f, 0.9f},       {1.0f, 0.9f, 0.0f, 0.9f, 2.0f}};

covalent_ionic_trial<float> ionic_trial_of(const ionic_case& c) {
  constexpr model_constants m = make_constants();
  return {c.s, c.a, m.alfa, c.beta, c.lambda, m.e2, m.hbm};
}

TEST_P(LaneTargets, CovalentIonicReflectingLanesAreTheScalarWalkToTheBit) {
  constexpr std::int64_t equilibration = 37;  // unrecorded, and off the tenth-step beat
  constexpr std::int64_t steps = 400;
  constexpr std::int64_t chunk = 130;
  lane_walkers group{};
  group.reflect = true;
  std::vector<walker> walkers;
  std::vector<ecuyer> gens;
  std::vector<reflecting_step> moves;
  for (std::size_t k = 0; k < lane_width; ++k) {
    ecuyer g = walk_stream(4242, k, 1000000);
    const coords r = start_configuration(g, ionic_cases[k].s, offset_rounding::per_operation);
    const walker w = walker_at(r, ionic_trial_of(ionic_cases[k]));
    set_lane(group, k, w, g, ionic_trial_of(ionic_cases[k]), ionic_cases[k].step);
    walkers.push_back(w);
    gens.push_back(g);
    moves.push_back(reflecting_step{ionic_cases[k].step});
  }
  ASSERT_EQ(group.trial, lane_trial_kind::covalent_ionic);
  for (std::size_t k = 0; k < lane_width; ++k) {
    metropolis_walk(walkers[k], gens[k], moves[k], ionic_trial_of(ionic_cases[k]),
                    acceptance::above_deviate, equilibration, [](const walk_step&) {});
  }
  walk_lanes(group, equilibration, nullptr);
  lane_steps out(chunk, false, true);
  std::int64_t accepted = 0, reflected_far = 0;
  for (std::int64_t done = 0; done < steps; done += chunk) {
    const std::int64_t n = std::min(chunk, steps - done);
    walk_lanes(group, n, &out);
    for (std::size_t k = 0; k < lane_width; ++k) {
      std::int64_t j = 0;
      metropolis_walk(walkers[k], gens[k], moves[k], ionic_trial_of(ionic_cases[k]),
                      acceptance::above_deviate, n, [&](const walk_step& st) {
        const std::size_t row = static_cast<std::size_t>(j) * lane_width + k;
        const std::size_t at = static_cast<std::size_t>(j) * 7 * lane_width + k;
        ASSERT_EQ(bits(out.eloc[row]), bits(st.now.at.eloc)) << "lane " << k << " step " << done + j;
        ASSERT_EQ(out.accepted[row] != 0, st.accepted) << "lane " << k << " step " << done + j;
        for (std::size_t c = 0; c < 6; ++c) {
          ASSERT_EQ(bits(out.configuration[at + c * lane_width]), bits(st.now.r[c]))
              << "lane " << k << " step " << done + j << " coordinate " << c;
        }
        ASSERT_EQ(bits(out.configuration[at + 6 * lane_width]), bits(st.now.at.psi))
            << "lane " << k << " step " << done + j;
        accepted += st.accepted;
        // A reflection at 40 A moves an electron to the other proton.
        if (k == 6 && st.accepted && (equilibration + done + j) % 10 == 9) ++reflected_far;
        ++j;
      });
    }
  }
  for (std::size_t k = 0; k < lane_width; ++k) {
    const walker w = walker_in_lane(group, k);
    EXPECT_EQ(w.r, walkers[k].r) << "lane " << k;
    EXPECT_EQ(bits(w.at.eloc), bits(walkers[k].at.eloc)) << "lane " << k;
    const ecuyer g = generator_in_lane(group, k);
    EXPECT_EQ(g.ix1, gens[k].ix1) << "lane " << k;
    EXPECT_EQ(g.ix2, gens[k].ix2) << "lane " << k;
  }
  // The walks moved, and far apart the reflections were taken too.
  EXPECT_GT(accepted, static_cast<std::int64_t>(lane_width) * steps / 5);
  EXPECT_GT(reflected_far, 0);
}

TEST_P(LaneTargets, StatisticsAreTheScalarWalksToTheBit) {
  // 3001 steps: eleven blocking levels, the top ones still pending, walked
  // in pieces that end inside the lanes' buffer of steps and on its edge.
  constexpr std::int64_t steps = 3001;
  lane_walkers group{};
  std::vector<energy_statistics> expected(lane_width);
  for (std::size_t k = 0; k < lane_width; ++k) {
    ecuyer g = walk_stream(99, k, 1000000);
    walker w = start_of(cases[k], g);
    set_lane(group, k, w, g, trial_of(cases[k]), cases[k].step);
    metropolis_walk(w, g, scaled_step{cases[k].step}, trial_of(cases[k]),
                    acceptance::above_deviate, steps, expected[k]);
  }
  auto stats = std::make_unique<lane_statistics>();
  for (const std::int64_t piece : {1, 1000, 63, 1, 128, 1808}) {
    walk_lanes(group, piece, nullptr, stats.get());
  }
  for (std::size_t k = 0; k < lane_width; ++k) {
    const energy_statistics got = statistics_in_lane(*stats, k);
    const energy_statistics& e = expected[k];
    EXPECT_EQ(got.accepted, e.accepted) << "lane " << k;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(got.sum_accepted), std::bit_cast<std::uint64_t>(e.sum_accepted))
        << "lane " << k;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(got.series.shift), std::bit_cast<std::uint64_t>(e.series.shift))
        << "lane " << k;
    for (std::size_t l = 0; l < blocking::max_levels; ++l) {
      const block_level &a = got.series.levels[l], &b = e.series.levels[l];
      ASSERT_EQ(a.n, b.n) << "lane " << k << " level " << l;
      ASSERT_EQ(a.pending, b.pending) << "lane " << k << " level " << l;
      for (const auto field : {&block_level::sum, &block_level::sum_squares,
                               &block_level::sum_products, &block_level::first, &block_level::last}) {
        if (b.n == 0) continue;  // an empty level's last value is never read
        ASSERT_EQ(std::bit_cast<std::uint64_t>(a.*field), std::bit_cast<std::uint64_t>(b.*field))
            << "lane " << k << " level " << l;
      }
    }
  }
}

TEST_P(LaneTargets, WalkingWithoutRecordsEndsWhereRecordedWalkingEnds) {
  lane_walkers a{}, b{};
  for (std::size_t k = 0; k < lane_width; ++k) {
    ecuyer g = walk_stream(77, k, 1000000);
    const walker w = start_of(cases[k], g);
    set_lane(a, k, w, g, trial_of(cases[k]), cases[k].step);
  }
  b = a;
  walk_lanes(a, 500, nullptr);
  lane_steps out(500, false);
  walk_lanes(b, 500, &out);
  for (std::size_t k = 0; k < lane_width; ++k) {
    EXPECT_EQ(walker_in_lane(a, k).r, walker_in_lane(b, k).r);
    EXPECT_EQ(generator_in_lane(a, k).ix1, generator_in_lane(b, k).ix1);
  }
  EXPECT_THROW(walk_lanes(b, 501, &out), std::length_error);
  // A raw seed outside a component's residues would step differently in lanes.
  const walker w = walker_in_lane(a, 0);
  EXPECT_THROW(set_lane(a, 0, w, ecuyer{-5, 7}, trial_of(cases[0]), 0.4f), std::invalid_argument);
  EXPECT_THROW(set_lane(a, 0, w, ecuyer{5, 2147483399}, trial_of(cases[0]), 0.4f),
               std::invalid_argument);
}

TEST_P(LaneTargets, GeneratorStepsAreSchragesOnASampleOfAllStates) {
  // Every 997th state of each component, both ends included; the whole
  // range is bench/exhaustive-check's.
  for (int which : {1, 2}) {
    const std::int32_t m = which == 1 ? 2147483563 : 2147483399;
    std::vector<double> x;
    for (std::int64_t v = 0; v < m; v += 997) x.push_back(static_cast<double>(v));
    for (std::int32_t v : {1, 2, m - 2, m - 1}) x.push_back(v);
    std::vector<double> y(x.size());
    step_component_lanes(x.data(), y.data(), x.size(), which);
    for (std::size_t i = 0; i < x.size(); ++i) {
      ecuyer g;
      if (which == 1) g.ix1 = static_cast<std::int32_t>(x[i]);
      else g.ix2 = static_cast<std::int32_t>(x[i]);
      g.next();  // Schrage's step of both components
      ASSERT_EQ(y[i], which == 1 ? g.ix1 : g.ix2) << "component " << which << " x " << x[i];
    }
  }
}

float scalar_exp(float x) { return static_cast<float>(std::exp(static_cast<double>(x))); }

void expect_exp_equal(const std::vector<float>& x) {
  std::vector<float> y(x.size());
  exp_lanes(x.data(), y.data(), x.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    const float e = scalar_exp(x[i]);
    if (std::isnan(e)) {
      ASSERT_TRUE(std::isnan(y[i])) << "x = " << x[i];
    } else {
      ASSERT_EQ(bits(y[i]), bits(e)) << "x = " << x[i] << " (bits " << bits(x[i]) << ")";
    }
  }
}

TEST_P(LaneTargets, ExpEqualsTheScalarExpOnSampledAndSpecialInputs) {
  // Every 1021st bit pattern (about 4.2 million, both signs, every exponent),
  // then the whole neighbourhood of the range the vector form covers.
  std::vector<float> x;
  for (std::uint64_t b = 0; b <= 0xffffffffu; b += 1021) {
    x.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(b)));
  }
  expect_exp_equal(x);
  x.clear();
  constexpr float inf = std::numeric_limits<float>::infinity();
  for (float edge : {-87.0f, 88.0f, -103.972f, -104.0f, 88.7228f, 0.0f, 1.0f, -1.0f}) {
    float v = edge;
    for (int i = 0; i < 2000; ++i) v = std::nextafter(v, -inf);
    for (int i = 0; i < 4000; ++i, v = std::nextafter(v, inf)) x.push_back(v);
  }
  for (float v : {0.0f, -0.0f, inf, -inf, std::numeric_limits<float>::quiet_NaN(),
                  std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest(),
                  std::numeric_limits<float>::min(), std::numeric_limits<float>::denorm_min(),
                  -std::numeric_limits<float>::denorm_min(), -745.2f, 709.8f}) {
    x.push_back(v);
  }
  for (std::size_t n = 0; n < 10; ++n) {
    // Lengths that leave a partial vector at the end.
    expect_exp_equal(std::vector<float>(x.begin(), x.begin() + static_cast<long>(n)));
  }
  expect_exp_equal(x);
}

INSTANTIATE_TEST_SUITE_P(AllTargets, LaneTargets, ::testing::ValuesIn(lane_targets()),
                         lane_target_test_name);

}  // namespace
}  // namespace vmc::testing
