#include "vmc/flags.h"

#include <cmath>
#include <cstdio>

#include "output/table.h"
#include "vmc/exact_curve.h"

namespace vmc {

std::string flag_column(const std::vector<flag>& flags) {
  std::string text;
  for (const flag& f : flags) text += (text.empty() ? "" : ",") + f.word;
  return text;
}

void warn_flags(const std::string& program, float s, const std::vector<flag>& flags) {
  warn_flags(program, "s = " + shortest(s), flags);
}

void warn_flags(const std::string& program, const std::string& where, const std::vector<flag>& flags) {
  for (const flag& f : flags) {
    std::fprintf(stderr, "%s: %s: %s: %s\n", program.c_str(), where.c_str(), f.word.c_str(),
                 f.why.c_str());
  }
}

void add_below_exact(std::vector<flag>& flags, float s, double energy, double error) {
  const std::optional<double> exact = exact_energy_bound(static_cast<double>(s));
  if (exact && energy + 3.0 * error < *exact) {
    flags.push_back({"below-exact", "the energy lies " + fixed(*exact - energy, 4) +
                                        " eV below the exact energy, " + fixed(*exact, 4) +
                                        " eV, more than three errors: the error is too small or "
                                        "the walk did not sample what it claims"});
  }
}

std::vector<flag> walk_flags(float s, double energy, double error, double acceptance,
                             bool converged, bool reflections) {
  std::vector<flag> flags;
  if (!std::isfinite(energy) || !std::isfinite(error)) {
    flags.push_back({"non-finite", "the energy or its error is not a finite number; the trial "
                                   "function cannot be evaluated here in single precision"});
    return flags;
  }
  if (acceptance < (reflections ? 0.12 : 0.02)) {
    flags.push_back({"stuck", "the walk accepted " + fixed(100.0 * acceptance, 2) +
                                  " % of its moves: it stands almost still, and its energy and "
                                  "error describe a few configurations only (make the steps "
                                  "smaller)"});
  } else if (acceptance > (reflections ? 0.9 : 0.99)) {
    flags.push_back({"tiny-steps", "the walk accepted " + fixed(100.0 * acceptance, 2) +
                                       " % of its moves: its steps are too small to explore "
                                       "(make them larger)"});
  }
  if (!converged) {
    flags.push_back({"error-lower-bound", "the series is too short for its correlation time; "
                                          "the error is only a lower bound (run more steps)"});
  }
  add_below_exact(flags, s, energy, error);
  return flags;
}

}  // namespace vmc
