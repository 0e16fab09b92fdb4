#include "output/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "output/io_error.h"
#include "program_runner.h"

namespace vmc::testing {
namespace {

namespace fs = std::filesystem;

TEST(OutputFile, ReplacesThePreviousFileOnlyWhenClosed) {
  temp_dir dir;
  const fs::path p = dir / "energ.dat";
  write_file(p, "previous run, a longer text than the new one\n");
  output_file f(p.string());
  write_record(f, 0.3f, -15.5f);
  f.write(std::string(3 << 20, 'x'));  // more than one block reaches the disk
  EXPECT_EQ(read_file(p), "previous run, a longer text than the new one\n");
  f.close();
  EXPECT_EQ(read_file(p), " 0.3 -15.5\n" + std::string(3 << 20, 'x'));
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"energ.dat"});
}

TEST(OutputFile, AnUnfinishedFileLeavesThePreviousOneAndNoTemporary) {
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

TEST(OutputFile, CreatesAMissingFileAndKeepsTheModeOfAReplacedOne) {
  temp_dir dir;
  const fs::path fresh = dir / "jadra.dat";
  output_file a(fresh.string());
  a.close();
  EXPECT_EQ(read_file(fresh), "");

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

TEST(OutputFile, ALinkToAFileReplacesTheTargetAndKeepsTheLink) {
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

TEST(OutputFile, AFailingDeviceIsReportedWithTheFileAndTheReason) {
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

TEST(OutputFile, AMissingDirectoryIsReportedAtOpen) {
  temp_dir dir;
  try {
    output_file f((dir / "gone" / "energ.dat").string());
    FAIL() << "opened a file in a missing directory";
  } catch (const io_error& e) {
    EXPECT_EQ(std::string(e.what()),
              (dir / "gone" / "energ.dat").string() + ": No such file or directory");
  }
}

TEST(OutputFile, ADirectoryRemovedWhileWritingFailsAtClose) {
  temp_dir dir;
  fs::create_directory(dir / "run");
  const fs::path p = dir / "run" / "energ.dat";
  output_file f(p.string());
  f.write("record\n");
  fs::remove_all(dir / "run");
  EXPECT_THROW(f.close(), io_error);
}

}  // namespace
}  // namespace vmc::testing
