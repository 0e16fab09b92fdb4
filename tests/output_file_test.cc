#include "output/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "output/io_error.h"
#include "program_runner.h"

namespace vmc::testing {
namespace {

namespace fs = std::filesystem;

// Every behaviour holds on both ways a file is written: as an unnamed file
// where the file system allows one, and under a named temporary where it does
// not (forced by the library's test hook).
enum class way { unnamed, named };

class OutputFile : public ::testing::TestWithParam<way> {
 protected:
  void SetUp() override {
    if (GetParam() == way::named) {
      ::setenv("VMC_OUTPUT_NO_TMPFILE", "1", 1);
    } else {
      const int fd = ::open(fs::temp_directory_path().c_str(), O_TMPFILE | O_WRONLY, 0600);
      if (fd < 0) GTEST_SKIP() << "the temporary directory's file system has no unnamed files";
      ::close(fd);
    }
  }
  void TearDown() override { ::unsetenv("VMC_OUTPUT_NO_TMPFILE"); }
  static std::string temporary(const std::string& name) {
    return "." + name + "." + std::to_string(::getpid()) + ".tmp";
  }
};

INSTANTIATE_TEST_SUITE_P(BothWays, OutputFile, ::testing::Values(way::unnamed, way::named),
                         [](const auto& info) {
                           return std::string(info.param == way::unnamed ? "Unnamed" : "Named");
                         });

TEST_P(OutputFile, ReplacesThePreviousFileOnlyWhenClosed) {
  temp_dir dir;
  const fs::path p = dir / "energ.dat";
  write_file(p, "previous run, a longer text than the new one\n");
  output_file f(p.string());
  write_record(f, 0.3f, -15.5f);
  f.write(std::string(3 << 20, 'x'));  // more than one block reaches the disk
  EXPECT_EQ(read_file(p), "previous run, a longer text than the new one\n");
  // Until then an unnamed file has no name that a killed run could leave.
  const std::vector<std::string> while_written =
      GetParam() == way::unnamed ? std::vector<std::string>{"energ.dat"}
                                 : std::vector<std::string>{temporary("energ.dat"), "energ.dat"};
  EXPECT_EQ(entries(dir.path()), while_written);
  f.close();
  EXPECT_EQ(read_file(p), " 0.3 -15.5\n" + std::string(3 << 20, 'x'));
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"energ.dat"});
}

TEST_P(OutputFile, AnUnfinishedFileLeavesThePreviousOneAndNoTemporary) {
  temp_dir dir;
  const fs::path p = dir / "elektrony1.dat";
  write_file(p, "old\n");
  {
    output_file f(p.string());
    f.write(std::string(5 << 20, 'y'));
  }  // destroyed without close, as when an error unwinds the program
  EXPECT_EQ(read_file(p), "old\n");
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"elektrony1.dat"});
}

