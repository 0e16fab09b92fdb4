#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "program_runner.h"

// Whole runs of vmc scan: the table, its determinism, its honesty over many
// seeds, the bias it exposes, and the refusal of bad input.

namespace vmc::testing {
namespace {

const std::string vmc_program = VMC_PROGRAM;
const std::string vodik_program = VODIK_PROGRAM;

const std::string header =
    "s\tbeta\ta\tsteps\tacceptance\tenergy\terror\ttau\tvariance\tenergy_accepted\tionic_weight\tflag";

testing::outcome vmc(const temp_dir& dir, std::vector<std::string> args, int threads = 0) {
  testing::launch how;
  how.args = std::move(args);
  if (threads > 0) how.env.emplace("OMP_NUM_THREADS", std::to_string(threads));
  return testing::run(vmc_program, dir.path(), how);
}

struct row {
  double s, beta, a, steps, acceptance, energy, error, tau, variance, energy_accepted;
};

std::vector<row> table_of(const std::string& tsv) {
  const auto l = lines(tsv);
  EXPECT_FALSE(l.empty());
  if (l.empty()) return {};
  EXPECT_EQ(l[0], header);
  std::vector<row> rows;
  for (std::size_t i = 1; i < l.size(); ++i) {
    // Ten numbers, the ionic weight, and an empty flag: every row here is sound.
    std::vector<double> v;
    std::size_t start = 0;
    for (int k = 0; k < 10; ++k) {
      const std::size_t tab = l[i].find('\t', start);
      if (tab == std::string::npos) break;
      v.push_back(std::stod(l[i].substr(start, tab - start)));
      start = tab + 1;
    }
    EXPECT_EQ(l[i].substr(start), "1\t") << l[i];
    EXPECT_EQ(v.size(), 10u) << l[i];
    if (v.size() == 10) rows.push_back({v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]});
  }
  return rows;
}

TEST(VmcScan, WritesTheTableAndShowsItAligned) {
  temp_dir dir;
  const testing::outcome r = vmc(dir, {"scan", "--separations", "0.74,1.4", "--steps", "2e4",
                                       "--equilibration", "1000", "--beta", "0.5"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "") << "no progress line when standard error is not a terminal";
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"vmc-scan.tsv"});
  const auto rows = table_of(table_body(read_file(dir / "vmc-scan.tsv")));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(static_cast<float>(rows[0].s), 0.74f);
  EXPECT_EQ(static_cast<float>(rows[1].s), 1.4f);
  for (const row& x : rows) {
    EXPECT_EQ(x.beta, 0.5);
    EXPECT_EQ(x.steps, 20000);
    EXPECT_GT(x.acceptance, 0.3);
    EXPECT_LT(x.acceptance, 0.8);
    EXPECT_GT(x.error, 0.0);
    EXPECT_GE(x.tau, 1.0);
    EXPECT_GT(x.variance, 0.0);
    EXPECT_LT(x.energy, -25.0);
  }
  // The console shows the same header and rows, aligned.
  const auto console = lines(r.out);
  ASSERT_EQ(console.size(), 3u);
  EXPECT_EQ(items(console[0]), items(header));
  EXPECT_EQ(console[0].size(), console[1].size());
  EXPECT_EQ(console[1].size(), console[2].size());
}

TEST(VmcScan, IsTheSameToTheByteOnOneThreadAndOnTwo) {
  temp_dir one, two;
  const std::vector<std::string> args = {"scan", "--separations", "0.5:1.5:0.25", "--steps",
                                         "3e4", "--seed", "12345"};
  const testing::outcome a = vmc(one, args, 1);
  const testing::outcome b = vmc(two, args, 2);
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(a.out, b.out);
  EXPECT_EQ(read_file(one / "vmc-scan.tsv"), read_file(two / "vmc-scan.tsv"));
  // Another seed is another run.
  temp_dir three;
  std::vector<std::string> other = args;
  other.back() = "12346";
  ASSERT_EQ(vmc(three, other, 2).status, 0);
  EXPECT_NE(read_file(three / "vmc-scan.tsv"), read_file(one / "vmc-scan.tsv"));
}

