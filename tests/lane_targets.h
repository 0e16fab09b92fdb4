#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "lanes/lane_walk.h"

// A test run once on every Highway target this machine runs, the dispatch
// restricted to that target for the test's duration:
//   TEST_P(EachLaneTarget, ...) { ... }
//   INSTANTIATE_TEST_SUITE_P(AllTargets, EachLaneTarget, ::testing::ValuesIn(vmc::lane_targets()),
//                            vmc::testing::lane_target_test_name);

namespace vmc::testing {

class EachLaneTarget : public ::testing::TestWithParam<std::int64_t> {
 protected:
  void SetUp() override { restrict_lane_target(GetParam()); }
  void TearDown() override { restrict_lane_target(0); }
};

inline std::string lane_target_test_name(const ::testing::TestParamInfo<std::int64_t>& info) {
  return lane_target_name(info.param);
}

}  // namespace vmc::testing
