#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vmc {

// The proton separation read from the user, or why the text holds none.
struct separation_reading {
  std::optional<float> value;  // finite and not negative when present
  std::string problem;         // when absent: what was read and what is expected
};

// Reads the separation from the first line of text that is not blank: leading
// blanks are skipped, the number ends at a blank, a comma, a slash or the end
// of the line, and the rest of the line is ignored. The number is a decimal
// real as a person types it (1, 0.74, .5, 7.4e-1, +1; a Fortran D exponent
// too). Text that is not such a number, a value beyond the float range and a
// negative value are refused.
separation_reading parse_separation(std::string_view line);

// The first line of standard input that is not blank (without its line
// break), reading no further than that line; empty when the input ends first.
// Throws io_error when standard input cannot be read.
std::optional<std::string> read_first_nonblank_line(int fd);

}  // namespace vmc
