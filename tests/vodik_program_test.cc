#include <gtest/gtest.h>

#include <csignal>
#include <cmath>
#include <filesystem>
#include <string>

#include "program_runner.h"
#include "vodik/scan.h"

// Whole runs of the vodik program: the real 45-pass scan, checked record by
// record, and runs that fail.

namespace vmc::testing {
namespace {

namespace fs = std::filesystem;

const std::string vodik_program = VODIK_PROGRAM;

// One real run of the whole program, and one more on a single thread.
class VodikRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    all_ = new temp_dir;
    one_ = new temp_dir;
    testing::launch several;
    several.env.emplace("OMP_NUM_THREADS", "3");
    result_ = testing::run(vodik_program, all_->path(), several);
    testing::launch single;
    single.env.emplace("OMP_NUM_THREADS", "1");
    single_result_ = testing::run(vodik_program, one_->path(), single);
  }
  static void TearDownTestSuite() {
    delete all_;
    delete one_;
  }
  static temp_dir* all_;
  static temp_dir* one_;
  static testing::outcome result_;
  static testing::outcome single_result_;
};
temp_dir* VodikRun::all_ = nullptr;
temp_dir* VodikRun::one_ = nullptr;
testing::outcome VodikRun::result_;
testing::outcome VodikRun::single_result_;

TEST_F(VodikRun, EndsCleanlyWithOneConsoleAndOneEnergyRecordPerSeparation) {
  EXPECT_EQ(result_.status, 0);
  EXPECT_EQ(result_.err, "");
  const auto console = lines(result_.out);
  const auto energ = lines(read_file(*all_ / "energ.dat"));
  const std::vector<float> s = scan_separations();
  ASSERT_EQ(console.size(), 45u);
  ASSERT_EQ(energ.size(), 45u);
  double accepted = 0;
  for (std::size_t p = 0; p < 45; ++p) {
    const auto c = items(console[p]);
    ASSERT_EQ(c.size(), 6u);
    EXPECT_EQ(console[p].rfind(" separacia=  ", 0), 0u);
    EXPECT_EQ(c[2], "E=");
    EXPECT_EQ(c[4], "ratio");
    EXPECT_EQ(std::stof(c[1]), s[p]);
    const float e = std::stof(c[3]);
    EXPECT_TRUE(std::isfinite(e));
    const float ratio = std::stof(c[5]);
    EXPECT_GT(ratio, 0.3f);
    EXPECT_LT(ratio, 0.8f);
    EXPECT_EQ(items(energ[p]), (std::vector<std::string>{c[1], c[3]}));
    EXPECT_EQ(energ[p].size(), c[1].size() + c[3].size() + 2);
    accepted += std::round(static_cast<double>(ratio) * 100000.0);
  }
  const auto e1 = lines(read_file(*all_ / "elektrony1.dat"));
  const auto e2 = lines(read_file(*all_ / "elektrony2.dat"));
  EXPECT_EQ(static_cast<double>(e1.size()), accepted);
  EXPECT_EQ(e2.size(), e1.size());
  EXPECT_EQ(items(e1.front()).size(), 2u);
}

TEST_F(VodikRun, GivesABoundMoleculeAboveTheExactEnergy) {
  const auto energ = lines(read_file(*all_ / "energ.dat"));
  float lowest = 0, at = 0;
  for (const std::string& r : energ) {
    const auto v = items(r);
    if (std::stof(v[1]) < lowest) {
      lowest = std::stof(v[1]);
      at = std::stof(v[0]);
    }
  }
  // The exact minimum is -31.93 eV at 0.74 A; two atoms apart lie at -27.19 eV.
  EXPECT_GT(lowest, -31.93f);
  EXPECT_LT(lowest, -29.0f);
  EXPECT_GT(at, 0.55f);
  EXPECT_LT(at, 1.0f);
}

TEST_F(VodikRun, IsIdenticalToTheBitOnOneThreadAndOnThree) {
  EXPECT_EQ(single_result_.status, 0);
  EXPECT_EQ(single_result_.out, result_.out);
  for (const char* name : {"energ.dat", "elektrony1.dat", "elektrony2.dat"}) {
    EXPECT_TRUE(read_file(*one_ / name) == read_file(*all_ / name)) << name;
  }
  EXPECT_EQ(entries(one_->path()), entries(all_->path()));
}

// An interrupted run removes its temporary files, leaves the files of the
// earlier run as they were and ends with 128 + the signal number.
class VodikInterrupted : public ::testing::TestWithParam<int> {};

TEST_P(VodikInterrupted, LeavesTheEarlierRunsFilesAsTheyWere) {
  temp_dir dir;
  const std::vector<std::string> names = {"energ.dat", "elektrony1.dat", "elektrony2.dat"};
  for (const std::string& name : names) write_file(dir / name, " earlier " + name + "\n");
  testing::launch how;
  how.mid_run_after = " separacia=  0.3 ";  // the first pass is done, 44 are to come
  how.interrupt_signal = GetParam();
  const testing::outcome r = testing::run(vodik_program, dir.path(), how);
  EXPECT_EQ(r.status, 128 + GetParam());
  EXPECT_FALSE(r.killed) << "the program exits itself after cleaning up";
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"elektrony1.dat", "elektrony2.dat",
                                                          "energ.dat"}));
  for (const std::string& name : names) {
    EXPECT_EQ(read_file(dir / name), " earlier " + name + "\n") << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, VodikInterrupted, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) {
                           return std::string(info.param == SIGINT ? "Interrupt" : "Terminate");
                         });

}  // namespace
}  // namespace vmc::testing
