#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "lane_targets.h"
#include "lanes/lane_walk.h"
#include "vmc/scan.h"
#include "vmc/stream_plan.h"

// vmc scan's lane path against its scalar path, byte for byte on every
// Highway target, and its walkers: their steps, their merged error bars.

namespace vmc {
namespace {

std::vector<std::vector<std::string>> table_rows(scan_settings s, bool lanes) {
  s.lanes = lanes;
  return scan_table(run_scan(s)).rows;
}

std::vector<scan_settings> settings_to_compare() {
  scan_settings one;  // eleven separations: one full group of eight and a part
  one.separations = {0.3f, 0.5f, 0.74f, 1.0f, 1.25f, 1.5f, 2.0f, 2.5f, 4.0f, 10.0f, 0.05f};
  one.steps = 4000;
  one.equilibration = 100;
  scan_settings several = one;  // three walkers each, 4001 steps split 1334 + 1334 + 1333
  several.separations = {0.74f, 2.5f, 1.1f};
  several.steps = 4001;
  several.walkers = 3;
  several.beta = 0.4f;
  several.orbital_length = 0.5f;
  several.step_size = 0.3f;
  several.seed = 77;
  return {one, several};
}

using ScanTargets = testing::EachLaneTarget;

TEST_P(ScanTargets, TheLanePathWritesTheScalarPathsTable) {
  for (const scan_settings& s : settings_to_compare()) {
    const auto scalar = table_rows(s, false);
    ASSERT_EQ(table_rows(s, true), scalar) << "walkers " << s.walkers;
    for (const auto& row : scalar) EXPECT_EQ(row[3], std::to_string(s.steps));
  }
}

INSTANTIATE_TEST_SUITE_P(AllTargets, ScanTargets, ::testing::ValuesIn(lane_targets()),
                         testing::lane_target_test_name);

TEST(ScanWalkers, ShareTheStepsOfTheirSeparation) {
  scan_settings s;
  s.steps = 10;
  s.walkers = 4;
  std::vector<std::int64_t> steps;
  for (std::int64_t w = 0; w < 4; ++w) steps.push_back(walker_steps(s, w));
  EXPECT_EQ(steps, (std::vector<std::int64_t>{3, 3, 2, 2}));
  s.walkers = 1;
  EXPECT_EQ(walker_steps(s, 0), 10);
  EXPECT_EQ(stream_plan::of(s).most_draws, 6u + 7u * (10000u + 10u));
}

TEST(ScanWalkers, MergedGiveErrorBarsThatMatchTheSpreadOverSeeds) {
  // Eight walkers of 12500 steps at 0.74 A, over 30 seeds: the spread of the
  // energies against the median error. For 30 samples the ratio lies in
  // [0.62, 1.42] with 99.8 % odds.
  std::vector<double> energies, errors;
  for (std::int32_t seed = 1; seed <= 30; ++seed) {
    scan_settings s;
    s.separations = {0.74f};
    s.steps = 100000;
    s.walkers = 8;
    s.seed = 1000 + seed;
    const scan_row r = run_scan(s)[0];
    EXPECT_EQ(r.steps, 100000);
    energies.push_back(r.energy);
    errors.push_back(r.error);
  }
  double sum = 0, squares = 0;
  for (double e : energies) sum += e;
  for (double e : energies) squares += (e - sum / 30.0) * (e - sum / 30.0);
  std::sort(errors.begin(), errors.end());
  const double ratio = std::sqrt(squares / 29.0) / (0.5 * (errors[14] + errors[15]));
  EXPECT_GT(ratio, 0.62);
  EXPECT_LT(ratio, 1.42);
}

}  // namespace
}  // namespace vmc