TEST_P(OutputFile, CreatesAMissingFileAndKeepsTheModeOfAReplacedOne) {
  temp_dir dir;
  const fs::path fresh = dir / "jadra.dat";
  const mode_t umask = ::umask(027);
  output_file a(fresh.string());
  ::umask(umask);
  a.close();
  EXPECT_EQ(read_file(fresh), "");
  EXPECT_EQ(fs::status(fresh).permissions(),  // 0666 less the umask
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  const fs::path kept = dir / "pociatok.dat";
  write_file(kept, "old\n");
  fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  output_file b(kept.string());
  b.write("new\n");
  b.close();
  EXPECT_EQ(read_file(kept), "new\n");
  EXPECT_EQ(fs::status(kept).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_P(OutputFile, ALinkToAFileReplacesTheTargetAndKeepsTheLink) {
  temp_dir dir;
  fs::create_directory(dir / "results");
  write_file(dir / "results" / "curve.dat", "old\n");
  fs::create_symlink("results/curve.dat", dir / "energ.dat");
  output_file f((dir / "energ.dat").string());
  f.write("new\n");
  f.close();
  EXPECT_TRUE(fs::is_symlink(dir / "energ.dat"));
  EXPECT_EQ(read_file(dir / "results" / "curve.dat"), "new\n");
  EXPECT_EQ(entries(dir / "results"), std::vector<std::string>{"curve.dat"});
}

TEST_P(OutputFile, AFailingDeviceIsReportedWithTheFileAndTheReason) {
  temp_dir dir;
  fs::create_symlink("/dev/full", dir / "energ.dat");
  output_file f((dir / "energ.dat").string());
  f.write("record\n");
  try {
    f.close();
    FAIL() << "writing to /dev/full succeeded";
  } catch (const io_error& e) {
    EXPECT_EQ(std::string(e.what()), (dir / "energ.dat").string() + ": No space left on device");
  }
}

// /dev/stdout, /dev/fd/N and a shell's >(...) are links of /proc whose
// destination ("pipe:[...]") is no path: the pipe is written, the link kept.
TEST_P(OutputFile, ALinkToAnOpenPipeWritesThroughIt) {
  temp_dir dir;
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  fs::create_symlink("/proc/self/fd/" + std::to_string(pipe_ends[1]), dir / "mylink");
  output_file f((dir / "mylink").string());
  f.write("new\n");
  f.close();
  ::close(pipe_ends[1]);
  char got[16] = {};
  EXPECT_EQ(::read(pipe_ends[0], got, sizeof got), 4);
  ::close(pipe_ends[0]);
  EXPECT_EQ(std::string(got), "new\n");
  EXPECT_TRUE(fs::is_symlink(dir / "mylink"));
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"mylink"});
}

// Root may write anything; a file its owner made read-only is refused all the same.
TEST_P(OutputFile, AReadOnlyFileIsRefusedForEveryUser) {
  temp_dir dir;
  const fs::path p = dir / "energ.dat";
  write_file(p, "old\n");
  fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  try {
    output_file f(p.string());
    FAIL() << "opened a read-only file for replacing";
  } catch (const io_error& e) {
    EXPECT_EQ(std::string(e.what()), p.string() + ": Permission denied");
  }
  EXPECT_EQ(read_file(p), "old\n");
}

// 255 bytes, cut for the temporary in the middle of a two-byte character.
std::string utf8_name() {
  std::string name(229, 'b');
  for (int i = 0; i < 13; ++i) name += "\xc3\xa9";
  return name;
}

// The temporary of the longest legal name is legal too; a longer name is
// refused at open, before any work.
TEST_P(OutputFile, TheLongestLegalNameWorksAndALongerOneFailsAtOpen) {
  temp_dir dir;
  for (const std::string& name : {std::string(255, 'a'), utf8_name()}) {
    output_file f((dir / name).string());
    f.write("new\n");
    f.close();
    EXPECT_EQ(read_file(dir / name), "new\n");
  }
  EXPECT_EQ(entries(dir.path()).size(), 2u);
  const std::string longer = (dir / std::string(256, 'c')).string();
  try {
    output_file f(longer);
    FAIL() << "opened a name longer than the directory takes";
  } catch (const io_error& e) {
    EXPECT_EQ(std::string(e.what()), longer + ": File name too long");
  }
}

TEST_P(OutputFile, AMissingDirectoryIsReportedAtOpen) {
  temp_dir dir;
  write_file(dir / "energ.dat", "old\n");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"gone/energ.dat", "No such file or directory"},
      {"energ.dat/../jadra.dat", "Not a directory"}};
  for (const auto& [name, reason] : cases) {
    try {
      output_file f((dir / name).string());
      FAIL() << "opened " << name;
    } catch (const io_error& e) {
      EXPECT_EQ(std::string(e.what()), (dir / name).string() + ": " + reason);
    }
  }
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"energ.dat"});
}

TEST_P(OutputFile, ADirectoryRemovedWhileWritingFailsAtClose) {
  temp_dir dir;
  fs::create_directory(dir / "run");
  const fs::path p = dir / "run" / "energ.dat";
  output_file f(p.string());
  f.write("record\n");
  fs::remove_all(dir / "run");
  EXPECT_THROW(f.close(), io_error);
}

