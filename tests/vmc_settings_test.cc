// The library refuses what the command line refuses, with the same line.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "vmc/dmc.h"
#include "vmc/optimize.h"
#include "vmc/options.h"
#include "vmc/scan.h"

namespace vmc {
namespace {

// The message run throws, or "" when it throws nothing.
std::string refusal(const std::function<void()>& run) {
  try {
    run();
  } catch (const usage_error& e) {
    return e.what();
  }
  return "";
}

dmc_settings small_dmc() {
  dmc_settings s;
  s.separations = {0.74f, 1.4f};
  s.parameters = {{0.25, 1, 0.5}, {0.25, 1, 0.6}};
  return s;
}

TEST(Settings, DefaultsAreValid) {
  scan_settings scan;
  scan.separations = {0.74f};
  EXPECT_EQ(refusal([&] { validate(scan); }), "");
  optimize_settings optimize;
  optimize.separations = {0.01f, 1000.0f};  // the ends of the range, as floats
  EXPECT_EQ(refusal([&] { validate(optimize); }), "");
  EXPECT_EQ(refusal([&] { validate(small_dmc()); }), "");
}

TEST(Settings, EachRefusalNamesTheOptionAsTheCommandLineDoes) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::string count = "a whole number of at least ";
  struct row {
    std::function<void(scan_settings&)> change;
    std::string message;
  };
  const std::vector<row> scans = {
      {[](scan_settings& s) { s.separations.clear(); },
       "--separations: expected separations in angstrom as START:STOP:STEP (such as 0.3:2.5:0.05) "
       "or a comma list (such as 0.5,0.74,1.4), each from 0.01 to 1000; got \"\""},
      {[](scan_settings& s) { s.separations = {0.74f, 0.0099f}; },
       "--separations: expected separations in angstrom as START:STOP:STEP (such as 0.3:2.5:0.05) "
       "or a comma list (such as 0.5,0.74,1.4), each from 0.01 to 1000; got \"0.0099\""},
      {[](scan_settings& s) { s.separations.assign(10001, 1.0f); },
       "--separations: expected at most 10000 separations; got 10001"},
      {[](scan_settings& s) { s.steps = 0; },
       "--steps: expected " + count + "2 and at most 1e12, such as 1000000 or 1e6; got \"0\""},
      {[](scan_settings& s) { s.equilibration = -1; },
       "--equilibration: expected " + count + "0 and at most 1e12, such as 1000000 or 1e6; got \"-1\""},
      {[](scan_settings& s) { s.walkers = 0; },
       "--walkers: expected " + count + "1 and at most 1e12, such as 1000000 or 1e6; got \"0\""},
      {[](scan_settings& s) { s.walkers = 5, s.steps = 3; },
       "--walkers: 5 walkers need at least as many --steps; got 3"},
      {[](scan_settings& s) { s.separations.assign(1001, 1.0f), s.walkers = s.steps = 1000000; },
       "--walkers: 1000000 walkers at 1001 separations make more than 10^9 walks"},
      {[](scan_settings& s) {
         s.separations.assign(1000, 1.0f), s.walkers = s.steps = 1000000;
         s.equilibration = 1000000000000;
       },
       "--steps: a walk would draw 7000000000013 deviates, more than its stream's share of the "
       "generator's period, 2^30 with these --walkers and separations"},
      {[nan](scan_settings& s) { s.beta = nan; },
       "--beta: expected a finite number of at least 0 and at most 1000; got \"nan\""},
      {[](scan_settings& s) { s.ionic_weight = -0.5f; },
       "--ionic-weight: expected a finite number of at least 0 and at most 1e+06; got \"-0.5\""},
      {[](scan_settings& s) { s.orbital_length = 0.05f; },
       "--orbital-length: expected a finite number of at least 0.1 and at most 1000; got \"0.05\""},
      {[](scan_settings& s) { s.step_size = 0; },
       "--step-size: expected a finite number of at least 1e-04 and at most 10; got \"0\""},
      {[](scan_settings& s) { s.seed = 0; },
       "--seed: expected a whole number from 1 to 2147483562; got \"0\""},
  };
  for (const row& r : scans) {
    scan_settings s;
    s.separations = {0.74f};
    r.change(s);
    const std::string message = refusal([&] { validate(s); });
    EXPECT_EQ(message, r.message);
    // run_scan refuses them alike, before it divides by anything (and is
    // not asked when validate let the settings through: they may be long).
    if (!message.empty()) EXPECT_EQ(refusal([&] { run_scan(s); }), r.message);
  }
  // Typed texts stand in the messages that compare options.
  scan_settings s;
  s.separations = {0.74f};
  s.walkers = 100;
  s.steps = 10;
  EXPECT_EQ(refusal([&] { validate(s, {{"--walkers", "1e2"}, {"--steps", "1e1"}}); }),
            "--walkers: 1e2 walkers need at least as many --steps; got 1e1");

  optimize_settings o;
  o.separations = {0.74f};
  o.sample_steps = 999;
  EXPECT_EQ(refusal([&] { run_optimize(o); }),
            "--sample-steps: expected " + count + "1000 and at most 100000000, such as 100000 or "
            "1e5; got \"999\"");
  o.sample_steps = 1000;
  o.max_rounds = 0;
  EXPECT_EQ(refusal([&] { run_optimize(o, std::vector<std::size_t>{0}); }),
            "--max-rounds: expected " + count + "1 and at most 100, such as 10; got \"0\"");

  const std::vector<std::pair<std::function<void(dmc_settings&)>, std::string>> dmcs = {
      {[](dmc_settings& d) { d.parameters.pop_back(); },
       "--parameters: 1 rows of trial parameters for 2 separations; expected one row for each "
       "separation"},
      {[](dmc_settings& d) { d.steps = 0; },
       "--steps: expected " + count + "2 and at most 1e12, such as 1000000 or 1e6; got \"0\""},
      {[](dmc_settings& d) { d.time_steps = {0.02f}; },
       "--time-step: expected a time step above 0 and at most 0.01 /eV; got \"0.02\""},
      {[](dmc_settings& d) { d.walkers = 9; },
       "--walkers: expected " + count + "10 and at most 1000000, such as 2000; got \"9\""},
      {[](dmc_settings& d) { d.parameters[1].a = 0; },
       "--orbital-length: expected a finite number of at least 0.1 and at most 1000; got \"0\""},
      {[](dmc_settings& d) { d.walkers = 1000000, d.steps = 1000000000000; },
       "--steps: a walk would draw 8000000040064 deviates, more than its stream's share of the "
       "generator's period, 2^36 with these --walkers and separations"},
  };
  for (const auto& [change, message] : dmcs) {
    dmc_settings d = small_dmc();
    change(d);
    EXPECT_EQ(refusal([&] { run_dmc(d, 1); }), message);
  }
}

TEST(Settings, TasksBeyondTheSeparationsAreRefused) {
  scan_settings s;
  s.separations = {0.74f};
  s.steps = 100;
  EXPECT_THROW(run_scan(s, {1}), std::invalid_argument);
  EXPECT_THROW(run_dmc(small_dmc(), 2), std::invalid_argument);
}

}  // namespace
}  // namespace vmc
