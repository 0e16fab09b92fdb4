#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "output/io_error.h"
#include "vmc/curve_table.h"
#include "vmc/radial_levels.h"
#include "vmc/spectrum.h"

// The spectrum of a curve: the radial solver against a curve it solves
// exactly, the shipped exact curve against the literature, the reader's
// refusals, and the errors of a noisy curve against their spread.

namespace vmc {
namespace {

const std::string exact_curve_path = std::string(PROJECT_SOURCE_DIR) + "/plot/h2-exact-curve.dat";

std::vector<curve_point> exact_points() {
  return read_curve(exact_curve_path, [](const std::string&) {});
}

double value_of(const spectrum_result& r, const std::string& molecule, const std::string& quantity,
                double* error = nullptr) {
  for (const spectrum_value& v : r.values) {
    if (v.molecule == molecule && v.quantity == quantity) {
      if (error) *error = v.error;
      return v.value;
    }
  }
  ADD_FAILURE() << "no " << quantity << " of " << molecule;
  return NAN;
}

// A Morse curve E = -1 - De + De (1 - exp(-a (R - Re)))^2 has the levels
// E_v = -1 - De + w (v + 1/2) - w^2 / (4 De) (v + 1/2)^2, w = a sqrt(2 De / mu),
// for v below sqrt(2 mu De) / a - 1/2 (its rotationless levels, exactly).
TEST(SpectrumSolver, FindsEveryLevelOfAMorseCurve) {
  const double de = 0.1745, a = 1.0282, re = 1.4011;
  for (const molecule& m : {molecule_named("H2"), molecule_named("D2")}) {
    radial_grid g;
    g.first = 0.3;
    g.step = 0.005;
    for (double r = g.first; r < 40.0; r += g.step) {
      const double x = 1.0 - std::exp(-a * (r - re));
      g.potential.push_back(-1.0 - de + de * x * x);
    }
    const radial_equation q = radial_equation_of(g, m.mu, 0);
    const double w = a * std::sqrt(2.0 * de / m.mu), lambda = std::sqrt(2.0 * m.mu * de) / a;
    const int bound = static_cast<int>(std::floor(lambda - 0.5)) + 1;
    // The last level lies a few cm^-1 below the limit; the grid's end lifts it.
    EXPECT_EQ(levels_below(q, -1.0), bound) << m.name;
    for (int v = 0; v + 1 < bound; ++v) {
      const double n = v + 0.5;
      const double exact = -1.0 - de + w * n - w * w / (4.0 * de) * n * n;
      EXPECT_NEAR(level_energy(q, v, -1.0 - de, -1.0) * cm_per_hartree, exact * cm_per_hartree,
                  0.01)
          << m.name << " v = " << v;
    }
  }
}

// On the shipped exact curve: D0 of H2 within 0.5 cm^-1 of the Born-Oppenheimer
// value 36112.59 cm^-1 (Piszczatowski et al. 2009), Re within 0.0002 A of
// 0.74144 A, the convergence error of each below 0.01; the heavier
// molecules lie deeper, and B0 scales as 1/mu (to 1 %: the vibration's
// average of 1/R^2 differs between them).
TEST(SpectrumOfTheExactCurve, MatchesTheLiteratureBornOppenheimerValues) {
  spectrum_settings s;
  s.points = exact_points();
  for (const char* name : {"H2", "HD", "D2"}) s.molecules.push_back(molecule_named(name));
  const spectrum_result r = run_spectrum(s);
  double d0_error = 0, re_error = 0, nu_error = 0;
  EXPECT_NEAR(value_of(r, "H2", "D0", &d0_error), 36112.59, 0.5);
  EXPECT_NEAR(value_of(r, "H2", "Re", &re_error), 0.74144, 0.0002);
  value_of(r, "H2", "nu01", &nu_error);
  EXPECT_LT(d0_error, 0.01);
  EXPECT_LT(nu_error, 0.01);
  EXPECT_LT(re_error, 1e-5);
  EXPECT_LT(value_of(r, "H2", "D0"), value_of(r, "HD", "D0"));
  EXPECT_LT(value_of(r, "HD", "D0"), value_of(r, "D2", "D0"));
  EXPECT_NEAR(value_of(r, "H2", "B0") / value_of(r, "D2", "B0") /
                  (molecule_named("D2").mu / molecule_named("H2").mu),
              1.0, 0.01);
  EXPECT_EQ(value_of(r, "H2", "bound_levels"), 15);
  EXPECT_EQ(value_of(r, "D2", "bound_levels"), 21);
}

struct bad_curve {
  const char* text;
  const char* names;  // the reason names this
};

class SpectrumBadCurve : public ::testing::TestWithParam<bad_curve> {};

TEST_P(SpectrumBadCurve, IsRefusedWithTheFileAndTheReason) {
  try {
    parse_curve("c.tsv", GetParam().text, [](const std::string&) {});
    ADD_FAILURE() << "accepted";
  } catch (const io_error& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().names), std::string::npos) << e.what();
    EXPECT_EQ(std::string(e.what()).rfind("c.tsv", 0), 0u) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tables, SpectrumBadCurve,
    ::testing::Values(bad_curve{"s\tenergy_x\n0.7\t-31\n", "header"},
                      bad_curve{"s\tenergy\n0.7\t-31\n0.8\tx\n", "line 3"},
                      bad_curve{"s\tenergy\terror\n0.7\t-31\t0\n", "error above 0"},
                      bad_curve{"s\tenergy\n0.7\t-31\n0.8\t-31\n0.9\t-31\n", "four points"},
                      bad_curve{"s\tenergy\n0.7\t-31\n0.8\t-31\n0.9\t-31\n0.7\t-30\n", "two points"},
                      bad_curve{"0.5 -0.5 0.26\n", "four numbers"}));

TEST(SpectrumCurveTable, ReadsColumnsByNameAndLeavesFlaggedRowsOut) {
  std::vector<std::string> said;
  const std::vector<curve_point> p =
      parse_curve("c.tsv",
                  "# a comment\nflag\terror\tenergy\tsteps\ts\n"
                  "\t0.002\t-27.18989\t10\t1.0599\n"
                  "not converged\t0.002\t-31\t10\t0.74\n"
                  "\t0.001\t-54.37978\t10\t0.5299396\n\t0.001\t-1\t1\t2\n\t0.001\t-1\t1\t3\n",
                  [&](const std::string& line) { said.push_back(line); });
  ASSERT_EQ(p.size(), 4u);
  EXPECT_DOUBLE_EQ(p[0].r, 1.0);  // sorted, in bohr
  EXPECT_DOUBLE_EQ(p[0].e, -2.0);
  EXPECT_DOUBLE_EQ(p[1].e, -1.0);
  EXPECT_DOUBLE_EQ(p[0].error * model_hartree_ev, 0.001);
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find("s = 0.74"), std::string::npos) << said[0];
  EXPECT_NE(said[0].find("not converged"), std::string::npos) << said[0];
}

