#include <fcntl.h>
#include <gtest/gtest.h>
#include <omp.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "program_runner.h"
#include "output/record.h"
#include "vodik/scan.h"
#include "walk/start_configuration.h"

namespace vmc::testing {
namespace {

namespace fs = std::filesystem;

// Runs the scan in process, inside a temporary working directory.
class ScanInDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(dir_.path());
  }
  void TearDown() override { fs::current_path(previous_); }

  std::string scan(const scan_settings& settings) {
    fs::path stdout_file = dir_ / "console.txt";
    write_file(stdout_file, "");
    const int fd = ::open(stdout_file.c_str(), O_WRONLY);
    {
      text_stream console(fd, "standard output");
      run_scan(console, settings);
      console.flush();
    }
    ::close(fd);
    const std::string out = read_file(stdout_file);
    fs::remove(stdout_file);
    return out;
  }

  temp_dir dir_;
  fs::path previous_;
};

TEST(ScanSeparations, RunFrom0_3To2_5InStepsOf0_05) {
  const std::vector<float> s = scan_separations();
  ASSERT_EQ(s.size(), 45u);
  EXPECT_EQ(s.front(), 0.3f);
  EXPECT_EQ(s[10], 0.8f);
  EXPECT_EQ(s.back(), 2.5f);
  for (std::size_t k = 0; k < s.size(); ++k) {
    EXPECT_EQ(s[k], static_cast<float>(0.3 + 0.05 * static_cast<double>(k)));
  }
}

TEST(ScanPass, WritesOneRecordPerAcceptedMoveAndNoneForARejectedOne) {
  ecuyer g;
  rne2in(g, 5465, 9675);
  std::string e1, e2;
  const pass_report r = run_pass(g, 0.74f, 500, e1, e2);
  const std::size_t accepted = lines(e1).size();
  EXPECT_EQ(lines(e2).size(), accepted);
  EXPECT_GT(accepted, 0u);
  EXPECT_LT(accepted, 500u);
  EXPECT_EQ(r.ratio, static_cast<float>(accepted) / 500.0f);
  EXPECT_EQ(r.s, 0.74f);
  // 6 + 7 per step deviates were drawn.
  const ecuyer expected = ecuyer_advance(ecuyer{5465, 9675}, 6 + 7 * 500);
  EXPECT_EQ(g.ix1, expected.ix1);
  EXPECT_EQ(g.ix2, expected.ix2);
  // The first record is the position after the first accepted move, not the start.
  ecuyer h;
  rne2in(h, 5465, 9675);
  const coords start = start_configuration(h, 0.74f, offset_rounding::per_operation);
  EXPECT_NE(lines(e1).front() + "\n", record(start[1], start[2]));
  EXPECT_NE(lines(e2).front() + "\n", record(start[4], start[5]));
}

TEST_F(ScanInDirectory, WritesOneRecordPerPassAndTheAcceptedPositions) {
  const std::vector<float> s = {0.5f, 0.74f, 1.5f};
  const std::string console = scan({3000, s});
  const auto records = lines(console);
  ASSERT_EQ(records.size(), 3u);
  const auto energ = lines(read_file("energ.dat"));
  ASSERT_EQ(energ.size(), 3u);
  double accepted = 0;
  for (std::size_t p = 0; p < 3; ++p) {
    const auto c = items(records[p]);
    ASSERT_EQ(c.size(), 6u) << records[p];
    EXPECT_EQ(records[p].substr(0, 12), " separacia= ");
    EXPECT_EQ(c[0], "separacia=");
    EXPECT_EQ(std::stof(c[1]), s[p]);
    EXPECT_NE(records[p].find(" E=  "), std::string::npos);
    EXPECT_NE(records[p].find(" ratio   "), std::string::npos);
    const auto e = items(energ[p]);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0], c[1]);
    EXPECT_EQ(e[1], c[3]);
    accepted += std::stod(c[5]) * 3000;
  }
  const auto e1 = lines(read_file("elektrony1.dat"));
  EXPECT_EQ(e1.size(), lines(read_file("elektrony2.dat")).size());
  EXPECT_EQ(static_cast<double>(e1.size()), std::round(accepted));
  EXPECT_EQ(entries("."), (std::vector<std::string>{"elektrony1.dat", "elektrony2.dat", "energ.dat"}));
}

TEST_F(ScanInDirectory, IsTheSameWhateverTheThreadCountAndRun) {
  const scan_settings settings{2000, {0.3f, 0.6f, 0.9f, 1.2f, 1.5f}};
  omp_set_num_threads(1);
  const std::string console1 = scan(settings);
  const std::string files1 = read_file("energ.dat") + read_file("elektrony1.dat") +
                             read_file("elektrony2.dat");
  omp_set_num_threads(3);
  const std::string console3 = scan(settings);
  EXPECT_EQ(console3, console1);
  EXPECT_EQ(read_file("energ.dat") + read_file("elektrony1.dat") + read_file("elektrony2.dat"),
            files1);
  omp_set_num_threads(omp_get_num_procs());
}

}  // namespace
}  // namespace vmc::testing
