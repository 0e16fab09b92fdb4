#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Reading the values of vmc's options. Each reader takes the option's text
// as typed and either returns the value or throws usage_error with one line
// that names the option, says what it expects and quotes what it got.

namespace vmc {

class usage_error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The largest separation taken, A: beyond it the float positions around each
// proton are coarser than a step of the walk.
inline constexpr double largest_separation_a = 1000.0;
// The most separations, and the most steps, one run takes.
inline constexpr std::size_t most_separations = 10000;
inline constexpr std::int64_t most_steps = 1000000000000;  // 1e12

// "START:STOP:STEP": START + k STEP for k = 0, 1, ... up to STOP inclusive
// (STOP counts when within a billionth of a step), each computed in double
// and rounded once to float; or a comma list "0.5,0.74,1.4". Every
// separation lies in (0, 1000].
std::vector<float> parse_separations(std::string_view option, std::string_view text);

// A whole number from `least` to `most`, as digits or in exponent form with a
// whole value (1000000, 1e6, 2.5e5); the refusal shows `example`.
std::int64_t parse_count(std::string_view option, std::string_view text, std::int64_t least,
                         std::int64_t most = most_steps,
                         std::string_view example = "such as 1000000 or 1e6");

// A finite real, rounded once to float, at least `least` (above it when
// `strictly`).
float parse_real(std::string_view option, std::string_view text, float least, bool strictly);

// The trial function as the options choose it.
struct trial_choice {
  float beta;            // 1/A, 0 or more
  float ionic_weight;    // 0 or more
  float orbital_length;  // A, above 0; 0 when not given (the cusp value)
};
trial_choice parse_trial(std::string_view beta, std::string_view ionic_weight,
                         std::string_view orbital_length);

// A seed of the run's stream: a whole number from 1 to 2147483562.
std::int32_t parse_seed(std::string_view option, std::string_view text);

}  // namespace vmc