TEST_P(OutputFile, FilesClosedTogetherReplaceNothingWhenOneFails) {
  temp_dir dir;
  fs::create_directory(dir / "run");
  for (const char* name : {"energ.dat", "elektrony2.dat"}) write_file(dir / name, "old\n");
  {
    output_file energ((dir / "energ.dat").string());
    output_file elektrony1((dir / "run" / "elektrony1.dat").string());
    output_file elektrony2((dir / "elektrony2.dat").string());
    for (output_file* f : {&energ, &elektrony1, &elektrony2}) f->write("new\n");
    fs::remove_all(dir / "run");
    EXPECT_THROW(close_together({energ, elektrony1, elektrony2}), io_error);
  }
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"elektrony2.dat", "energ.dat"}));
  EXPECT_EQ(read_file(dir / "energ.dat"), "old\n");
  EXPECT_EQ(read_file(dir / "elektrony2.dat"), "old\n");
}

// A process of this machine that has ended and been reaped.
pid_t ended_process() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

// A run killed outright leaves its named temporaries; the next one that
// writes the same name removes those it can prove abandoned and says so.
TEST_P(OutputFile, RemovesTheTemporariesOfEndedProcessesOnly) {
  temp_dir dir;
  const pid_t alive = ::fork();
  if (alive == 0) {
    ::pause();
    ::_exit(0);
  }
  const pid_t ended = ended_process();
  const pid_t elsewhere = ended_process();  // a pid that means nothing on this machine
  const std::string stale = ".energ.dat." + std::to_string(ended) + ".tmp";
  const std::vector<std::string> kept = {
      ".energ.dat." + std::to_string(alive) + ".tmp",
      ".energ.dat." + std::to_string(elsewhere) + ".tmp",  // but locked: its writer lives
      ".jadra.dat." + std::to_string(ended) + ".tmp",      // another file's
      ".energ.dat.0" + std::to_string(ended) + ".tmp",     // not a name this library gives
      ".energ.dat." + std::to_string(ended) + ".tmp.bak", ".energ.dat.tmp",
  };
  for (const std::string& name : kept) write_file(dir / name, "partial\n");
  write_file(dir / stale, "partial\n");
  const int held = ::open((dir / kept[1]).c_str(), O_RDWR);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);

  ::testing::internal::CaptureStderr();
  output_file f((dir / "energ.dat").string());
  const std::string err = ::testing::internal::GetCapturedStderr();
  f.write("new\n");
  f.close();
  ::close(held);
  ::kill(alive, SIGKILL);
  ::waitpid(alive, nullptr, 0);

  EXPECT_EQ(err, std::string(program_invocation_short_name) + ": removed " +
                     (dir / stale).string() + ", left by process " + std::to_string(ended) +
                     " that no longer runs\n");
  std::vector<std::string> expected = kept;
  expected.push_back("energ.dat");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(entries(dir.path()), expected);
  EXPECT_EQ(read_file(dir / "energ.dat"), "new\n");
}

// Links are followed where the kernel's protected_symlinks guard would follow
// them; these cases need root to give a link or a directory to nobody.
constexpr uid_t nobody = 65534;

struct link_case {
  const char* label;
  fs::perms dir_mode;
  uid_t dir_owner;
  uid_t link_owner;
  bool followed;
};

class OutputFileLink : public ::testing::TestWithParam<link_case> {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files to another user";
  }
};

TEST_P(OutputFileLink, IsFollowedOnlyWhereTheKernelsGuardWould) {
  const link_case& c = GetParam();
  temp_dir dir;
  fs::create_directory(dir / "home");
  write_file(dir / "home" / "bashrc", "keep\n");
  const fs::path shared = dir / "scratch";
  fs::create_directory(shared);
  fs::permissions(shared, c.dir_mode);
  ASSERT_EQ(::chown(shared.c_str(), c.dir_owner, c.dir_owner), 0);
  fs::create_symlink(dir / "home" / "bashrc", shared / "energ.dat");
  ASSERT_EQ(::lchown((shared / "energ.dat").c_str(), c.link_owner, c.link_owner), 0);

  const std::string name = (shared / "energ.dat").string();
  if (c.followed) {
    output_file f(name);
    f.write("new\n");
    f.close();
    EXPECT_EQ(read_file(dir / "home" / "bashrc"), "new\n");
  } else {
    try {
      output_file f(name);
      FAIL() << "followed a link planted by another user";
    } catch (const io_error& e) {
      EXPECT_EQ(std::string(e.what()),
                name + ": a symbolic link owned by another user; not followed");
    }
    EXPECT_EQ(read_file(dir / "home" / "bashrc"), "keep\n");
  }
  EXPECT_TRUE(fs::is_symlink(shared / "energ.dat"));
  EXPECT_EQ(entries(shared), std::vector<std::string>{"energ.dat"});
  EXPECT_EQ(entries(dir / "home"), std::vector<std::string>{"bashrc"});
}

