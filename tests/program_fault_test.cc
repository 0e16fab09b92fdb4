#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "program_runner.h"

// Every program under every way its output can fail: the exit status is not
// zero, standard error holds exactly one line naming the program and the
// file or stream with the system's reason, and no file of an earlier run is
// lost, truncated or left beside a temporary.

namespace vmc::testing {
namespace {

namespace fs = std::filesystem;

enum class fault {
  read_only_directory,
  read_only_data_file,
  read_only_data_file_as_root,
  directory_removed,
  directory_removed_while_writing,
  data_file_on_full_device,
  stdout_on_full_device,
  stdout_closed,
  stdin_closed,
  stdout_fills_after_the_start,
};

struct fault_case {
  const char* program;   // path of the program
  const char* name;      // program name in messages
  fault what;
  const char* data_file;  // the data file linked to /dev/full or made read-only
  const char* expected_error;
  const char* input = "";
  // Files this run completes and replaces before the failure.
  std::vector<std::string> replaced = {};
  std::vector<std::string> args = {};
};

void PrintTo(const fault_case& c, std::ostream* os) { *os << c.expected_error; }

std::string row_name(const ::testing::TestParamInfo<fault_case>& info) {
  static const char* const names[] = {"ReadOnlyDirectory",     "ReadOnlyDataFile",
                                      "ReadOnlyDataFileAsRoot", "DirectoryRemoved",
                                      "DirectoryRemovedWhileWriting", "DataFileOnFullDevice",
                                      "StdoutOnFullDevice",    "StdoutClosed",
                                      "StdinClosed",           "StdoutFillsAfterTheStart"};
  return names[static_cast<int>(info.param.what)] + std::to_string(info.index);
}

class ProgramFault : public ::testing::TestWithParam<fault_case> {};

TEST_P(ProgramFault, ReportsOneLineExitsNonZeroAndKeepsEarlierFiles) {
  const fault_case& c = GetParam();
  temp_dir dir;
  // Files an earlier run left; none of them may change.
  const std::vector<std::string> earlier = {"energ.dat", "elektrony2.dat", "generator.dat",
                                            "jadra.dat"};
  for (const std::string& name : earlier) write_file(dir / name, " earlier " + name + "\n");

  testing::launch how;
  how.input = c.input;
  how.args = c.args;
  switch (c.what) {
    case fault::read_only_directory:
      fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                      fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
      how.unprivileged = true;  // root would write anyway
      break;
    case fault::read_only_data_file:
      fs::permissions(dir / c.data_file, fs::perms::owner_read | fs::perms::group_read |
                                             fs::perms::others_read);
      how.unprivileged = true;
      break;
    case fault::read_only_data_file_as_root:  // root too is refused, by the mode bits
      fs::permissions(dir / c.data_file, fs::perms::owner_read | fs::perms::group_read |
                                             fs::perms::others_read);
      break;
    case fault::directory_removed: how.remove_dir = true; break;
    case fault::directory_removed_while_writing:
      how.mid_run_after = " separacia=  0.3 ";  // the first pass is written, 44 to come
      how.remove_dir_mid_run = true;
      break;
    case fault::data_file_on_full_device:
      fs::remove(dir / c.data_file);
      fs::create_symlink("/dev/full", dir / c.data_file);
      break;
    case fault::stdout_on_full_device: how.stdout_path = "/dev/full"; break;
    case fault::stdout_closed: how.close_stdout = true; break;
    case fault::stdin_closed: how.close_stdin = true; break;
    case fault::stdout_fills_after_the_start:
      // Standard output takes the prompt and the two start records (117
      // bytes), written after generator.dat, and nothing more.
      write_file(dir / "console", "");
      how.stdout_path = (dir / "console").string();
      how.stdout_size_limit = 117;
      break;
  }
  const auto before = entries(dir.path());

  const testing::outcome r = testing::run(c.program, dir.path(), how);
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.err, std::string(c.expected_error) + "\n");
  if (c.what == fault::directory_removed || c.what == fault::directory_removed_while_writing) {
    EXPECT_FALSE(fs::exists(dir.path()));
    return;
  }
  fs::permissions(dir.path(), fs::perms::all);
  auto after = entries(dir.path());
  for (const std::string& name : c.replaced) {
    if (std::find(before.begin(), before.end(), name) == before.end()) {
      after.erase(std::find(after.begin(), after.end(), name));
    }
  }
  EXPECT_EQ(after, before);
  for (const std::string& name : earlier) {
    if (fs::is_symlink(dir / name)) continue;
    if (std::find(c.replaced.begin(), c.replaced.end(), name) != c.replaced.end()) {
      EXPECT_NE(read_file(dir / name), " earlier " + name + "\n") << name;
      continue;
    }
    EXPECT_EQ(read_file(dir / name), " earlier " + name + "\n") << name;
  }
}

const char* vodik = VODIK_PROGRAM;
const char* molekula = MOLEKULA_PROGRAM;
const char* elektron = ELEKTRON_PROGRAM;

INSTANTIATE_TEST_SUITE_P(
    Vodik, ProgramFault,
    ::testing::Values(
        fault_case{vodik, "vodik", fault::read_only_directory, "",
                   "vodik: energ.dat: Permission denied"},
        fault_case{vodik, "vodik", fault::read_only_data_file, "energ.dat",
                   "vodik: energ.dat: Permission denied"},
        fault_case{vodik, "vodik", fault::read_only_data_file_as_root, "elektrony2.dat",
                   "vodik: elektrony2.dat: Permission denied"},
        fault_case{vodik, "vodik", fault::directory_removed, "",
                   "vodik: energ.dat: No such file or directory"},
        // The files are open under temporary names when the directory goes;
        // the failure shows when the first is to be put under its name.
        fault_case{vodik, "vodik", fault::directory_removed_while_writing, "",
                   "vodik: energ.dat: No such file or directory"},
        fault_case{vodik, "vodik", fault::data_file_on_full_device, "elektrony1.dat",
                   "vodik: elektrony1.dat: No space left on device"},
        fault_case{vodik, "vodik", fault::stdout_on_full_device, "",
                   "vodik: standard output: No space left on device"},
        fault_case{vodik, "vodik", fault::stdout_closed, "",
                   "vodik: standard output: Bad file descriptor"}),
    row_name);

INSTANTIATE_TEST_SUITE_P(
    Molekula, ProgramFault,
    ::testing::Values(
        fault_case{molekula, "molekula", fault::read_only_directory, "",
                   "molekula: pociatok.dat: Permission denied"},
        fault_case{molekula, "molekula", fault::directory_removed, "",
                   "molekula: pociatok.dat: No such file or directory"},
        fault_case{molekula, "molekula", fault::data_file_on_full_device, "pociatok.dat",
                   "molekula: pociatok.dat: No space left on device"},
        // The five files are one set: the start and the nuclei, complete
        // before the walk begins, are not published without the rest.
        fault_case{molekula, "molekula", fault::data_file_on_full_device, "elektrony1.dat",
                   "molekula: elektrony1.dat: No space left on device"},
        fault_case{molekula, "molekula", fault::stdout_on_full_device, "",
                   "molekula: standard output: No space left on device"},
        fault_case{molekula, "molekula", fault::stdout_closed, "",
                   "molekula: standard output: Bad file descriptor"}),
    row_name);

INSTANTIATE_TEST_SUITE_P(
    Elektron, ProgramFault,
    ::testing::Values(
        fault_case{elektron, "elektron", fault::read_only_directory, "",
                   "elektron: generator.dat: Permission denied", "0.74\n"},
        fault_case{elektron, "elektron", fault::read_only_data_file, "generator.dat",
                   "elektron: generator.dat: Permission denied", "0.74\n"},
        fault_case{elektron, "elektron", fault::directory_removed, "",
                   "elektron: generator.dat: No such file or directory", "0.74\n"},
        fault_case{elektron, "elektron", fault::data_file_on_full_device, "generator.dat",
                   "elektron: generator.dat: No space left on device", "0.74\n"},
        fault_case{elektron, "elektron", fault::stdout_on_full_device, "",
                   "elektron: standard output: No space left on device", "0.74\n"},
        fault_case{elektron, "elektron", fault::stdout_closed, "",
                   "elektron: standard output: Bad file descriptor", "0.74\n"},
        fault_case{elektron, "elektron", fault::stdin_closed, "",
                   "elektron: standard input: Bad file descriptor"},
        // generator.dat is complete before the walk is shown, but is
        // published only with the whole demonstration.
        fault_case{elektron, "elektron", fault::stdout_fills_after_the_start, "",
                   "elektron: standard output: File too large", "0.74\n"}),
    row_name);

const char* vmc = VMC_PROGRAM;

INSTANTIATE_TEST_SUITE_P(
    Vmc, ProgramFault,
    ::testing::Values(
        fault_case{vmc, "vmc scan", fault::read_only_data_file_as_root, "energ.dat",
                   "vmc scan: energ.dat: Permission denied", "", {},
                   {"scan", "--separations", "0.74", "--steps", "1e3", "--output", "energ.dat"}},
        // The finished table is published; then the console's failure is told.
        fault_case{vmc, "vmc scan", fault::stdout_on_full_device, "",
                   "vmc scan: standard output: No space left on device", "", {"vmc-scan.tsv"},
                   {"scan", "--separations", "0.74", "--steps", "1e3"}}),
    row_name);

// A data file name that is a symbolic link planted by another user in a
// shared scratch directory (sticky and world-writable, as /tmp) is not
// followed: the run stops with one line, the file the link points to stays as
// it was and the link stays where it is. The same link made by the user who
// runs the program is followed as always.
struct planted_link {
  const char* program;
  const char* data_file;  // the name that is a link
  const char* expected_error;
  const char* input = "";
  std::vector<std::string> written_before = {};  // completed before data_file is opened
};

void PrintTo(const planted_link& c, std::ostream* os) { *os << c.expected_error; }

class PlantedLink : public ::testing::TestWithParam<planted_link> {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a link to another user";
  }
  // A shared scratch directory holding a link name -> target, owned by owner.
  static void plant(const temp_dir& scratch, const std::string& name, const fs::path& target,
                    uid_t owner) {
    fs::permissions(scratch.path(), fs::perms::all | fs::perms::sticky_bit);
    fs::create_symlink(target, scratch / name);
    ASSERT_EQ(::lchown((scratch / name).c_str(), owner, owner), 0);
  }
};