// A dmc table of several time steps: only each separation's limit (time_step
// 0) is a point of the curve; a flagged limit leaves its separation out.
TEST(SpectrumCurveTable, ReadsOnlyTheLimitsOfSeveralTimeSteps) {
  std::string text = "s\ttime_step\tenergy\terror\tflag\n";
  for (const char* s : {"0.6", "0.74", "1", "1.4", "2"}) {
    text += std::string(s) + "\t2e-04\t-20\t0.01\t\n" + s + "\t4e-04\t-20\t0.01\t\n" + s +
            (std::string(s) == "2" ? "\t0\t-25\t0.02\tpoor-fit\n" : "\t0\t-30\t0.02\t\n");
  }
  const std::vector<curve_point> p = parse_curve("c.tsv", text, [](const std::string&) {});
  ASSERT_EQ(p.size(), 4u);
  for (const curve_point& x : p) EXPECT_DOUBLE_EQ(x.e * model_hartree_ev, -30.0);
}

// The exact curve plus Gaussian noise of the stated error at 0.45 to 2.5 A in
// 0.05 A steps, over 30 draws: the spread of D0 and of the fundamental over
// their median errors lies in the 95 % band of a standard deviation of 30
// samples, and their mean lies within the 95 % band of Student's t with 29
// degrees of freedom (2.045 of its own errors) of the noiseless curve's value.
TEST(SpectrumOfANoisyCurve, ItsErrorsAgreeWithTheSpreadOverDraws) {
  const potential_curve exact = interpolated_curve(exact_points());
  constexpr int draws = 30;
  // (n - 1) s^2 / sigma^2 follows chi^2 with n - 1 = 29 degrees of freedom,
  // whose 2.5 % and 97.5 % points are 16.047 and 45.722.
  const double low = std::sqrt(16.047 / (draws - 1)), high = std::sqrt(45.722 / (draws - 1));
  for (const double noise_ev : {0.001, 0.003}) {
    spectrum_settings s;
    s.molecules = {molecule_named("H2")};
    s.resamples = 20;
    for (int k = 0; k <= 41; ++k) {
      const double r = (0.45 + 0.05 * k) / model_bohr_a;
      s.points.push_back({r, exact.energy(r), noise_ev / model_hartree_ev});
    }
    const spectrum_result truth = run_spectrum(s);
    // Each noise level draws its own deviates, so the two are separate checks.
    std::mt19937_64 deviates(noise_ev < 0.002 ? 1 : 2);
    std::normal_distribution<double> gauss;
    const std::vector<curve_point> noiseless = s.points;
    for (const char* quantity : {"D0", "nu01"}) {
      std::vector<double> values, errors;
      for (int d = 0; d < draws; ++d) {
        s.points = noiseless;
        for (curve_point& p : s.points) p.e += p.error * gauss(deviates);
        s.seed = static_cast<std::uint64_t>(d + 1);
        double error = 0;
        values.push_back(value_of(run_spectrum(s), "H2", quantity, &error));
        errors.push_back(error);
      }
      double mean = 0, spread = 0;
      for (double v : values) mean += v / draws;
      for (double v : values) spread += (v - mean) * (v - mean) / (draws - 1);
      spread = std::sqrt(spread);
      std::nth_element(errors.begin(), errors.begin() + draws / 2, errors.end());
      const double ratio = spread / errors[draws / 2];
      const double offset = (mean - value_of(truth, "H2", quantity)) / (spread / std::sqrt(draws));
      std::printf("noise %g eV, %s: spread/median error %.3f (band %.3f-%.3f), "
                  "(mean - noiseless)/its error %.2f\n",
                  noise_ev, quantity, ratio, low, high, offset);
      EXPECT_GT(ratio, low) << quantity << " at " << noise_ev << " eV";
      EXPECT_LT(ratio, high) << quantity << " at " << noise_ev << " eV";
      EXPECT_LT(std::fabs(offset), 2.045) << quantity << " at " << noise_ev << " eV";
    }
  }
}

}  // namespace
}  // namespace vmc