// With vodik's seed, step size and steps, no equilibration and no
// reflections, each walk is a walk of vodik's pass on another stream (vmc's
// streams are spaced so that a longer run continues a shorter one; vodik's
// passes follow each other on one stream): the same acceptance within 0.02
// and the same mean over the accepted moves within six of vmc's errors.
TEST(VmcScan, WithTheClassicSettingsRepeatsVodiksWalks) {
  temp_dir classic, dir;
  const testing::outcome v = testing::run(vodik_program, classic.path());
  ASSERT_EQ(v.status, 0);
  const testing::outcome r =
      vmc(dir, {"scan", "--steps", "100000", "--equilibration", "0", "--no-reflections"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto rows = table_of(table_body(read_file(dir / "vmc-scan.tsv")));
  const auto records = lines(v.out);
  ASSERT_EQ(rows.size(), 45u);
  ASSERT_EQ(records.size(), 45u);
  for (std::size_t p = 0; p < 45; ++p) {
    const auto c = items(records[p]);
    EXPECT_EQ(static_cast<float>(rows[p].s), std::stof(c[1]));
    EXPECT_NEAR(rows[p].acceptance, std::stod(c[5]), 0.02) << p;
    EXPECT_NEAR(rows[p].energy_accepted, std::stod(c[3]), 6.0 * rows[p].error) << p;
  }
}

// Over 40 seeds at one separation the energies scatter as much as the
// reported errors say: the ratio of their spread to the median error lies in
// [0.66, 1.36] for 40 samples with 99.8 % odds.
TEST(VmcScan, ItsErrorBarsAgreeWithTheSpreadOverSeeds) {
  std::vector<double> energies, errors;
  for (int seed = 1; seed <= 40; ++seed) {
    temp_dir dir;
    const testing::outcome r = vmc(dir, {"scan", "--separations", "0.74", "--steps", "1e5",
                                         "--seed", std::to_string(seed * 7919)});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = table_of(table_body(read_file(dir / "vmc-scan.tsv")));
    ASSERT_EQ(rows.size(), 1u);
    energies.push_back(rows[0].energy);
    errors.push_back(rows[0].error);
  }
  double mean = 0;
  for (double e : energies) mean += e / 40.0;
  double squares = 0;
  for (double e : energies) squares += (e - mean) * (e - mean);
  const double spread = std::sqrt(squares / 39.0);
  std::sort(errors.begin(), errors.end());
  const double median_error = 0.5 * (errors[19] + errors[20]);
  EXPECT_GT(spread / median_error, 0.66) << spread << " " << median_error;
  EXPECT_LT(spread / median_error, 1.36) << spread << " " << median_error;
}

// The classic programs' energy, the mean over accepted moves, is biased:
// at 0.3 A it lies many error bars above the mean over every step.
TEST(VmcScan, ShowsTheBiasOfTheMeanOverAcceptedMoves) {
  temp_dir dir;
  const testing::outcome r = vmc(dir, {"scan", "--separations", "0.3", "--steps", "2e5"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto rows = table_of(table_body(read_file(dir / "vmc-scan.tsv")));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_GT(rows[0].energy_accepted - rows[0].energy, 10.0 * rows[0].error);
}

struct bad_option {
  std::vector<std::string> args;
  const char* names;  // the one line names this
  const char* table = nullptr;  // the text of t.tsv, when the case needs one
};

class VmcBadInput : public ::testing::TestWithParam<bad_option> {};

TEST_P(VmcBadInput, IsOneLineExitStatusTwoAndNoFileTouched) {
  const bad_option& c = GetParam();
  temp_dir dir;
  write_file(dir / "vmc-scan.tsv", "earlier\n");
  if (c.table != nullptr) write_file(dir / "t.tsv", c.table);
  const testing::outcome r = vmc(dir, c.args);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  const auto err = lines(r.err);
  ASSERT_EQ(err.size(), 1u) << r.err;
  EXPECT_EQ(err[0].rfind("vmc", 0), 0u) << err[0];
  EXPECT_NE(err[0].find(c.names), std::string::npos) << err[0];
  EXPECT_EQ(entries(dir.path()).size(), c.table != nullptr ? 2u : 1u);
  EXPECT_EQ(read_file(dir / "vmc-scan.tsv"), "earlier\n");
}

INSTANTIATE_TEST_SUITE_P(
    Options, VmcBadInput,
    ::testing::Values(
        bad_option{{}, "subcommand"}, bad_option{{"fly"}, "unknown subcommand \"fly\""},
        bad_option{{"scan", "--bogus", "1"}, "--bogus"},
        bad_option{{"scan", "--separations", "0.3:2.5"}, "--separations"},
        bad_option{{"scan", "--separations", "0.3:2.5:0"}, "--separations"},
        bad_option{{"scan", "--separations", "0.5,-1"}, "--separations"},
        bad_option{{"scan", "--separations", "nan"}, "--separations"},
        bad_option{{"scan", "--separations", "1500"}, "--separations"},
        bad_option{{"scan", "--steps", "0"}, "--steps"},
        bad_option{{"scan", "--steps", "-10"}, "--steps"},
        bad_option{{"scan", "--steps", "1.5"}, "--steps"},
        bad_option{{"scan", "--equilibration", "-1"}, "--equilibration"},
        bad_option{{"scan", "--walkers", "0"}, "--walkers"},
        bad_option{{"scan", "--walkers", "1e2", "--steps", "1e1"},
                   "vmc scan: --walkers: 1e2 walkers need at least as many --steps; got 1e1"},
        bad_option{{"scan", "--walkers", "9", "--steps", "8"}, "--walkers"},
        bad_option{{"scan", "--walkers", "1e9", "--steps", "1e12"}, "--walkers"},
        bad_option{{"scan", "--separations", "0.1:1000:0.1", "--walkers", "100", "--equilibration",
                    "1e12"}, "--steps"},
        bad_option{{"scan", "--beta", "-0.25"}, "--beta"},
        bad_option{{"scan", "--beta", "inf"}, "--beta"},
        bad_option{{"scan", "--step-size", "0"}, "--step-size"},
        bad_option{{"scan", "--step-size", "nan"}, "--step-size"},
        bad_option{{"scan", "--seed", "0"}, "--seed"},
        bad_option{{"scan", "--steps"}, "--steps"},
        bad_option{{"scan", "--ionic-weight", "-1"}, "--ionic-weight"},
        bad_option{{"scan", "--orbital-length", "0"}, "--orbital-length"},
        bad_option{{"optimize", "--separations", "2:1:0.1"}, "--separations"},
        bad_option{{"optimize", "--sample-steps", "10"}, "--sample-steps"},
        bad_option{{"optimize", "--sample-steps", "1.25e11"}, "--sample-steps"},
        bad_option{{"optimize", "--max-rounds", "0"}, "--max-rounds"},
        bad_option{{"optimize", "--max-rounds", "1000"}, "--max-rounds"},
        bad_option{{"optimize", "--steps", "1e13"}, "--steps"},
        bad_option{{"optimize", "--bogus"}, "--bogus"},
        bad_option{{"dmc", "--parameters", "none.tsv"}, "--parameters: cannot read \"none.tsv\": No such file"},
        bad_option{{"dmc", "--parameters", "vmc-scan.tsv"}, "is not a vmc optimize table"},
        bad_option{{"dmc", "--parameters", "t.tsv", "--beta", "1"}, "--beta"},
        bad_option{{"dmc", "--walkers", "5"}, "--walkers"},
        bad_option{{"dmc", "--trial", "best"}, "--trial: expected optimised or classic; got \"best\""},
        bad_option{{"dmc", "--trial", "classic", "--parameters", "t.tsv"}, "--trial excludes --parameters"},
        bad_option{{"dmc", "--beta", ""}, "--beta"},
        // Empty values are refused, not read as the option not given.
        bad_option{{"scan", "--orbital-length", ""}, "--orbital-length"},
        bad_option{{"dmc", "--parameters", ""}, "--parameters"},
        // Values beyond what the model computes in float (NaN rows, unreadable tables).
        bad_option{{"scan", "--separations", "1e-45"}, "--separations"},
        bad_option{{"scan", "--separations", "0.5,1e-30"}, "--separations"},
        bad_option{{"scan", "--orbital-length", "1e-45"}, "--orbital-length"},
        bad_option{{"scan", "--beta", "3e38"}, "--beta"},
        bad_option{{"scan", "--ionic-weight", "1e30"}, "--ionic-weight"},
        bad_option{{"optimize", "--step-size", "1e30"}, "--step-size"},
        // A table of parameters: bounded, and wrong lines named.
        bad_option{{"dmc", "--parameters", "/dev/zero"}, "line 1 is longer than 4096 bytes"},
        bad_option{{"dmc", "--parameters", "t.tsv"}, "\"t.tsv\": line 3, column ionic_weight",
                   "s\tbeta\tionic_weight\ta\n0.74\t0.25\t1\t0.5\n1.4\t0.25\tx\t0.5\n"},
        bad_option{{"dmc", "--parameters", "t.tsv"}, "line 2, its header, has no column ionic_weight",
                   "# a comment\r\ns\tbeta\ta\r\n"},
        bad_option{{"dmc", "--parameters", "t.tsv"}, "line 2, column a: expected a number from 0.1",
                   "s\tbeta\tionic_weight\ta\n0.74\t0.25\t1\t1e-45\n"},
        bad_option{{"dmc", "--time-step", "0.5"}, "--time-step"},
        bad_option{{"dmc", "--time-step", "1e-4,2e-4,1e-4"}, "--time-step: 1e-04 is given twice"},
        bad_option{{"dmc", "--time-step", "1e-4,"}, "--time-step: expected a time step above 0"},
        bad_option{{"dmc", "--time-step", "1e-4:4e-4:1e-4"}, "--time-step: expected a time step"},
        bad_option{{"dmc", "--time-step", "1e-4,2e-4,3e-4,4e-4,5e-4,6e-4,7e-4,8e-4,9e-4,1e-3,2e-3,"
                                          "3e-3,4e-3,5e-3,6e-3,7e-3,8e-3"},
                   "--time-step: expected at most 16 time steps; got 17"},
        bad_option{{"spectrum"}, "curve is required"},
        bad_option{{"spectrum", "c.tsv", "--molecules", "H2,T2"}, "--molecules"},
        bad_option{{"spectrum", "c.tsv", "--molecules", "H2,H2"}, "--molecules"},
        bad_option{{"spectrum", "c.tsv", "--step", "0.1"}, "--step"},
        bad_option{{"spectrum", "c.tsv", "--resamples", "1"}, "--resamples"},
        bad_option{{"spectrum", "c.tsv", "--terms", "0"}, "--terms"}));

TEST(VmcHelp, AnswersOnEveryLevelAndGivesItsVersion) {
  temp_dir dir;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"scan", "--help"}, {"scan", "-h"},
        {"optimize", "--help"}}) {
    const testing::outcome r = vmc(dir, args);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage"), std::string::npos) << r.out;
  }
  EXPECT_NE(vmc(dir, {"scan", "--help"}).out.find("--separations"), std::string::npos);
  EXPECT_NE(vmc(dir, {"optimize", "--help"}).out.find("--sample-steps"), std::string::npos);
  const testing::outcome v = vmc(dir, {"--version"});
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out.rfind("vmc ", 0), 0u) << v.out;
  EXPECT_TRUE(entries(dir.path()).empty());
}

