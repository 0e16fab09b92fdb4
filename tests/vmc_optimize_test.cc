#include "vmc/optimize.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <fstream>
#include <stdexcept>
#include <vector>
#include <sstream>

#include "lanes/lane_walk.h"
#include "random/streams.h"
#include "vmc/exact_curve.h"
#include "vmc/flags.h"
#include "vmc/scan.h"
#include "vmc/stoppable_walk.h"
#include "walk/proposals.h"
#include "walk/start_configuration.h"

namespace vmc {
namespace {

const trial_parameters classic_074{0.25, 1.0, 0.44538185};

sample sample_at(float s, const trial_parameters& p, std::int32_t seed, std::int64_t steps) {
  ecuyer g = walk_stream(seed, 0, 6 + 7 * static_cast<std::uint64_t>(steps + 5000));
  const coords start = start_configuration(g, s, offset_rounding::per_operation);
  return draw_sample(g, start, trial_of(s, p), 0.40125f, 5000, steps);
}

TEST(Reweighting, AtTheSampledParametersIsThePlainMean) {
  const sample smp = sample_at(0.74f, classic_074, 17, 20000);
  ASSERT_EQ(smp.r.size(), 2000u);  // every tenth step
  double sum = 0;
  for (const coords& r : smp.r) sum += static_cast<double>(evaluate(r, trial_of(0.74f, classic_074)).eloc);
  const reweighted_estimate e = reweighted(smp, trial_of(0.74f, classic_074));
  EXPECT_DOUBLE_EQ(e.energy, sum / 2000.0);
  EXPECT_DOUBLE_EQ(e.effective, 1.0);
}

// The sample is evaluated in vector lanes: on every target the estimate is,
// to the bit, the sums of the scalar evaluation in lane_width partial sums,
// configuration i in sum i mod 8, the partial sums added in order (2503
// configurations: a last group of 8 and one of 16 left part-filled). A
// configuration on a nucleus (its local energy infinite) is left out.
TEST(Reweighting, IsTheScalarSumOnEveryVectorTarget) {
  sample smp = sample_at(0.74f, classic_074, 31, 25030);
  ASSERT_EQ(smp.r.size(), 2503u);
  smp.r[1000] = {0.0f, 0.0f, 0.37f, 0.3f, 0.2f, -0.1f};  // electron 1 on the right proton
  const covalent_ionic_trial<float> t = trial_of(0.74f, {0.6, 0.7, 0.43});
  double sw[lane_width] = {}, sw2[lane_width] = {}, swe[lane_width] = {}, swee[lane_width] = {};
  std::size_t left_out = 0;
  for (std::size_t i = 0; i < smp.r.size(); ++i) {
    const evaluation e = evaluate(smp.r[i], t);
    const double ratio = static_cast<double>(e.psi) / static_cast<double>(smp.psi[i]);
    const double w = ratio * ratio;
    if (!std::isfinite(w * static_cast<double>(e.eloc))) {
      ++left_out;
      continue;
    }
    const std::size_t k = i % lane_width;
    sw[k] += w;
    sw2[k] += w * w;
    swe[k] += w * static_cast<double>(e.eloc);
    swee[k] += w * static_cast<double>(e.eloc) * static_cast<double>(e.eloc);
  }
  EXPECT_EQ(left_out, 1u);
  double a = 0, b = 0, c = 0, d = 0;
  for (std::size_t k = 0; k < lane_width; ++k) {
    a += sw[k];
    b += sw2[k];
    c += swe[k];
    d += swee[k];
  }
  const double mean = c / a;
  for (const std::int64_t target : lane_targets()) {
    restrict_lane_target(target);
    const reweighted_estimate e = reweighted(smp, t);
    EXPECT_EQ(e.energy, mean) << lane_target_name(target);
    EXPECT_EQ(e.variance, d / a - mean * mean) << lane_target_name(target);
    EXPECT_EQ(e.effective, a * a / b / 2503.0) << lane_target_name(target);
    // Every column is the scalar fixed_of, and the local energy from it the
    // scalar evaluation's.
    const reweighting_sample cols = reweighting_sample_of(smp, t);
    for (std::size_t i = 0; i < smp.r.size(); i += 7) {
      const covalent_ionic_fixed<float> f = fixed_of(parts_of(smp.r[i], t), t);
      const float want[10] = {f.r1l,   f.r1r,   f.r2l,   f.r2r,   f.r12,
                              f.cos1l, f.cos1r, f.cos2l, f.cos2r, f.potential};
      for (std::size_t col = 0; col < 10; ++col) {
        ASSERT_EQ(cols.fixed[col][i], want[col]) << lane_target_name(target) << " " << i << " " << col;
      }
      covalent_ionic_parts<float> p = parts_of(smp.r[i], t);
      ASSERT_EQ(local_energy_of(f, p, t), evaluate(smp.r[i], t).eloc) << i;
    }
  }
  restrict_lane_target(0);
}

// Eight walks in lanes against each walk alone: the sample of each is its
// draw_sample, and the statistics of each its measured walk's, to the bit,
// on every vector target (1234 steps a walk: a last tenth left unkept).
TEST(LaneSampling, EachWalkIsItsScalarWalkOnEveryVectorTarget) {
  const covalent_ionic_trial<float> t = trial_of(1.4f, {0.6, 0.5, 0.48});
  constexpr std::int64_t equilibration = 53, steps = 1234;
  lane_starts starts;
  std::vector<coords> r_expected;
  std::vector<float> psi_expected;
  std::vector<energy_statistics> stats_expected(lane_width);
  for (std::size_t k = 0; k < lane_width; ++k) {
    starts.g[k] = walk_stream(8, k, 1000000);
    starts.r[k] = start_configuration(starts.g[k], t.s, offset_rounding::per_operation);
    ecuyer g = starts.g[k];
    const sample one = draw_sample(g, starts.r[k], t, 0.4f, equilibration, steps);
    r_expected.insert(r_expected.end(), one.r.begin(), one.r.end());
    psi_expected.insert(psi_expected.end(), one.psi.begin(), one.psi.end());
    g = starts.g[k];
    stoppable_walk(starts.r[k], g, reflecting_step{0.4f}, t, acceptance::above_deviate,
                   equilibration, steps, stats_expected[k], nullptr);
  }
  energy_statistics merged;
  for (const energy_statistics& e : stats_expected) merge(merged, e);
  const measured all = measured_from(merged);
  for (const std::int64_t target : lane_targets()) {
    restrict_lane_target(target);
    lane_starts a = starts, b = starts, c = starts;
    const sample got = draw_sample_in_lanes(a, t, 0.4f, equilibration, steps);
    ASSERT_EQ(got.r.size(), lane_width * 123u) << lane_target_name(target);
    EXPECT_EQ(got.r, r_expected) << lane_target_name(target);
    EXPECT_EQ(got.psi, psi_expected) << lane_target_name(target);
    lane_starts d = starts;
    const reweighting_sample cols = draw_reweighting_sample_in_lanes(d, t, 0.4f, equilibration, steps);
    const reweighting_sample want = reweighting_sample_of(got, t);
    EXPECT_EQ(cols.size, want.size);
    EXPECT_EQ(cols.fixed, want.fixed) << lane_target_name(target);
    EXPECT_EQ(cols.psi, want.psi) << lane_target_name(target);
    const auto each = measure_each_in_lanes(b, t, 0.4f, equilibration, steps);
    for (std::size_t k = 0; k < lane_width; ++k) {
      const measured x = measured_from(each[k]), y = measured_from(stats_expected[k]);
      EXPECT_EQ(x.steps, y.steps) << lane_target_name(target) << " lane " << k;
      EXPECT_EQ(x.accepted, y.accepted) << lane_target_name(target) << " lane " << k;
      EXPECT_EQ(x.energy, y.energy) << lane_target_name(target) << " lane " << k;
      EXPECT_EQ(x.error, y.error) << lane_target_name(target) << " lane " << k;
      EXPECT_EQ(x.variance, y.variance) << lane_target_name(target) << " lane " << k;
      EXPECT_EQ(x.energy_accepted, y.energy_accepted) << lane_target_name(target) << " lane " << k;
      EXPECT_EQ(a.r[k], b.r[k]);  // both walks end where the same walk ends
      EXPECT_EQ(a.g[k].ix1, b.g[k].ix1);
    }
    const measured m = measure_in_lanes(c, t, 0.4f, equilibration, steps);
    EXPECT_EQ(m.steps, static_cast<std::int64_t>(lane_width) * steps);
    EXPECT_EQ(m.energy, all.energy) << lane_target_name(target);
    EXPECT_EQ(m.error, all.error) << lane_target_name(target);
    EXPECT_EQ(m.variance, all.variance) << lane_target_name(target);
  }
  restrict_lane_target(0);
}

// The energy of other parameters from the classic sample agrees with a walk
// of those parameters, and the effective size falls as they move away.
TEST(Reweighting, PredictsTheEnergyOfNearbyParameters) {
  const sample smp = sample_at(0.74f, classic_074, 23, 2000000);
  double previous_effective = 1.0;
  for (const double beta : {0.4, 0.6}) {
    const trial_parameters p{beta, 1.0, classic_074.a};
    const reweighted_estimate e = reweighted(smp, trial_of(0.74f, p));
    EXPECT_LT(e.effective, previous_effective);
    previous_effective = e.effective;
    ecuyer g = walk_stream(99, 0, 6 + 7 * 2010000ull);
    const coords start = start_configuration(g, 0.74f, offset_rounding::per_operation);
    const measured direct = measure(g, start, trial_of(0.74f, p), 0.40125f, 10000, 2000000);
    // The sample's own error is about that of the direct walk (every tenth
    // of 2e6 steps with tau near 16): five combined errors are a wide margin.
    EXPECT_NEAR(e.energy, direct.energy, 5.0 * std::sqrt(2.0) * direct.error) << beta;
  }
}

// The tabulated exact curve, less the protons' repulsion e^2/s when asked
// for the electronic energy, and at s the cubic through its four tabulated
// points around s (the curve bends too much at small s for a straight line
// between two points, which would lie above it).
double tabulated_cubic(double s, bool electronic = false) {
  std::ifstream f(PROJECT_SOURCE_DIR "/plot/h2-exact-curve.dat");
  std::string line;
  std::vector<std::pair<double, double>> curve;
  while (std::getline(f, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    double r, e, sa, ev;
    in >> r >> e >> sa >> ev;
    curve.emplace_back(sa, electronic ? ev - 14.409 / sa : ev);
  }
  std::size_t i = 1;
  while (i + 3 < curve.size() && curve[i + 1].first < s) ++i;
  double sum = 0;
  for (std::size_t j = i - 1; j < i + 3; ++j) {
    double term = curve[j].second;
    for (std::size_t m = i - 1; m < i + 3; ++m) {
      if (m != j) term *= (s - curve[m].first) / (curve[j].first - curve[m].first);
    }
    sum += term;
  }
  return sum;
}

// The exact energy at separation s (A).
double exact_energy(double s) { return tabulated_cubic(s); }

// The curve built into the flags, against the cubic of the electronic energy
// E - e^2/s: on the 1/s wall, where a spline of E itself lies 0.05-0.07 eV
// too high between the points near 0.3 A (and eV closer in), and at the
// minimum.
TEST(ExactCurve, TheBuiltInCurveFollowsTheElectronicEnergy) {
  for (const double s : {0.28, 0.29, 0.3, 0.34, 0.74, 1.5}) {
    EXPECT_NEAR(*exact_energy_bound(s), tabulated_cubic(s, true) + 14.409 / s, 0.005) << s;
  }
}

// Beyond the table the bound rises to two atoms from below, continuous at
// the last point, and close enough at 10 A to flag a diffusion run 2.5 meV
// below two atoms (orbitals far from the cusp at tau = 4e-4 /eV gave
// -27.1924 +- 0.0006 eV), but not a variational walk of exact atoms.
TEST(ExactCurve, BeyondTheTableBoundsTheRiseToTwoAtoms) {
  const double atoms = -27.18989;
  EXPECT_NEAR(*exact_energy_bound(3.179638), -27.212613, 1e-6);
  double previous = -27.212613;
  for (const double s : {3.2, 3.5, 4.0, 6.0, 10.0, 100.0}) {
    const double bound = *exact_energy_bound(s);
    EXPECT_GT(bound, previous) << s;
    EXPECT_LT(bound, atoms) << s;
    previous = bound;
  }
  EXPECT_GT(*exact_energy_bound(10.0), atoms - 0.00025);
  std::vector<flag> flags;
  add_below_exact(flags, 10.0f, -27.1924, 0.0006);
  ASSERT_EQ(flags.size(), 1u);
  EXPECT_EQ(flags[0].word, "below-exact");
  flags.clear();
  add_below_exact(flags, 10.0f, -27.18992, 0.00005);
  EXPECT_TRUE(flags.empty());
}

TEST(ExactCurve, IsInterpolatedByCubics) {
  EXPECT_NEAR(exact_energy(0.423952), -27.735229, 1e-6);  // a tabulated point
  EXPECT_NEAR(exact_energy(0.74), -31.93, 0.01);          // the minimum
  EXPECT_LT(exact_energy(0.3), -19.0);                    // below the chord, -18.69
}

TEST(Optimize, FindsTheBestParametersAndStaysAboveTheExactEnergy) {
  optimize_settings settings;
  settings.separations = {0.74f, 2.5f};
  settings.steps = 1000000;
  const std::vector<optimize_row> rows = run_optimize(settings);
  ASSERT_EQ(rows.size(), 2u);
  // At 0.74 A the orbital contracts below its cusp value and about half the
  // ionic weight remains; beta grows from 0.25 to about 1.
  EXPECT_TRUE(rows[0].converged);
  EXPECT_GT(rows[0].p.beta, 0.7);
  EXPECT_LT(rows[0].p.beta, 1.8);
  EXPECT_GT(rows[0].p.lambda, 0.4);
  EXPECT_LT(rows[0].p.lambda, 0.8);
  EXPECT_GT(rows[0].p.a, 0.40);
  EXPECT_LT(rows[0].p.a, 0.445);
  EXPECT_LT(rows[0].energy, -31.45);
  // At 2.5 A the ionic products almost vanish: the curve dissociates.
  EXPECT_LT(rows[1].p.lambda, 0.2);
  EXPECT_LT(rows[1].energy, -27.25);
  // The variational principle: never below the exact energy beyond two errors.
  for (const optimize_row& r : rows) {
    EXPECT_GT(r.energy + 2.0 * r.error, exact_energy(r.s)) << r.s;
  }
}

// Far apart the optimum is two atoms: an ionic weight near 0 and -27.19 eV.
// A sample of a small ionic weight holds no ionic configurations, and a
// search free to jump would land on larger ones, whose fresh walk then pays
// for them (-26.74 eV at 5.4 A, flagged disagrees).
TEST(Optimize, FarApartStaysWithTwoAtoms) {
  optimize_settings settings;
  settings.separations = {5.4f, 6.2f};
  settings.steps = 1000000;
  for (const optimize_row& r : run_optimize(settings)) {
    EXPECT_LT(r.p.lambda, 0.03) << r.s;
    EXPECT_NEAR(r.energy, -27.19, 0.01) << r.s;
    EXPECT_TRUE(flags_of(r).empty()) << r.s << " " << flag_column(flags_of(r));
  }
}

TEST(Optimize, IsTheSameOnOneThreadAndOnTwo) {
  optimize_settings settings;
  settings.separations = {0.6f, 1.0f, 1.8f};
  settings.steps = 20000;
  settings.sample_steps = 20000;
  settings.max_rounds = 3;
  omp_set_num_threads(1);
  const std::string one = tab_separated(optimize_table(run_optimize(settings)));
  omp_set_num_threads(2);
  const std::string two = tab_separated(optimize_table(run_optimize(settings)));
  omp_set_num_threads(omp_get_num_procs());
  EXPECT_EQ(one, two);
  EXPECT_EQ(one.substr(0, one.find('\n')),
            "s\tbeta\tionic_weight\ta\tenergy\terror\tvariance\tacceptance\tflag");
}

// The walks run in vector lanes: every target gives the same rows to the bit.
TEST(Optimize, IsTheSameOnEveryVectorTarget) {
  optimize_settings settings;
  settings.separations = {0.74f, 3.0f};
  settings.steps = 16000;
  settings.sample_steps = 8000;
  settings.max_rounds = 2;
  std::string first;
  for (const std::int64_t target : lane_targets()) {
    restrict_lane_target(target);
    const std::string rows = tab_separated(optimize_table(run_optimize(settings)));
    if (first.empty()) first = rows;
    EXPECT_EQ(rows, first) << lane_target_name(target);
  }
  restrict_lane_target(0);
}

// A progress callback that throws, as a library caller's may, hands its
// exception to the caller once every thread has stopped.
TEST(Optimize, AThrowingProgressCallbackReachesTheCaller) {
  optimize_settings settings;
  settings.separations = {0.6f, 1.0f};
  settings.steps = 2000;
  settings.sample_steps = 1000;
  settings.max_rounds = 2;
  omp_set_num_threads(2);
  EXPECT_THROW(run_optimize(settings, [](const optimize_round&) { throw std::runtime_error("stop"); }),
               std::runtime_error);
  omp_set_num_threads(omp_get_num_procs());
}

}  // namespace
}  // namespace vmc
