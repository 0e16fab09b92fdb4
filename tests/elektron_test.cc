#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

#include "random/lcg.h"
#include "elektron/separation.h"

namespace vmc {
namespace {

TEST(Lcg, ReproducesTheFirstStatesFromTheSeed) {
  lcg g;
  const std::int64_t states[] = {14058, 5836062, 631590, 2595654, 1919982, 872202, 4827498};
  const float first = g.next();
  EXPECT_EQ(g.state, states[0]);
  EXPECT_EQ(first, 14058.0f / 8549724.0f);
  EXPECT_NEAR(first, 0.0016443f, 1e-7f);
  for (int i = 1; i < 7; ++i) {
    g.next();
    EXPECT_EQ(g.state, states[i]);
  }
}

TEST(Lcg, NeverGivesZeroOrOneOverItsWholePeriod) {
  lcg g;
  const std::int64_t first = (g.next(), g.state);
  std::int64_t period = 0;
  do {
    const float u = g.next();
    ASSERT_GT(u, 0.0f);
    ASSERT_LT(u, 1.0f);
    ASSERT_EQ(g.state % 12, 6);
    ++period;
  } while (g.state != first && period < 2 * lcg_modulus);
  EXPECT_LT(period, 2 * lcg_modulus) << "the sequence from the seed returns to its first state";
}

struct reading_case {
  const char* line;
  float value;  // NaN when the line must be refused
  const char* problem_part = "";
};

void PrintTo(const reading_case& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class SeparationReading : public ::testing::TestWithParam<reading_case> {};

TEST_P(SeparationReading, ReadsWhatAPersonTypesAndRefusesTheRest) {
  const reading_case& c = GetParam();
  const separation_reading r = parse_separation(c.line);
  if (std::isnan(c.value)) {
    EXPECT_FALSE(r.value.has_value()) << *r.value;
    EXPECT_NE(r.problem.find(c.problem_part), std::string::npos) << r.problem;
    EXPECT_NE(r.problem.find("; expected "), std::string::npos) << r.problem;
    EXPECT_EQ(r.problem.find('\n'), std::string::npos);
  } else {
    ASSERT_TRUE(r.value.has_value()) << r.problem;
    EXPECT_EQ(*r.value, c.value);
    EXPECT_FALSE(std::signbit(*r.value));
  }
}

const float refused = std::nanf("");

INSTANTIATE_TEST_SUITE_P(
    Forms, SeparationReading,
    ::testing::Values(reading_case{"1", 1.0f}, reading_case{"0.74", 0.74f},
                      reading_case{".5", 0.5f}, reading_case{"7.4e-1", 0.74f},
                      reading_case{"+1", 1.0f}, reading_case{"2.", 2.0f},
                      reading_case{"1.5D0", 1.5f}, reading_case{"  \t0.74 junk", 0.74f},
                      reading_case{"0.74,2", 0.74f}, reading_case{"0.74/", 0.74f},
                      reading_case{"0", 0.0f}, reading_case{"-0", 0.0f},
                      reading_case{"1e-60", 0.0f}, reading_case{"1000", 1000.0f},
                      reading_case{"1e3", 1000.0f},
                      reading_case{"abc", refused, "\"abc\" is not a number"},
                      reading_case{"1.5abc", refused, "\"1.5abc\" is not a number"},
                      reading_case{"1e", refused, "not a number"},
                      reading_case{".", refused, "not a number"},
                      reading_case{"0x10", refused, "not a number"},
                      reading_case{"nan", refused, "\"nan\" is not a finite number"},
                      reading_case{"-Infinity", refused, "not a finite number"},
                      reading_case{"inf", refused, "not a finite number"},
                      reading_case{"1e39", refused, "\"1e39\" is beyond the single-precision range"},
                      reading_case{"1e30", refused, "\"1e30\" is too large; expected at most 1000"},
                      reading_case{"1000.0001", refused, "is too large"},
                      reading_case{"3.4e38", refused, "is too large"},
                      reading_case{"-1", refused, "\"-1\" is negative"},
                      reading_case{"-0.1", refused, "is negative"},
                      reading_case{"", refused, "no number"},
                      reading_case{",5", refused, "no number"}));

TEST(SeparationReading, QuotesLongOrUnprintableTextOnOneShortLine) {
  const separation_reading r = parse_separation(std::string(500, 'x') + "\x01");
  ASSERT_FALSE(r.value.has_value());
  EXPECT_LT(r.problem.size(), 200u);
  const separation_reading c = parse_separation("a\x01\x7f" "b");
  EXPECT_NE(c.problem.find("\"a??b\""), std::string::npos) << c.problem;
}

}  // namespace
}  // namespace vmc

namespace vmc {
namespace {

// A byte source over text that counts what was taken.
struct text_source {
  std::string text;
  std::size_t taken = 0;
  int operator()() { return taken < text.size() ? static_cast<unsigned char>(text[taken++]) : -1; }
};

TEST(ReadSeparation, SkipsBlankLinesAndTakesNothingBeyondTheNumbersLine) {
  text_source src{"\n \t\n  0.74 rest of the line\nnext line\n"};
  const separation_reading r = read_separation(std::ref(src));
  ASSERT_TRUE(r.value.has_value()) << r.problem;
  EXPECT_EQ(*r.value, 0.74f);
  EXPECT_EQ(src.text.substr(src.taken), "next line\n");
}

TEST(ReadSeparation, ReadsALastLineWithoutABreak) {
  text_source src{"\n1.5"};
  EXPECT_EQ(read_separation(std::ref(src)).value, 1.5f);
}

TEST(ReadSeparation, RefusesAnInputThatEndsFirst) {
  for (const char* text : {"", "\n\n", "   \n\t"}) {
    text_source src{text};
    const separation_reading r = read_separation(std::ref(src));
    EXPECT_FALSE(r.value.has_value());
    EXPECT_NE(r.problem.find("input ended"), std::string::npos) << r.problem;
  }
}

}  // namespace
}  // namespace vmc
