#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "program_runner.h"

// Whole runs of the molekula program, checked record by record.

namespace vmc::testing {
namespace {

namespace fs = std::filesystem;

const std::string molekula_program = MOLEKULA_PROGRAM;

TEST(MolekulaRun, WritesTheStartTheNucleiTheWalkAndAnEnergy) {
  temp_dir dir;
  const testing::outcome r = testing::run(molekula_program, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const auto console = lines(r.out);
  ASSERT_EQ(console.size(), 6u);
  EXPECT_EQ(console[0], "  NAHODNE SURADNICE ELEKTRONOV");
  const std::string start = " -0.1680013 -0.8160702 -4.487179 0.05940044 0.860873 4.767004";
  EXPECT_EQ(console[1], start);
  EXPECT_EQ(read_file(dir / "pociatok.dat"),
            " -0.1680013 -0.8160702 -4.487179\n 0.05940044 0.860873 4.767004\n");
  EXPECT_EQ(read_file(dir / "jadra.dat"), " 0.0 -5.0\n 0.0 5.0\n");
  EXPECT_EQ(console[2], " A= 0.5299396");  // abohr: at 10 A the cusp gives the Bohr length

  const auto local = items(console[3]);
  ASSERT_EQ(local.size(), 3u);
  EXPECT_EQ(console[3].rfind(" LOKALNA ENERGIA= ", 0), 0u);
  EXPECT_EQ(console[4].rfind(" PRAVDEPODOBNOST= ", 0), 0u);
  EXPECT_GT(std::stof(items(console[4])[1]), 0.0f);

  // " E= <E>   USPESNYCH POKUSOV: <count as a real>"
  EXPECT_EQ(console[5].rfind(" E= ", 0), 0u);
  const std::size_t label = console[5].find("   USPESNYCH POKUSOV: ");
  ASSERT_NE(label, std::string::npos);
  const float e = std::stof(console[5].substr(4, label - 4));
  const std::string count = console[5].substr(label + 22);
  EXPECT_NE(count.find('.'), std::string::npos) << "the count is written as a real";
  EXPECT_TRUE(std::isfinite(e));
  EXPECT_GT(e, -30.0f);  // two atoms 10 A apart lie near -27.19 eV
  EXPECT_LT(e, -24.0f);

  const auto energ = lines(read_file(dir / "energ.dat"));
  ASSERT_EQ(energ.size(), 1u);
  EXPECT_EQ(energ[0], " 10.0 " + console[5].substr(4, label - 4));

  const std::size_t accepted = static_cast<std::size_t>(std::stof(count));
  EXPECT_GT(accepted, 0u);
  EXPECT_LE(accepted, 1000u);
  EXPECT_EQ(lines(read_file(dir / "elektrony1.dat")).size(), accepted);
  EXPECT_EQ(lines(read_file(dir / "elektrony2.dat")).size(), accepted);
}

TEST(MolekulaRun, ASecondRunReplacesEveryFileWithTheSameRecords) {
  temp_dir dir;
  const testing::outcome first = testing::run(molekula_program, dir.path());
  ASSERT_EQ(first.status, 0);
  std::vector<std::string> files;
  for (const std::string& name : entries(dir.path())) files.push_back(read_file(dir / name));
  for (const std::string& name : entries(dir.path())) {
    write_file(dir / name, std::string(100000, '#') + "\n");
  }
  const testing::outcome second = testing::run(molekula_program, dir.path());
  ASSERT_EQ(second.status, 0);
  EXPECT_EQ(second.out, first.out);
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"elektrony1.dat", "elektrony2.dat",
                                                          "energ.dat", "jadra.dat",
                                                          "pociatok.dat"}));
  std::size_t i = 0;
  for (const std::string& name : entries(dir.path())) {
    EXPECT_EQ(read_file(dir / name), files[i++]) << name;
  }
}

}  // namespace
}  // namespace vmc::testing