constexpr uid_t nobody = 65534;

TEST_P(PlantedLink, IsRefusedAndItsTargetStaysAsItWas) {
  const planted_link& c = GetParam();
  temp_dir home, scratch;
  write_file(home / ".bashrc", "alias ll='ls -l'\n");
  plant(scratch, c.data_file, home / ".bashrc", nobody);
  testing::launch how;
  how.input = c.input;
  const testing::outcome r = testing::run(c.program, scratch.path(), how);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string(c.expected_error) + "\n");
  EXPECT_EQ(read_file(home / ".bashrc"), "alias ll='ls -l'\n");
  EXPECT_EQ(entries(home.path()), std::vector<std::string>{".bashrc"});
  std::vector<std::string> expected = c.written_before;
  expected.push_back(c.data_file);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(entries(scratch.path()), expected);
  EXPECT_EQ(fs::read_symlink(scratch / c.data_file), home / ".bashrc");
}

INSTANTIATE_TEST_SUITE_P(
    Programs, PlantedLink,
    ::testing::Values(
        // Refused when the last of its three files is opened: nothing is written.
        planted_link{vodik, "elektrony2.dat",
                     "vodik: elektrony2.dat: a symbolic link owned by another user; not followed"},
        planted_link{molekula, "energ.dat",
                     "molekula: energ.dat: a symbolic link owned by another user; not followed"},
        planted_link{elektron, "generator.dat",
                     "elektron: generator.dat: a symbolic link owned by another user; not "
                     "followed",
                     "0.74\n"}),
    [](const auto& info) { return fs::path(info.param.program).filename().string(); });

