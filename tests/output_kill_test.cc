#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "program_runner.h"

// Runs killed outright, which no handler can clean up after: what they leave
// on disk, and what the next run does about it.

namespace vmc::testing {
namespace {

namespace fs = std::filesystem;

const std::string vodik_program = VODIK_PROGRAM;
const std::string vmc_program = VMC_PROGRAM;

// Whether two files hold the same bytes, read a block at a time: the
// electron files of a whole run are 61 MB each.
bool same_bytes(const fs::path& a, const fs::path& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  if (!fa || !fb) return false;
  std::vector<char> ba(1 << 20), bb(1 << 20);
  while (fa && fb) {
    fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
    fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
    if (fa.gcount() != fb.gcount() ||
        !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin())) {
      return false;
    }
  }
  return fa.eof() && fb.eof();
}

// The pid in a temporary's name ".name.<pid>.tmp".
std::string pid_in(const std::string& temporary) {
  const std::size_t end = temporary.size() - 4;
  const std::size_t start = temporary.rfind('.', end - 1) + 1;
  return temporary.substr(start, end - start);
}

// A vodik run killed with SIGKILL once its first record is on standard output.
testing::outcome killed_vodik(const fs::path& dir, bool named_temporaries) {
  testing::launch how;
  how.mid_run_after = " separacia= ";
  how.interrupt_signal = SIGKILL;
  if (named_temporaries) how.env.emplace("VMC_OUTPUT_NO_TMPFILE", "1");
  return testing::run(vodik_program, dir, how);
}

TEST(VodikKilled, LeavesExactlyTheEarlierRunsFiles) {
  temp_dir dir;
  const int probe = ::open(dir.path().c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (probe < 0) GTEST_SKIP() << "this file system has no unnamed files";
  ::close(probe);
  const testing::outcome earlier = testing::run(vodik_program, dir.path());
  ASSERT_EQ(earlier.status, 0) << earlier.err;
  const std::vector<std::string> names = entries(dir.path());
  ASSERT_EQ(names, (std::vector<std::string>{"elektrony1.dat", "elektrony2.dat", "energ.dat"}));
  temp_dir copy;
  for (const std::string& name : names) fs::copy_file(dir / name, copy / name);

  const testing::outcome r = killed_vodik(dir.path(), false);
  EXPECT_TRUE(r.killed);
  EXPECT_EQ(r.status, 128 + SIGKILL);
  EXPECT_EQ(r.out.rfind(" separacia=  0.3 ", 0), 0u) << "killed before its first record";
  EXPECT_EQ(entries(dir.path()), names);  // hidden entries included
  for (const std::string& name : names) EXPECT_TRUE(same_bytes(dir / name, copy / name)) << name;
}

// On a file system without unnamed files (forced here by the library's test
// hook) a killed run leaves its temporaries, and the next run removes them,
// one line each, but not the temporary of a process that still runs.
TEST(VodikKilled, WithNamedTemporariesLeavesThemForTheNextRunToRemove) {
  temp_dir dir;
  const pid_t alive = ::fork();
  if (alive == 0) {
    ::pause();
    ::_exit(0);
  }
  const std::string running = ".energ.dat." + std::to_string(alive) + ".tmp";
  write_file(dir / running, " 0.3 -15.428534\n");

  const testing::outcome killed = killed_vodik(dir.path(), true);
  EXPECT_TRUE(killed.killed);
  std::vector<std::string> left = entries(dir.path());
  std::erase(left, running);
  ASSERT_EQ(left.size(), 3u) << ::testing::PrintToString(left);
  const std::string pid = pid_in(left[0]);
  EXPECT_EQ(left, (std::vector<std::string>{".elektrony1.dat." + pid + ".tmp",
                                            ".elektrony2.dat." + pid + ".tmp",
                                            ".energ.dat." + pid + ".tmp"}));

  testing::launch again;
  again.env.emplace("VMC_OUTPUT_NO_TMPFILE", "1");
  const testing::outcome r = testing::run(vodik_program, dir.path(), again);
  ::kill(alive, SIGKILL);
  ::waitpid(alive, nullptr, 0);
  EXPECT_EQ(r.status, 0);
  std::string expected_err;
  for (const char* name : {".energ.dat.", ".elektrony1.dat.", ".elektrony2.dat."}) {
    expected_err += "vodik: removed " + (name + pid) + ".tmp, left by process " + pid +
                    " that no longer runs\n";
  }
  EXPECT_EQ(r.err, expected_err);
  EXPECT_EQ(entries(dir.path()),
            (std::vector<std::string>{running, "elektrony1.dat", "elektrony2.dat", "energ.dat"}));
  EXPECT_EQ(read_file(dir / running), " 0.3 -15.428534\n");
}

// vmc scan prints its table only at the end, so it is killed once it holds
// its table open in the directory (as an unnamed file) and is walking.
TEST(VmcScanKilled, LeavesExactlyTheEarlierTable) {
  temp_dir dir;
  const int probe = ::open(dir.path().c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (probe < 0) GTEST_SKIP() << "this file system has no unnamed files";
  ::close(probe);
  testing::launch first;
  first.args = {"scan", "--separations", "0.74", "--steps", "1e4"};
  ASSERT_EQ(testing::run(vmc_program, dir.path(), first).status, 0);
  const std::string earlier = read_file(dir / "vmc-scan.tsv");

  testing::launch how;
  how.args = {"scan", "--separations", "0.74,1.4", "--steps", "1e12"};
  how.mid_run_open_file = dir.path().string() + "/";
  how.interrupt_signal = SIGKILL;
  const testing::outcome r = testing::run(vmc_program, dir.path(), how);
  EXPECT_TRUE(r.killed);
  EXPECT_EQ(r.status, 128 + SIGKILL);
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"vmc-scan.tsv"});  // hidden ones too
  EXPECT_EQ(read_file(dir / "vmc-scan.tsv"), earlier);
}

// A run that the OpenMP runtime ends from inside (a thread count beyond the
// memory) cannot clean up; with named temporaries it leaves one, and the
// next run removes it with a notice that names the subcommand.
TEST(VmcScanEndedByTheRuntime, LeavesATemporaryTheNextRunRemoves) {
  temp_dir dir;
  testing::launch how;
  how.args = {"scan", "--separations", "0.74", "--steps", "1e4"};
  how.env = {{"VMC_OUTPUT_NO_TMPFILE", "1"}, {"OMP_NUM_THREADS", "99999999999"}};
  const testing::outcome ended = testing::run(vmc_program, dir.path(), how);
  EXPECT_NE(ended.status, 0);
  const std::vector<std::string> left = entries(dir.path());
  ASSERT_EQ(left.size(), 1u);
  const std::string pid = pid_in(left[0]);
  EXPECT_EQ(left[0], ".vmc-scan.tsv." + pid + ".tmp");

  how.env.erase("OMP_NUM_THREADS");
  const testing::outcome r = testing::run(vmc_program, dir.path(), how);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "vmc scan: removed .vmc-scan.tsv." + pid + ".tmp, left by process " + pid +
                       " that no longer runs\n");
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"vmc-scan.tsv"});
}

}  // namespace
}  // namespace vmc::testing
