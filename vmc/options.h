#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
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
// The smallest, A: below it the protons' repulsion, 14.4/s eV, is so large
// that float resolves the electrons' energy beside it no better than the
// walk's error bar (and at 1e-45 A not at all: NaN).
inline constexpr double smallest_separation_a = 0.01;

// The trial function's parameters where float computes it: beyond these
// bounds psi or psi^2 underflows or overflows, or the parameter no longer
// changes it.
inline constexpr float largest_beta = 1000.0f;           // 1/A: fee is 1 in float beyond
inline constexpr float largest_ionic_weight = 1e6f;      // psi^2 stays within float's range
inline constexpr float smallest_orbital_length = 0.1f;   // A: exp(-r/a) of the start is no 0
inline constexpr float largest_orbital_length = 1000.0f; // A: as the separations
// The step of one coordinate, A: a smaller one does not move a float
// coordinate by more than its last bits, a larger one is never accepted.
inline constexpr float smallest_step_size = 1e-4f;
inline constexpr float largest_step_size = 10.0f;
// The most separations, and the most steps, one run takes.
inline constexpr std::size_t most_separations = 10000;
inline constexpr std::int64_t most_steps = 1000000000000;  // 1e12

// "START:STOP:STEP": START + k STEP for k = 0, 1, ... up to STOP inclusive
// (STOP counts when within a billionth of a step), each computed in double
// and rounded once to float; or a comma list "0.5,0.74,1.4". Every
// separation lies in [0.01, 1000].
std::vector<float> parse_separations(std::string_view option, std::string_view text);

// A whole number from `least` to `most`, as digits or in exponent form with a
// whole value (1000000, 1e6, 2.5e5); the refusal shows `example`.
std::int64_t parse_count(std::string_view option, std::string_view text, std::int64_t least,
                         std::int64_t most = most_steps,
                         std::string_view example = "such as 1000000 or 1e6");

// A finite real, rounded once to float, at least `least` (above it when
// `strictly`) and at most `most`.
float parse_real(std::string_view option, std::string_view text, float least, bool strictly,
                 float most = std::numeric_limits<float>::max());

// Whether one separation, as read from a table, lies in [0.01, 1000].
bool separation_in_range(double s);

// The trial function as the options choose it.
struct trial_choice {
  float beta;            // 1/A, 0 to 1000
  float ionic_weight;    // 0 to 1e6
  float orbital_length;  // A, 0.1 to 1000; 0 when not given (the cusp value)
};
trial_choice parse_trial(std::string_view beta, std::string_view ionic_weight,
                         std::string_view orbital_length);

// The trial function of vmc dmc as its options choose it: the classic one or
// the built-in optimised one, with each parameter an option gives in place of
// that function's own.
struct trial_request {
  bool classic = false;
  std::optional<float> beta, ionic_weight, orbital_length;
};
// `trial` is "optimised" (or "optimized") or "classic"; an empty text is an
// option not given.
trial_request parse_trial_request(std::string_view trial, std::string_view beta,
                                  std::string_view ionic_weight, std::string_view orbital_length);

// A seed of the run's stream: a whole number from 1 to 2147483562.
std::int32_t parse_seed(std::string_view option, std::string_view text);

// The same checks of values that come as numbers (settings a program or the
// Python module fills in): the same bounds and the same line as the readers
// above, quoting the value's shortest text.
void check_separations(std::string_view option, const std::vector<float>& separations);
void check_count(std::string_view option, std::int64_t value, std::int64_t least,
                 std::int64_t most = most_steps, std::string_view example = "such as 1000000 or 1e6");
void check_real(std::string_view option, float value, float least, bool strictly,
                float most = std::numeric_limits<float>::max());
void check_seed(std::string_view option, std::int64_t seed);

// The text each option was typed as, by its name ("--walkers"), for the
// messages of checks that compare several settings; an option not in it is
// quoted as its value's shortest text.
using typed_options = std::map<std::string, std::string, std::less<>>;
std::string typed_or(const typed_options& typed, std::string_view option, std::string value_text);

}  // namespace vmc
