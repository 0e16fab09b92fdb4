// The checks of a diffusion run's settings: the library's own, so that no
// caller can run what the command line would refuse.

#include <charconv>
#include <string>

#include "output/quoted.h"
#include "vmc/dmc.h"
#include "vmc/options.h"
#include "vmc/stream_plan.h"

namespace vmc {

void validate(const dmc_settings& s) {
  check_separations("--separations", s.separations);
  if (!(s.time_step > 0.0f && s.time_step <= 0.01f)) {
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, s.time_step);
    throw usage_error("--time-step: expected a time step above 0 and at most 0.01 /eV; got " +
                      quoted(std::string_view(text, static_cast<std::size_t>(r.ptr - text))));
  }
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
