#include "golden.h"

#include <gtest/gtest.h>

namespace vmc::testing {
namespace {

TEST(Sha256, GivesTheStandardDigests) {
  EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(FirstDifference, NamesTheFirstRecordThatDiffers) {
  EXPECT_EQ(first_difference(" 1.0\n 2.0\n", " 1.0\n 2.0\n"), "");
  EXPECT_EQ(first_difference(" 1.0\n 2.0\n 3.0\n", " 1.0\n 2.5\n 3.5\n"),
            "record 2: expected \" 2.0\", got \" 2.5\"");
  // A difference at the very first byte of a record belongs to that record.
  EXPECT_EQ(first_difference(" 1.0\n 2.0\n", " 1.0\n-2.0\n"),
            "record 2: expected \" 2.0\", got \"-2.0\"");
  EXPECT_EQ(first_difference(" 1.0\n", " 1.0\n 2.0\n"), "record 2: expected the end, got \" 2.0\"");
  EXPECT_EQ(first_difference(" 1.0\n 2.0\n", " 1.0\n"), "record 2: expected \" 2.0\", got the end");
  // Records counted across passes: passes start at records 0, 2 and 3.
  EXPECT_EQ(first_difference("a\nb\nc\nd\ne\n", "a\nb\nc\nd\nx\n", {0, 2, 3}),
            "record 5 (pass 3, accepted move 2): expected \"e\", got \"x\"");
}

}  // namespace
}  // namespace vmc::testing
