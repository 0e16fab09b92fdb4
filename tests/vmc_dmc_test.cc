#include "vmc/dmc.h"
#include "vmc/sampling.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <random>

#include "lanes/lane_walk.h"
#include "random/streams.h"
#include "stats/blocking.h"
#include "vmc/scan.h"
#include "vmc/stream_plan.h"
#include "walk/diffusion.h"
#include "walk/metropolis.h"
#include "walk/proposals.h"
#include "walk/start_configuration.h"

namespace vmc {
namespace {

// Near the optimum of the covalent-ionic trial function at 0.74 A.
const trial_parameters optimised_074{1.1, 0.59, 0.424};

// The branching in place lays out the same population as copying walker
// after walker into a new list: over 20000 random populations of 1 to 40
// walkers, each walker leaving 0 to 3 copies (runs of deaths and births,
// first and last walkers included), every walker and generator in place.
TEST(Branching, InPlaceIsCopyingWalkerAfterWalker) {
  std::mt19937 random(17);
  for (int trial = 0; trial < 20000; ++trial) {
    const auto count = std::uniform_int_distribution<std::size_t>(1, 40)(random);
    const int lone = std::uniform_int_distribution<int>(0, 3)(random);  // how often one copy
    std::vector<diffusion_walker> walkers(count), expected;
    std::vector<branching> branchings;
    std::int32_t id = 0;
    for (std::size_t k = 0; k < count; ++k) {
      walkers[k].eloc = static_cast<float>(k);
      walkers[k].g = {++id, 0};
      int copies = std::uniform_int_distribution<int>(-lone, most_copies)(random);
      if (copies < 0) copies = 1;
      branching b{k, copies, {}};
      for (int copy = 0; copy < copies; ++copy) {
        expected.push_back(walkers[k]);
        if (copy > 0) expected.back().g = b.g[static_cast<std::size_t>(copy - 1)] = {++id, 1};
      }
      if (copies != 1) branchings.push_back(b);
    }
    branch_in_place(walkers, branchings);
    ASSERT_EQ(walkers.size(), expected.size()) << "trial " << trial;
    for (std::size_t i = 0; i < walkers.size(); ++i) {
      ASSERT_EQ(walkers[i].eloc, expected[i].eloc) << "trial " << trial << ", walker " << i;
      ASSERT_EQ(walkers[i].g.ix1, expected[i].g.ix1) << "trial " << trial << ", walker " << i;
    }
  }
}

dmc_settings short_run(float s, const trial_parameters& p, std::int64_t walkers,
                       std::int64_t steps) {
  dmc_settings settings;
  settings.separations = {s};
  settings.parameters = {p};
  settings.walkers = walkers;
  settings.steps = steps;
  settings.equilibration = 1000;
  settings.vmc_steps = 100000;
  return settings;
}

// A short run at 0.74 A lands on the exact energy, -31.934 eV, within three
// of its errors (about 0.02 eV) and 0.01 eV for the time step and the
// population. The diffusion step itself is tested on its own below.
TEST(Dmc, FindsTheExactEnergyAt074) {
  const dmc_row r = run_dmc(short_run(0.74f, optimised_074, 800, 10000), 0);
  EXPECT_NEAR(r.energy, -31.934, 3.0 * r.error + 0.01) << r.error;
  EXPECT_LT(r.error, 0.03);
  EXPECT_LT(r.energy, r.energy_vmc - 0.2);
  EXPECT_GT(r.acceptance, 0.99);
}

// Ten angstrom apart the protons hold two hydrogen atoms, -27.19 eV, even
// with the classic trial function, which keeps full weight on the ionic
// arrangements: walkers that start in one are projected away.
TEST(Dmc, GivesTwoAtomsAtTenAngstromWhateverTheTrialFunction) {
  const dmc_row r = run_dmc(short_run(10.0f, {0.25, 1.0, 0.5299396}, 300, 6000), 0);
  EXPECT_NEAR(r.energy, -27.19, 3.0 * r.error + 0.01) << r.error;
}

// vmc dmc's trial functions: the built-in optimised one on straight lines
// between its rows 0.1 A apart (0.74 A is 0.4 of the way from 0.7 to 0.8)
// and held beyond them, the classic one, each parameter an option gives in
// place of the function's own, and every other name refused. Every row lies
// within vmc optimize's search, and at five separations across the table the
// optimised function's variational energy lies below the classic one's and
// its local energy varies less (two columns swapped would not).
TEST(TrialFunctions, OptimisedFollowsItsRowsAndBeatsTheClassicOne) {
  const trial_request optimised = parse_trial_request("optimised", "", "", "");
  const trial_parameters p = trial_at(optimised, 0.74f);
  EXPECT_NEAR(p.beta, 1.118 + 0.4 * (1.161 - 1.118), 1e-6);
  EXPECT_NEAR(p.lambda, 0.6047 + 0.4 * (0.5525 - 0.6047), 1e-6);
  EXPECT_NEAR(p.a, 0.4180 + 0.4 * (0.4347 - 0.4180), 1e-6);
  EXPECT_EQ(trial_at(optimised, 0.01f).lambda, 0.9997);
  EXPECT_EQ(trial_at(optimised, 1000.0f).beta, 3.624);
  for (int k = 0; k <= 38; ++k) {  // every row within vmc optimize's search
    const trial_parameters r = optimised_trial(0.2f + 0.1f * static_cast<float>(k));
    EXPECT_TRUE(r.beta >= 0 && r.beta <= 5 && r.lambda >= 0 && r.lambda <= 1 && r.a >= 0.2 && r.a <= 1)
        << k;
  }
  const trial_parameters c = trial_at(parse_trial_request("classic", "0.5", "", ""), 0.74f);
  EXPECT_EQ(c.beta, 0.5);
  EXPECT_EQ(c.lambda, 1.0);
  EXPECT_EQ(static_cast<float>(c.a), 0.44538188f);
  const trial_parameters o = trial_at(parse_trial_request("optimized", "", "0.25", "0.5"), 0.74f);
  EXPECT_EQ(o.beta, p.beta);
  EXPECT_EQ(o.lambda, 0.25);
  EXPECT_EQ(o.a, 0.5);
  try {
    parse_trial_request("Optimised", "", "", "");
    ADD_FAILURE() << "accepted Optimised";
  } catch (const usage_error& e) {
    EXPECT_STREQ(e.what(), "--trial: expected optimised or classic; got \"Optimised\"");
  }
  for (const float s : {0.3f, 0.74f, 1.5f, 2.5f, 4.0f}) {
    scan_row rows[2];
    for (const bool classic : {false, true}) {
      const trial_parameters t = classic ? classic_trial(s) : trial_at(optimised, s);
      scan_settings settings;
      settings.separations = {s};
      settings.steps = 200000;
      settings.beta = static_cast<float>(t.beta);
      settings.ionic_weight = static_cast<float>(t.lambda);
      settings.orbital_length = static_cast<float>(t.a);
      rows[classic] = run_scan(settings).front();
    }
    EXPECT_LT(rows[0].energy + 4 * std::hypot(rows[0].error, rows[1].error), rows[1].energy) << s;
    EXPECT_LT(rows[0].variance, rows[1].variance) << s;
  }
}

// The streams a run needs do not grow with its length: a copy takes over a
// dead walker's generator, so 21 separations of 10^7 steps of 2000 walkers
// fit in the generator's period, and only an absurd population does not.
TEST(Dmc, LongRunsFitInTheGeneratorsPeriod) {
  dmc_settings settings;
  settings.separations.assign(21, 1.0f);
  settings.steps = 10000000;
  EXPECT_TRUE(stream_plan::of(settings).fits());
  settings.steps = 1000000000000000;
  EXPECT_EQ(stream_plan::of(settings).misfit().value_or("").rfind("--steps: ", 0), 0u);
  settings.steps = 1000;
  settings.walkers = 100000000000000;
  EXPECT_EQ(stream_plan::of(settings).misfit().value_or("").rfind("--walkers: ", 0), 0u);
}

TEST(Dmc, PopulationControlKeepsTheWalkersNearTheirTarget) {
  const dmc_row r = run_dmc(short_run(1.5f, {1.4, 0.26, 0.511}, 500, 4000), 0);
  EXPECT_NEAR(r.population_mean, 500.0, 25.0);
  EXPECT_LT(r.population_spread, 50.0);
  EXPECT_GT(r.population_spread, 0.0);
}

TEST(Dmc, IsTheSameOnOneThreadAndOnTwo) {
  dmc_settings settings = short_run(2.0f, {2.0, 0.1, 0.53}, 200, 600);
  settings.separations = {2.0f, 0.9f};
  settings.parameters = {{2.0, 0.1, 0.53}, {1.2, 0.5, 0.45}};
  auto table_text = [&settings] {
    std::vector<dmc_row> rows;
    for (std::size_t i = 0; i < settings.separations.size(); ++i) rows.push_back(run_dmc(settings, i));
    return tab_separated(dmc_table(rows));
  };
  omp_set_num_threads(1);
  const std::string one = table_text();
  omp_set_num_threads(2);
  const std::string two = table_text();
  omp_set_num_threads(omp_get_num_procs());
  EXPECT_EQ(one, two);
  EXPECT_EQ(one.substr(0, one.find('\n')),
            "s\ttime_step\twalkers\tsteps\tenergy\terror\tacceptance\tenergy_vmc\tbeta\t"
            "ionic_weight\ta\tpopulation_mean\tpopulation_spread\tflag");
}

// The walkers move in vector lanes; every target the machine runs, and any
// number of threads sharing a population, give the same table to the last
// digit.
std::string dmc_table_text(const dmc_settings& settings) {
  std::vector<dmc_row> rows;
  for (std::size_t i = 0; i < settings.separations.size(); ++i) rows.push_back(run_dmc(settings, i));
  return tab_separated(dmc_table(rows));
}

TEST(Dmc, IsTheSameOnEveryVectorTarget) {
  dmc_settings settings = short_run(1.2f, {1.2, 0.5, 0.45}, 100, 300);
  settings.separations = {1.2f, 0.5f};
  settings.parameters = {{1.2, 0.5, 0.45}, {0.6, 0.8, 0.4}};
  settings.equilibration = 100;
  settings.vmc_steps = 10000;
  std::string first;
  for (const std::int64_t target : lane_targets()) {
    restrict_lane_target(target);
    const std::string text = dmc_table_text(settings);
    if (first.empty()) first = text;
    EXPECT_EQ(text, first) << lane_target_name(target);
  }
  restrict_lane_target(0);
  EXPECT_GE(lane_targets().size(), 2u);
}

// Above 500 walkers a thread, each thread moves and branches its own part of
// the population, and the parts are laid out again when one strays from its
// share (at this time step the branching's drift does so several times in the
// run: four on three threads when this was written): the table stays the one
// of a single thread.
TEST(Dmc, IsTheSameOnOneThreadAndOnTwoOrThreeSharingThePopulation) {
  dmc_settings settings = short_run(0.74f, optimised_074, 1500, 300);
  settings.time_steps = {0.005f};
  settings.equilibration = 50;
  settings.vmc_steps = 10000;
  omp_set_num_threads(1);
  const std::string one = dmc_table_text(settings);
  for (const int threads : {2, 3}) {
    omp_set_num_threads(threads);
    EXPECT_EQ(dmc_table_text(settings), one) << threads;
  }
  omp_set_num_threads(omp_get_num_procs());
}

// A state kept mid-run, its population gathered from the threads' parts in
// walker order, continues on one thread to the row of the uninterrupted run.
TEST(Dmc, AStateKeptFromThreadsPartsResumesOnOneThread) {
  struct keep_at final : dmc_keeper {
    std::int64_t at;
    dmc_state kept;
    bool found = false;
    explicit keep_at(std::int64_t step) : at(step) {}
    bool find(std::size_t, dmc_state& st) override {
      if (kept.step == 0) return false;
      st = kept;
      return found = true;
    }
    bool due(bool) const override { return kept.step == 0; }
    void keep(std::size_t, const dmc_state& st, bool) override {
      if (st.step == at) kept = st;
    }
    void stopped(std::size_t, const dmc_state&) override {}
  } keeper(120);
  dmc_settings settings = short_run(0.74f, optimised_074, 1500, 250);
  settings.time_steps = {0.005f};
  settings.equilibration = 50;
  settings.vmc_steps = 10000;
  omp_set_num_threads(2);
  const auto table_text = [&] {
    return tab_separated(dmc_table({run_dmc_keeping(settings, 0, {}, nullptr, &keeper)}));
  };
  const std::string whole = table_text();
  ASSERT_EQ(keeper.kept.step, 120);
  omp_set_num_threads(1);
  const std::string resumed = table_text();
  omp_set_num_threads(omp_get_num_procs());
  EXPECT_TRUE(keeper.found);
  EXPECT_EQ(resumed, whole);
}

// Drift, diffusion and the acceptance test alone, with no weights and no
// branching, are a Metropolis walk of psi_T^2 with another proposal, so at
// any time step they sample psi_T^2 exactly. At the largest time step
// (0.01 /eV: moves of 0.28 A), 200 such walkers give the mean local energy
// and the mean electron distance of a Metropolis walk of the same trial
// function, within four combined errors. Leaving out the Green's function
// ratio, or taking the reverse move's drift at the old position, samples
// another distribution, many errors away.
TEST(DiffusionStep, WithoutBranchingSamplesPsiSquaredAtAnyTimeStep) {
  const float s = 0.74f;
  const covalent_ionic_trial<float> t = trial_of(s, {0.25, 1.0, 0.6});
  const auto r12 = [](const coords& r) {
    const float dx = r[0] - r[3], dy = r[1] - r[4], dz = r[2] - r[5];
    return static_cast<double>(std::sqrt(dx * dx + dy * dy + dz * dz));
  };
  blocking e_vmc, d_vmc;
  {
    ecuyer g = walk_stream(11, 0, 6 + 7 * 3000000ull);
    const coords start = start_configuration(g, s, offset_rounding::per_operation);
    equilibrated_walk(start, g, scaled_step{0.40125f}, t, acceptance::above_deviate, 10000, 2000000,
                      [&](const walk_step& step) {
                        e_vmc.add(static_cast<double>(step.now.at.eloc));
                        d_vmc.add(r12(step.now.r));
                      });
  }
  blocking e_dif, d_dif;
  {
    ecuyer g = walk_stream(11, 1, 6 + 7 * 100000ull);
    const coords start = start_configuration(g, s, offset_rounding::per_operation);
    const sample smp = draw_sample(g, start, t, 0.40125f, 10000, 4000);
    for (std::uint64_t k = 0; k < 200; ++k) {
      diffusion_walker w = diffusion_walker_at(smp.r[2 * k], t, walk_stream(11, 2 + k, 200000));
      blocking e, d;
      for (int step = 0; step < 11000; ++step) {
        diffusion_step(w, t, 0.01);
        if (step < 1000) continue;
        e.add(static_cast<double>(w.eloc));
        d.add(r12(w.r));
      }
      merge(e_dif, e);
      merge(d_dif, d);
    }
  }
  const auto agree = [](const blocking& a, const blocking& b, const char* what) {
    const blocking_result x = analyse(a), y = analyse(b);
    EXPECT_TRUE(x.converged && y.converged) << what;
    EXPECT_NEAR(x.mean, y.mean, 4.0 * std::hypot(x.error, y.error)) << what;
  };
  agree(e_vmc, e_dif, "local energy");
  agree(d_vmc, d_dif, "electron distance");
}

// The mixed estimator weighs the local energy where each walker stands after
// its move: the population after branching is then a plain sample of the
// same distribution, and the plain mean of its local energies must agree.
// Where it matters, with a poor trial function and a large time step, the
// energy before the move would be off by -tau Var(E_L), a third of an eV.
TEST(Dmc, WeighsTheLocalEnergyWhereTheWalkerNowStands) {
  dmc_settings settings = short_run(0.74f, {0.25, 1.0, 0.44538185}, 400, 2000);
  settings.time_steps = {0.01f};
  const dmc_row r = run_dmc(settings, 0);
  EXPECT_NEAR(r.energy, r.energy_unweighted, 4.0 * r.error) << r.error;
}


// The limit tau -> 0 of a straight weighted fit, on energies of known law.
// - Two points: E_0 = 2 E(tau) - E(2 tau), error sqrt(4 e1^2 + e2^2).
// - Four points of a line plus Gaussian noise of their stated errors, over
//   4000 draws: the limits' deviations over their errors have the spread of
//   a unit normal (within its 1 % band; the chi^2 scaling may only widen the
//   errors), they cover the true limit 95 % of the time or more, and the
//   poor-fit flag, set below a chance of 1e-3, comes up about as often.
// - Points on a parabola with tiny errors are flagged, and their limit's
//   error is widened by sqrt(chi^2 / dof).
TEST(DmcTimeStepLimit, IsTheWeightedLinesInterceptWithAnHonestError) {
  dmc_settings settings;
  settings.separations = {0.74f, 1.4f};
  settings.time_steps = {1e-4f, 2e-4f};
  std::vector<dmc_row> runs(4);
  const double e[4] = {-31.90, -31.87, -29.40, -29.30}, err[4] = {0.02, 0.01, 0.03, 0.04};
  for (std::size_t k = 0; k < 4; ++k) {
    runs[k].s = settings.separations[k / 2];
    runs[k].time_step = settings.time_steps[k % 2];
    runs[k].energy = e[k];
    runs[k].error = err[k];
    runs[k].acceptance = 0.99;
  }
  const std::vector<dmc_row> two = with_time_step_limits(settings, runs);
  ASSERT_EQ(two.size(), 6u);
  for (const std::size_t k : {2u, 5u}) {
    const std::size_t first = k == 2 ? 0 : 2;
    EXPECT_TRUE(two[k].extrapolated && two[k].time_step == 0 && std::isnan(two[k].acceptance));
    EXPECT_EQ(two[k].s, runs[first].s);
    const double scale = static_cast<double>(runs[first + 1].time_step) /
                         static_cast<double>(runs[first].time_step);  // 2 in float
    EXPECT_NEAR(two[k].energy, (scale * e[first] - e[first + 1]) / (scale - 1), 1e-9);
    EXPECT_NEAR(two[k].error, std::hypot(scale * err[first], err[first + 1]) / (scale - 1), 1e-9);
  }
  EXPECT_EQ(two[0].energy, e[0]);
  EXPECT_EQ(two[4].energy, e[3]);

  settings.separations = {0.74f};
  settings.time_steps = {1e-4f, 2e-4f, 4e-4f, 8e-4f};
  const double sigma[4] = {0.02, 0.015, 0.01, 0.008}, limit = -31.93, slope = 60.0;
  std::mt19937_64 noise(20261208);
  std::normal_distribution<double> normal;
  constexpr int draws = 4000;
  double pulls = 0, pulls2 = 0;
  int covered = 0, poor = 0;
  for (int d = 0; d < draws; ++d) {
    std::vector<dmc_row> four(4);
    for (std::size_t k = 0; k < 4; ++k) {
      four[k].s = 0.74f;
      four[k].time_step = settings.time_steps[k];
      four[k].error = sigma[k];
      four[k].energy = limit + slope * static_cast<double>(settings.time_steps[k]) + sigma[k] * normal(noise);
    }
    const dmc_row r = with_time_step_limits(settings, four).back();
    const double pull = (r.energy - limit) / r.error;
    pulls += pull;
    pulls2 += pull * pull;
    covered += std::fabs(pull) < 1.96;
    poor += flag_column(flags_of(r)) == "poor-fit";
  }
  const double spread = std::sqrt(pulls2 / draws - (pulls / draws) * (pulls / draws));
  EXPECT_LT(spread, 1.0 + 2.58 / std::sqrt(2.0 * draws));
  EXPECT_GT(spread, 0.9);
  EXPECT_NEAR(pulls / draws, 0.0, 2.58 / std::sqrt(draws));
  EXPECT_GE(covered, 0.95 * draws - 2.58 * std::sqrt(draws * 0.05 * 0.95));
  EXPECT_LE(poor, 14);  // 4 expected

  std::vector<dmc_row> curved(4);
  for (std::size_t k = 0; k < 4; ++k) {
    const double tau = static_cast<double>(settings.time_steps[k]);
    curved[k].s = 0.74f;
    curved[k].time_step = settings.time_steps[k];
    curved[k].error = 1e-4;
    curved[k].energy = limit + 1e5 * tau * tau;
  }
  const dmc_row r = with_time_step_limits(settings, curved).back();
  EXPECT_EQ(flag_column(flags_of(r)), "poor-fit");
  // Unscaled, sigma sqrt(sum t^2 / (n sum t^2 - (sum t)^2)) = sigma sqrt(85 / 115).
  EXPECT_GT(r.chi_squared, 100.0);
  EXPECT_NEAR(r.error, 1e-4 * std::sqrt(85.0 / 115.0) * std::sqrt(r.chi_squared / 2.0), 1e-9);
  EXPECT_THROW(with_time_step_limits(settings, std::vector<dmc_row>(3)), std::invalid_argument);
}

}  // namespace
}  // namespace vmc
