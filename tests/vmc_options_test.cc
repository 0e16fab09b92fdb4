#include "vmc/options.h"

#include <gtest/gtest.h>

#include <string>

namespace vmc {
namespace {

TEST(Separations, ARangeIsInclusiveAndRoundsEachValueOnce) {
  const std::vector<float> s = parse_separations("--separations", "0.3:2.5:0.05");
  ASSERT_EQ(s.size(), 45u);  // 2.5 counts although 0.3 + 44 * 0.05 is above it in double
  for (std::size_t k = 0; k < s.size(); ++k) {
    EXPECT_EQ(s[k], static_cast<float>(0.3 + static_cast<double>(k) * 0.05)) << k;
  }
  EXPECT_EQ(parse_separations("--separations", "1:1:0.1"), std::vector<float>{1.0f});
  EXPECT_EQ(parse_separations("--separations", "0.5:1.2:0.5"), (std::vector<float>{0.5f, 1.0f}));
  EXPECT_EQ(parse_separations("--separations", "0.74,1.4,+2"), (std::vector<float>{0.74f, 1.4f, 2.0f}));
  EXPECT_EQ(parse_separations("--separations", "1000"), std::vector<float>{1000.0f});
  EXPECT_EQ(parse_separations("--separations", "0.01"), std::vector<float>{0.01f});
}

TEST(Separations, RefuseWhatIsNotAListOfSeparations) {
  for (const char* bad : {"", "abc", "0.3:2.5", "0.3:2.5:0.05:1", "0.3:2.5:0", "0.3:2.5:-0.1",
                          "2.5:0.3:0.05", "0.5,,1", "0.5,", "-0.5", "0", "0:1:0.5", "1000.5",
                          "nan", "inf", "1e39", "0x1p0", "1;2", "0.3:1e9:1e-9", " 1", "0.0099",
                          "1e-45", "0.001:1:0.5"}) {
    try {
      parse_separations("--separations", bad);
      ADD_FAILURE() << "accepted \"" << bad << "\"";
    } catch (const usage_error& e) {
      const std::string m = e.what();
      EXPECT_EQ(m.rfind("--separations: expected ", 0), 0u) << m;
      EXPECT_EQ(m.find('\n'), std::string::npos) << m;
    }
  }
}

TEST(Counts, TakeWholeNumbersAlsoInExponentForm) {
  EXPECT_EQ(parse_count("--steps", "1000000", 1), 1000000);
  EXPECT_EQ(parse_count("--steps", "1e6", 1), 1000000);
  EXPECT_EQ(parse_count("--steps", "2.5e5", 1), 250000);
  EXPECT_EQ(parse_count("--steps", "1e12", 1), 1000000000000);
  EXPECT_EQ(parse_count("--equilibration", "0", 0), 0);
  for (const char* bad : {"0", "-5", "1.5", "1e13", "1e", "abc", "", "1e6x", "nan"}) {
    EXPECT_THROW(parse_count("--steps", bad, 1), usage_error) << bad;
  }
  try {
    parse_count("--steps", "0", 1);
  } catch (const usage_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "--steps: expected a whole number of at least 1 and at most 1e12, such as 1000000 or "
              "1e6; got \"0\"");
  }
}

TEST(Reals, AreFiniteAndWithinTheirBound) {
  EXPECT_EQ(parse_real("--beta", "0", 0.0f, false), 0.0f);
  EXPECT_EQ(parse_real("--beta", "0.25", 0.0f, false), 0.25f);
  EXPECT_EQ(parse_real("--step-size", "0.40125", 0.0f, true), 0.40125f);
  for (const char* bad : {"-0.1", "nan", "inf", "-inf", "1e39", "", "0.5.1"}) {
    EXPECT_THROW(parse_real("--beta", bad, 0.0f, false), usage_error) << bad;
  }
  EXPECT_THROW(parse_real("--step-size", "0", 0.0f, true), usage_error);
  EXPECT_EQ(parse_real("--beta", "1000", 0.0f, false, 1000.0f), 1000.0f);
  try {
    parse_real("--beta", "1001", 0.0f, false, 1000.0f);
    ADD_FAILURE() << "accepted 1001";
  } catch (const usage_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "--beta: expected a finite number of at least 0 and at most 1000; got \"1001\"");
  }
}

TEST(Seeds, AreTheStatesOfTheFirstComponent) {
  EXPECT_EQ(parse_seed("--seed", "1"), 1);
  EXPECT_EQ(parse_seed("--seed", "2147483562"), 2147483562);
  for (const char* bad : {"0", "-1", "2147483563", "1e3", "x", ""}) {
    EXPECT_THROW(parse_seed("--seed", bad), usage_error) << bad;
  }
}

}  // namespace
}  // namespace vmc