const fs::perms shared_dir = fs::perms::all | fs::perms::sticky_bit;  // 1777, as /tmp
const fs::perms plain_dir = fs::perms::all;
const fs::perms private_sticky_dir = fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec | fs::perms::sticky_bit;

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputFileLink,
    ::testing::Values(
        link_case{"AnotherUsersInASharedDirectory", shared_dir, 0, nobody, false},
        link_case{"OwnInASharedDirectory", shared_dir, 0, 0, true},
        link_case{"TheDirectoryOwnersInASharedDirectory", shared_dir, nobody, nobody, true},
        link_case{"AnotherUsersInAPlainDirectory", plain_dir, 0, nobody, true},
        link_case{"AnotherUsersInAStickyPrivateDirectory", private_sticky_dir, 0, nobody, true}),
    [](const auto& info) { return std::string(info.param.label); });

// Opening p must stop at a link another user planted, with its one line.
void expect_not_followed(const fs::path& p) {
  try {
    output_file f(p.string());
    FAIL() << "followed " << p;
  } catch (const io_error& e) {
    EXPECT_EQ(std::string(e.what()),
              p.string() + ": a symbolic link owned by another user; not followed");
  }
}

TEST_F(OutputFileLink, EveryLinkOfAChainIsJudgedAndADeviceIsNotOpenedThroughAPlantedOne) {
  temp_dir dir;
  const fs::path shared = dir / "scratch";
  fs::create_directory(shared);
  fs::permissions(shared, shared_dir);
  write_file(dir / "results.dat", "keep\n");
  fs::create_symlink(dir / "results.dat", shared / "planted");
  ASSERT_EQ(::lchown((shared / "planted").c_str(), nobody, nobody), 0);
  fs::create_symlink(shared / "planted", dir / "energ.dat");  // our own link, to theirs
  fs::create_symlink("/dev/full", shared / "elektrony1.dat");
  ASSERT_EQ(::lchown((shared / "elektrony1.dat").c_str(), nobody, nobody), 0);

  for (const fs::path& p : {dir / "energ.dat", shared / "elektrony1.dat"}) {
    expect_not_followed(p);
  }
  EXPECT_EQ(read_file(dir / "results.dat"), "keep\n");
  EXPECT_EQ(entries(shared), (std::vector<std::string>{"elektrony1.dat", "planted"}));
}

// A link planted in the middle of the path, "shared/results -> victim", is
// judged as one at its end is: the victim's directory stays untouched.
TEST_F(OutputFileLink, APlantedLinkInTheMiddleOfThePathIsRefused) {
  temp_dir dir;
  const fs::path shared = dir / "scratch";
  fs::create_directory(shared);
  fs::permissions(shared, shared_dir);
  fs::create_directory(dir / "victim");
  write_file(dir / "victim" / "out.tsv", "keep\n");
  fs::create_symlink(dir / "victim", shared / "results");
  ASSERT_EQ(::lchown((shared / "results").c_str(), nobody, nobody), 0);
  for (const std::string name : {"results/out.tsv", "results/../scratch/results/new.tsv"}) {
    const fs::path p = shared / name;
    expect_not_followed(p);
  }
  EXPECT_EQ(read_file(dir / "victim" / "out.tsv"), "keep\n");
  EXPECT_EQ(entries(dir / "victim"), std::vector<std::string>{"out.tsv"});
}

}  // namespace
}  // namespace vmc::testing
