#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "model/local_energy.h"
#include "model/trial_function.h"
#include "model/wave_function.h"
#include "classic_reference.h"
#include "golden.h"
#include "program_runner.h"

// Whole runs of the elektron program fed through standard input.

namespace vmc::testing {
namespace {

namespace fs = std::filesystem;

const std::string elektron_program = ELEKTRON_PROGRAM;

testing::outcome run_with(const temp_dir& dir, const std::string& input) {
  testing::launch how;
  how.input = input;
  return testing::run(elektron_program, dir.path(), how);
}

// 27 records: prompt, two start positions, s, a, the start and 20 steps, summary.
void expect_complete_run(const testing::outcome& r, const std::string& s_text) {
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const auto out = lines(r.out);
  ASSERT_EQ(out.size(), 27u) << r.out;
  EXPECT_EQ(out[0], " Zadaj vzdialenost protonov");
  EXPECT_EQ(out[1].rfind(" suradnice ", 0), 0u);
  EXPECT_EQ(out[2].rfind(" suradnice ", 0), 0u);
  EXPECT_EQ(out[3], " " + s_text);
  EXPECT_EQ(out[4].rfind(" a= ", 0), 0u);
  for (std::size_t i = 5; i < 26; ++i) {
    const auto v = items(out[i]);
    ASSERT_EQ(v.size(), 4u) << out[i];
    EXPECT_EQ(v[0], "e=");
    EXPECT_EQ(v[2], "fi=");
    // fi= is the square of psi: never negative.
    EXPECT_GE(std::stof(v[3]), 0.0f) << out[i];
  }
  const auto last = items(out[26]);
  ASSERT_EQ(last.size(), 4u);
  EXPECT_EQ(last[0], "n=");
  EXPECT_EQ(last[2], "EV=");
  EXPECT_EQ(last[1].find('.'), std::string::npos) << "n is an integer";
}

TEST(ElektronRun, ShowsTheWholeWalkAndWritesTheStartPositions) {
  temp_dir dir;
  write_file(dir / "generator.dat", std::string(5000, '#') + "\n");
  const testing::outcome r = run_with(dir, "1\n");
  expect_complete_run(r, "1.0");
  const auto out = lines(r.out);
  EXPECT_EQ(out[1], " suradnice -0.9967115 0.3652048 -1.3522549");
  EXPECT_EQ(items(out[2])[1], "-0.39280987");
  EXPECT_NEAR(std::stof(items(out[2])[3]), -0.2959695f, 1e-7f);
  const std::string generator = read_file(dir / "generator.dat");
  EXPECT_EQ(generator, out[1].substr(10) + "\n" + out[2].substr(10) + "\n");
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"generator.dat"});
}

// Whole runs against the demonstration written out a second time as a plain
// loop, record for record, over separations from coincident protons to the
// largest one taken.
TEST(ElektronRun, IsTheDemonstrationRecordForRecord) {
  for (const char* input : {"0", "0.3", "0.74", "1", "2.5", "10", "1000"}) {
    temp_dir dir;
    const testing::outcome r = run_with(dir, std::string(input) + "\n");
    ASSERT_EQ(r.status, 0) << input << ": " << r.err;
    const classic_outputs expected = reference_elektron(std::stof(input));
    EXPECT_EQ(first_difference(expected.console, r.out), "") << "s = " << input;
    EXPECT_EQ(first_difference(expected.pociatok, read_file(dir / "generator.dat")), "")
        << "s = " << input;
  }
}

TEST(ElektronRun, ShowsThePromptBeforeItWaitsForTheSeparation) {
  temp_dir dir;
  testing::launch how;
  how.input = "0.74\n";
  how.input_after = " Zadaj vzdialenost protonov\n";
  const testing::outcome r = testing::run(elektron_program, dir.path(), how);
  EXPECT_FALSE(r.input_withheld) << "no complete prompt while the program waited";
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(lines(r.out).size(), 27u);
}