// Help and version that cannot be shown are failures like any other output.
TEST(VmcHelp, AFailedWriteIsOneLineAndStatusOne) {
  temp_dir dir;
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--help"}, "vmc"}, {{"--version"}, "vmc"}, {{"scan", "--help"}, "vmc scan"}};
  for (const auto& [args, name] : cases) {
    for (const bool closed : {false, true}) {
      testing::launch how;
      how.args = args;
      if (closed) how.close_stdout = true;
      else how.stdout_path = "/dev/full";
      const testing::outcome r = testing::run(vmc_program, dir.path(), how);
      EXPECT_EQ(r.status, 1) << args[0];
      EXPECT_EQ(r.err, name + ": standard output: " +
                           (closed ? "Bad file descriptor\n" : "No space left on device\n"));
    }
  }
}

// The table sent to standard output by name: written through, no file made.
// "-" gives the tab-separated table alone. Root is given a link of its own to
// /proc/self/fd/1: /dev/stdout itself, were it replaced, is the machine's.
struct to_standard_output {
  const char* output;
  bool unprivileged;
};

class VmcOutputToStandardOutput : public ::testing::TestWithParam<to_standard_output> {};

TEST_P(VmcOutputToStandardOutput, WritesThroughAndMakesNoFile) {
  temp_dir dir;
  if (std::string(GetParam().output) == "mylink") {
    std::filesystem::create_symlink("/proc/self/fd/1", dir / "mylink");
  }
  testing::launch how;
  how.args = {"scan", "--separations", "0.74", "--steps", "1e3", "--output", GetParam().output};
  how.unprivileged = GetParam().unprivileged;
  const testing::outcome r = testing::run(vmc_program, dir.path(), how);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto out = lines(r.out);
  // But for "-", the aligned copy; then the file: two comment lines, its header and row.
  ASSERT_EQ(out.size(), std::string(GetParam().output) == "-" ? 4u : 6u) << r.out;
  const std::size_t file = out.size() - 4;
  EXPECT_EQ(out[file], "# vmc " VMC_VERSION);
  EXPECT_EQ(out[file + 1], "# vmc scan --separations 0.74 --steps 1e3 --output " +
                               std::string(GetParam().output));
  EXPECT_EQ(out[file + 2], header);
  EXPECT_EQ(entries(dir.path()).size(), std::string(GetParam().output) == "mylink" ? 1u : 0u);
  EXPECT_FALSE(std::filesystem::is_regular_file(dir / "mylink"));
}

