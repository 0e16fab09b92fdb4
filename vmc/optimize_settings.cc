// The checks of an optimisation's settings: the library's own, so that no
// caller can run what the command line would refuse.

#include "vmc/optimize.h"
#include "vmc/options.h"
#include "vmc/stream_plan.h"

namespace vmc {

void validate(const optimize_settings& s) {
  check_separations("--separations", s.separations);
  check_count("--steps", s.steps, 2);
  check_count("--equilibration", s.equilibration, 0);
  check_count("--sample-steps", s.sample_steps, 1000, most_sample_steps, "such as 100000 or 1e5");
  check_count("--max-rounds", s.max_rounds, 1, 100, "such as 10");
  check_real("--step-size", s.step_size, smallest_step_size, false, largest_step_size);
  check_seed("--seed", s.seed);
  if (const auto why = stream_plan::of(s).misfit()) throw usage_error(*why);
}

}  // namespace vmc