// The start record shows the local energy and the square of psi of the start
// configuration, computed with the single-precision exponential and the
// orbital length from the start 10 A, to the bit.
TEST(ElektronRun, PrintsTheLocalEnergyAndTheSquareOfPsiOfTheStart) {
  temp_dir dir;
  const auto out = lines(run_with(dir, "0.74\n").out);
  ASSERT_EQ(out.size(), 27u);
  coords r;
  std::size_t i = 0;
  for (const std::string& record : lines(read_file(dir / "generator.dat"))) {
    for (const std::string& v : items(record)) r[i++] = std::stof(v);
  }
  ASSERT_EQ(i, 6u);
  const auto t = cusp_trial_function<exp_single>(0.74f, 0.25f, apar_start::ten_angstrom);
  EXPECT_EQ(std::stof(items(out[4])[1]), t.a);
  const float psi = phi(r, t);
  const auto start = items(out[5]);
  EXPECT_EQ(std::stof(start[1]), elocal(r, t));
  EXPECT_EQ(std::stof(start[3]), psi * psi);
  EXPECT_NE(std::stof(start[3]), psi);
}

TEST(ElektronRun, AveragesTheLocalEnergyNearTheMoleculesEnergy) {
  temp_dir dir;
  const auto out = lines(run_with(dir, "\n   \n0.74 junk\n").out);
  ASSERT_EQ(out.size(), 27u);
  const auto last = items(out[26]);
  EXPECT_EQ(last[1], "10");
  const float ev = std::stof(last[3]);
  EXPECT_GT(ev, -40.0f);  // a local-energy mean, not the local energy over psi^2
  EXPECT_LT(ev, -25.0f);
}

TEST(ElektronRun, TheSameSeparationGivesTheSameRun) {
  temp_dir a, b;
  const testing::outcome first = run_with(a, "0.74\n");
  const testing::outcome second = run_with(b, " 0.740\n");
  EXPECT_EQ(first.out, second.out);
  EXPECT_EQ(read_file(a / "generator.dat"), read_file(b / "generator.dat"));
}

TEST(ElektronRun, CoincidentProtonsRunToTheEndWithAnInfiniteRepulsion) {
  temp_dir dir;
  const testing::outcome r = run_with(dir, "0\n");
  expect_complete_run(r, "0.0");
  EXPECT_EQ(items(lines(r.out)[5])[1], "Infinity");
}

struct bad_input {
  const char* name;
  const char* input;
  const char* quoted;  // what the message must quote
};

class ElektronBadInput : public ::testing::TestWithParam<bad_input> {};

TEST_P(ElektronBadInput, EndsAfterThePromptWithoutTouchingTheFile) {
  const bad_input& c = GetParam();
  temp_dir dir;
  write_file(dir / "generator.dat", " earlier\n");
  const testing::outcome r = run_with(dir, c.input);
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.out, " Zadaj vzdialenost protonov\n");
  const auto err = lines(r.err);
  ASSERT_EQ(err.size(), 1u) << r.err;
  EXPECT_EQ(err[0].rfind("elektron: standard input: ", 0), 0u) << err[0];
  EXPECT_NE(err[0].find(c.quoted), std::string::npos) << err[0];
  EXPECT_NE(err[0].find("; expected "), std::string::npos) << err[0];
  EXPECT_EQ(read_file(dir / "generator.dat"), " earlier\n");
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"generator.dat"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ElektronBadInput,
    ::testing::Values(bad_input{"Empty", "", "input ended"},
                      bad_input{"BlankLinesThenEnd", "\n  \n\t\n", "input ended"},
                      bad_input{"Text", "abc\n", "\"abc\""},
                      bad_input{"NumberWithText", "1.5abc\n", "\"1.5abc\""},
                      bad_input{"NotANumber", "nan\n", "\"nan\""},
                      bad_input{"Infinite", "inf\n", "\"inf\""},
                      bad_input{"BeyondFloat", "1e39\n", "\"1e39\""},
                      bad_input{"TooLarge", "1e30\n", "\"1e30\" is too large"},
                      bad_input{"Negative", "-1\n", "\"-1\""},
                      bad_input{"SlightlyNegative", "-0.1\n", "\"-0.1\""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vmc::testing
