// The checks of a diffusion run's settings: the library's own, so that no
// caller can run what the command line would refuse.

#include <charconv>
#include <string>

#include "output/quoted.h"
#include "vmc/dmc.h"
#include "vmc/options.h"
#include "vmc/stream_plan.h"

namespace vmc {
namespace {

constexpr float largest_time_step = 0.01f;  // 1/eV: 0.27 /hartree
constexpr std::size_t most_time_steps = 16;

std::string text_of(float x) {
  char text[32];
  const std::to_chars_result r = std::to_chars(text, text + sizeof text, x);
  return std::string(text, static_cast<std::size_t>(r.ptr - text));
}

[[noreturn]] void refuse_time_step(std::string_view got) {
  throw usage_error("--time-step: expected a time step above 0 and at most 0.01 /eV; got " +
                    quoted(got));
}

void check_time_steps(const std::vector<float>& taus) {
  if (taus.empty()) throw usage_error("--time-step: expected at least one time step; got none");
  if (taus.size() > most_time_steps) {
    throw usage_error("--time-step: expected at most " + std::to_string(most_time_steps) +
                      " time steps; got " + std::to_string(taus.size()));
  }
  for (std::size_t k = 0; k < taus.size(); ++k) {
    if (!(taus[k] > 0.0f && taus[k] <= largest_time_step)) refuse_time_step(text_of(taus[k]));
    for (std::size_t j = 0; j < k; ++j) {
      if (taus[j] == taus[k]) {
        throw usage_error("--time-step: " + text_of(taus[k]) +
                          " is given twice; expected different time steps");
      }
    }
  }
}

}  // namespace

std::vector<float> parse_time_steps(std::string_view text) {
  std::vector<float> taus;
  for (std::size_t begin = 0;;) {
    const std::size_t comma = text.find(',', begin);
    const std::string_view item = text.substr(begin, comma == text.npos ? text.npos : comma - begin);
    const float tau = [&] {
      try {
        return parse_real("--time-step", item, 0.0f, true);
      } catch (const usage_error&) {
        refuse_time_step(item);
      }
    }();
    if (tau > largest_time_step) refuse_time_step(item);
    taus.push_back(tau);
    if (taus.size() > most_time_steps || comma == text.npos) break;
    begin = comma + 1;
  }
  check_time_steps(taus);
  return taus;
}

void validate(const dmc_settings& s) {
  check_separations("--separations", s.separations);
  check_time_steps(s.time_steps);
  check_count("--walkers", s.walkers, 10, 1000000, "such as 2000");
  check_count("--steps", s.steps, 2);
  check_count("--equilibration", s.equilibration, 0);
  check_seed("--seed", s.seed);
  check_count("vmc_steps", s.vmc_steps, 2);
  if (s.parameters.size() != s.separations.size()) {
    throw usage_error("--parameters: " + std::to_string(s.parameters.size()) +
                      " rows of trial parameters for " + std::to_string(s.separations.size()) +
                      " separations; expected one row for each separation");
  }
  for (const trial_parameters& p : s.parameters) {
    check_real("--beta", static_cast<float>(p.beta), 0.0f, false, largest_beta);
    check_real("--ionic-weight", static_cast<float>(p.lambda), 0.0f, false, largest_ionic_weight);
    check_real("--orbital-length", static_cast<float>(p.a), smallest_orbital_length, false,
               largest_orbital_length);
  }
  if (const auto why = stream_plan::of(s).misfit()) throw usage_error(*why);
}

}  // namespace vmc
