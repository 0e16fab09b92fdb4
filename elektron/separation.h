#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vmc {

// The largest separation the demonstration takes, A.
inline constexpr float largest_separation = 1000.0f;

// The proton separation read from the user, or why the text holds none.
struct separation_reading {
  std::optional<float> value;  // in 0 ... largest_separation when present
  std::string problem;         // when absent: what was read and what is expected
};

// Reads the separation from the first line of text that is not blank: leading
// blanks are skipped, the number ends at a blank, a comma, a slash or the end
// of the line, and the rest of the line is ignored. The number is a decimal
// real as a person types it (1, 0.74, .5, 7.4e-1, +1; a Fortran D exponent
// too). Text that is not such a number, a value beyond the float range, a
// negative value and one above largest_separation are refused.
separation_reading parse_separation(std::string_view line);

// A source of input bytes: the next byte (0 ... 255), or -1 at the end of input.
using byte_source = std::function<int()>;

// Reads the separation from the first line that is not blank, taking no byte
// beyond that line's break (the program reads a terminal); refuses an input
// that ends before such a line.
separation_reading read_separation(const byte_source& next);

}  // namespace vmc
