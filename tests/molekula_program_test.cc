#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "classic_reference.h"
#include "golden.h"
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

// The outputs of the run as an independent implementation confirmed them,
// record by record, float for float.
struct confirmed {
  const char* name;
  const char* sha256;
};
const confirmed molekula_confirmed[] = {
    {"standard output", "53d3bddf430b1bbf2d395799258c4babefac1e02e7753d007fd1683ef405682e"},
    {"energ.dat", "0f706b459ffa7bddf5bd27e875777649801b07c545ed1e1837faad601d3bcd13"},
    {"elektrony1.dat", "c6d7833af5cafdbce17d743aa7e41902416261837c0d48a6746f3c14a1831d4c"},
    {"elektrony2.dat", "4f9d56bc2796939b66a196200699e738389948b636c22ed067fd15cc730cff2b"},
    {"pociatok.dat", "fb0f773989cbc4b0b158a1760d9577f8818a67ce78cfed26966bda47407113f8"},
    {"jadra.dat", "631570c828a815b074a108f04e506d23402f679d3278f94aa372ac823c4bfd91"},
};

std::vector<std::string> reference_files(const classic_outputs& r) {
  return {r.console, r.energ, r.elektrony1, r.elektrony2, r.pociatok, r.jadra};
}

TEST(MolekulaRun, WritesTheConfirmedOutputsToTheByte) {
  temp_dir dir;
  const testing::outcome r = testing::run(molekula_program, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> expected = reference_files(reference_molekula());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const std::string actual = i == 0 ? r.out : read_file(dir / molekula_confirmed[i].name);
    if (sha256_hex(actual) == molekula_confirmed[i].sha256) continue;
    ADD_FAILURE() << molekula_confirmed[i].name
                  << " is not the confirmed output; first difference: "
                  << first_difference(expected[i], actual)
                  << (sha256_hex(expected[i]) == molekula_confirmed[i].sha256
                          ? ""
                          : " (the reference walk is not the confirmed output either: the model, "
                            "the generator or the record format has changed)");
  }
}

TEST(MolekulaReference, ReproducesTheConfirmedOutputs) {
  const std::vector<std::string> files = reference_files(reference_molekula());
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(sha256_hex(files[i]), molekula_confirmed[i].sha256) << molekula_confirmed[i].name;
  }
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
