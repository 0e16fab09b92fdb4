// The checks of a scan's settings: the library's own, so that no caller can
// run what the command line would refuse.

#include <string>

#include "vmc/options.h"
#include "vmc/scan.h"
#include "vmc/stream_plan.h"

namespace vmc {

void validate(const scan_settings& s, const typed_options& typed) {
  check_separations("--separations", s.separations);
  check_count("--steps", s.steps, 2);
  check_count("--equilibration", s.equilibration, 0);
  check_count("--walkers", s.walkers, 1);
  if (s.walkers > s.steps) {
    throw usage_error("--walkers: " + typed_or(typed, "--walkers", std::to_string(s.walkers)) +
                      " walkers need at least as many --steps; got " +
                      typed_or(typed, "--steps", std::to_string(s.steps)));
  }
  // Every walk keeps its statistics until it is merged, and every walk draws
  // its own stretch of the generator's period (about 2.3e18 deviates).
  const double walks = static_cast<double>(s.separations.size()) * static_cast<double>(s.walkers);
  if (walks > 1e9) {
    throw usage_error("--walkers: " + typed_or(typed, "--walkers", std::to_string(s.walkers)) +
                      " walkers at " + std::to_string(s.separations.size()) +
                      " separations make more than 10^9 walks");
  }
  if (const auto why = stream_plan::of(s).misfit()) throw usage_error(*why);
  check_real("--beta", s.beta, 0.0f, false, largest_beta);
  check_real("--ionic-weight", s.ionic_weight, 0.0f, false, largest_ionic_weight);
  // 0 is the cusp value (apar).
  if (s.orbital_length != 0.0f) {
    check_real("--orbital-length", s.orbital_length, smallest_orbital_length, false,
               largest_orbital_length);
  }
  check_real("--step-size", s.step_size, smallest_step_size, false, largest_step_size);
  check_seed("--seed", s.seed);
}

}  // namespace vmc
