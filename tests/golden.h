#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Whole outputs pinned by their SHA-256, and where two outputs part.

namespace vmc::testing {

// The SHA-256 of data as 64 lower-case hex digits.
std::string sha256_hex(std::string_view data);

// Where actual first differs from expected, record by record (a record is a
// line): "record 12 (line 12): expected \"...\", got \"...\"", or which one
// ends first; empty when the two are equal. pass_first, when given, holds the
// 0-based index of the first record of each pass, and the pass is named too.
std::string first_difference(std::string_view expected, std::string_view actual,
                             const std::vector<std::size_t>& pass_first = {});

}  // namespace vmc::testing