INSTANTIATE_TEST_SUITE_P(Names, VmcOutputToStandardOutput,
                         ::testing::Values(to_standard_output{"-", false},
                                           to_standard_output{"mylink", false},
                                           to_standard_output{"/dev/stdout", true},
                                           to_standard_output{"/dev/fd/1", true}),
                         [](const auto& info) {
                           return std::string(info.index == 0 ? "Dash" : "LinkToFd1") +
                                  (info.param.unprivileged ? "AsNobody" : "") +
                                  std::to_string(info.index);
                         });

// The path optimize, then dmc --parameters: without --separations every row
// of the table is run. The table may come from a spreadsheet: CRLF endings,
// comment lines, columns in another order and columns dmc does not read.
TEST(VmcDmc, RunsEveryRowOfAParametersTableWhenNoSeparationsAreGiven) {
  temp_dir dir;
  write_file(dir / "opt.tsv",
             "# vmc optimize, edited\r\n"
             "s\tenergy\tbeta\tionic_weight\ta\tacceptance\tflag\r\n"
             "0.7\t-31.29\t1.104\t0.606\t0.4058\t0.55\t\r\n"
             "\r\n"
             "1.4\t-29.14\t1.205\t0.294\t0.5087\t0.6\t\r\n");
  const testing::outcome r = vmc(dir, {"dmc", "--parameters", "opt.tsv", "--walkers", "20",
                                       "--steps", "100", "--equilibration", "10"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto l = lines(table_body(read_file(dir / "vmc-dmc.tsv")));
  ASSERT_EQ(l.size(), 3u);
  EXPECT_EQ(l[1].substr(0, 4), "0.7\t");
  EXPECT_EQ(l[2].substr(0, 4), "1.4\t");
}

// One separation shared among one, two and three threads: the table row,
// and the line that ends a run whose population leaves its band, are those
// of one thread (pinned, with the classic trial function; the short run's
// error is only a lower bound, and says so).
TEST(VmcDmc, SharedAmongThreadsGivesTheRowAndTheEndOfOneThread) {
  const std::string row =
      "0.74\t0.005\t1200\t300\t-31.82531862103067\t0.05699049593257822\t0.9513387752708753\t"
      "-30.16631434453392\t0.25\t1\t0.44538188\t1374.0533333333333\t109.8071209996075\t"
      "error-lower-bound";
  const std::string died =
      "vmc dmc: s = 0.3: step 71: the population of 4005 walkers left its band of a quarter to "
      "four times its target of 1000 (try a smaller --time-step or a better trial function)\n";
  for (const int threads : {1, 2, 3}) {
    temp_dir dir;
    const testing::outcome r = vmc(dir, {"dmc", "--trial", "classic", "--walkers", "1200", "--steps",
                                         "300", "--equilibration", "50", "--time-step", "0.005"},
                                   threads);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto l = lines(table_body(read_file(dir / "vmc-dmc.tsv")));
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[1], row) << threads;
    const testing::outcome d =
        vmc(dir, {"dmc", "--trial", "classic", "--separations", "0.3", "--time-step", "0.01",
                  "--walkers", "1000", "--steps", "2000", "--equilibration", "0"},
            threads);
    EXPECT_EQ(d.status, 1);
    EXPECT_EQ(d.err, died) << threads;
  }
}

// A whole optimisation of two separations, briefly: the table and its rows.
TEST(VmcOptimize, WritesOneRowPerSeparationInTheOrderGiven) {
  temp_dir dir;
  const testing::outcome r = vmc(dir, {"optimize", "--separations", "1.5,0.74", "--steps", "1e5",
                                       "--sample-steps", "2e4", "--max-rounds", "3"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto l = lines(table_body(read_file(dir / "vmc-optimize.tsv")));
  ASSERT_EQ(l.size(), 3u);
  EXPECT_EQ(l[0], "s\tbeta\tionic_weight\ta\tenergy\terror\tvariance\tacceptance\tflag");
  EXPECT_EQ(l[1].substr(0, 4), "1.5\t");
  EXPECT_EQ(l[2].substr(0, 5), "0.74\t");
  EXPECT_EQ(lines(r.out).size(), 3u);
}

// A spectrum of a table with errors and a flagged row: the row is left out
// with a line naming it, and the results and the levels are written.
TEST(VmcSpectrum, LeavesFlaggedRowsOutAndWritesItsTables) {
  temp_dir dir;
  // A Morse curve of H2's depth and width, with an error column, a column
  // spectrum does not read, and a flag.
  std::string table = "s\tenergy\terror\tsteps\tflag\n";
  for (int k = 0; k <= 41; ++k) {
    const double s = 0.45 + 0.05 * k, x = 1.0 - std::exp(-1.94 * (s - 0.7414));
    table += std::to_string(s) + "\t" + std::to_string(-27.18989 - 4.75 + 4.75 * x * x) +
             "\t0.002\t1000\t\n";
  }
  table += "0.77\t-40\t0.002\t1000\tnot converged\n";
  write_file(dir / "t.tsv", table);
  const testing::outcome r = vmc(dir, {"spectrum", "t.tsv", "--molecules", "H2", "--levels",
                                       "levels.tsv", "--resamples", "10"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("vmc spectrum: t.tsv: s = 0.77: skipped, flagged \"not converged\"\n"),
            std::string::npos)
      << r.err;
  const auto l = lines(table_body(read_file(dir / "vmc-spectrum.tsv")));
  ASSERT_EQ(l.size(), 9u);
  EXPECT_EQ(l[0], "molecule\tquantity\tvalue\terror\tunit\tflag");
  EXPECT_EQ(l[3].substr(0, 6), "H2\tD0\t");
  EXPECT_EQ(lines(table_body(read_file(dir / "levels.tsv")))[0],
            "molecule\tv\tJ\tenergy\terror\tinner\touter\tflag");
}

TEST(VmcScan, AnUnwritableTableFailsBeforeTheWorkAndKeepsTheOldOne) {
  temp_dir dir;
  const testing::outcome r =
      vmc(dir, {"scan", "--separations", "1", "--steps", "1e12", "--output", "no/such/dir/t.tsv"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vmc scan: no/such/dir/t.tsv: No such file or directory\n");
}

}  // namespace
}  // namespace vmc::testing