TEST_F(PlantedLink, OwnLinkInASharedDirectoryIsFollowed) {
  temp_dir home, scratch;
  write_file(home / "curve.dat", " earlier\n");
  plant(scratch, "energ.dat", home / "curve.dat", ::geteuid());
  const testing::outcome r = testing::run(molekula, scratch.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(lines(read_file(home / "curve.dat")).size(), 1u);  // the run's energy record
  EXPECT_TRUE(fs::is_symlink(scratch / "energ.dat"));
}

// The programs take no arguments: --help shows what a program does and
// writes, anything else is a usage error; neither runs the program.
class ProgramArguments : public ::testing::TestWithParam<const char*> {};

TEST_P(ProgramArguments, HelpOrAUsageErrorTouchesNoFile) {
  const std::string program = GetParam();
  const std::string name = fs::path(program).filename().string();
  temp_dir dir;
  write_file(dir / "energ.dat", " earlier\n");
  for (const char* help : {"--help", "-h"}) {
    testing::launch how;
    how.args = {help};
    const testing::outcome r = testing::run(program, dir.path(), how);
    EXPECT_EQ(r.status, 0) << help;
    EXPECT_EQ(r.out.rfind("Usage: " + name + "\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(".dat"), std::string::npos) << "says what it writes";
    EXPECT_EQ(r.err, "");
  }
  const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
      {{"-n", "10"}, "-n"}, {{"extra"}, "extra"}, {{"--steps=10", "--help"}, ""}};
  for (const auto& [args, first] : wrong) {
    testing::launch how;
    how.args = args;
    const testing::outcome r = testing::run(program, dir.path(), how);
    if (first.empty()) {  // --help anywhere wins
      EXPECT_EQ(r.status, 0);
      continue;
    }
    EXPECT_EQ(r.status, 2) << first;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, name + ": unexpected argument \"" + first + "\"; " + name +
                         " takes no arguments (see " + name + " --help)\n");
  }
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"energ.dat"});
  EXPECT_EQ(read_file(dir / "energ.dat"), " earlier\n");
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramArguments, ::testing::Values(vodik, molekula, elektron),
                         [](const auto& info) {
                           return fs::path(info.param).filename().string();
                         });

}  // namespace
}  // namespace vmc::testing
