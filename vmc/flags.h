#pragma once

#include <string>
#include <vector>

// What makes a row's numbers other than they seem. Every table has a flag
// column, empty for a sound row and otherwise a word or two for each thing
// wrong, joined by commas; standard error says the same in a line of its own
// that names the separation.

namespace vmc {

struct flag {
  std::string word;  // for the table: "error-lower-bound", "stuck", ...
  std::string why;   // for people: what was seen and what to do
};

// The flag column's text: the words joined by commas, empty when sound.
std::string flag_column(const std::vector<flag>& flags);

// One line on standard error for each flag: "<program>: s = <s>: <word>: <why>".
void warn_flags(const std::string& program, float s, const std::vector<flag>& flags);
// The same for a row that its separation alone does not name: "<program>: <where>: ...".
void warn_flags(const std::string& program, const std::string& where, const std::vector<flag>& flags);

// The flags every Metropolis walk at separation s can earn: non-finite
// numbers, a walk that hardly moved (acceptance below 2 %) or whose moves are
// too small to explore (above 99 %), an error that is only a lower bound, and
// an energy below the exact one (add_below_exact). A walk with reflections
// (reflecting_step) accepts up to a tenth of its steps by reflecting alone,
// whatever its step size: then below 12 % it hardly moved, and above 90 %
// its steps are too small.
std::vector<flag> walk_flags(float s, double energy, double error, double acceptance,
                             bool converged, bool reflections);

// Adds "below-exact" when energy lies more than three errors below the exact
// Born-Oppenheimer energy at s (exact_energy_bound), which no variational
// energy and no converged diffusion energy can: the error is too small, or
// the walk did not sample what it claims.
void add_below_exact(std::vector<flag>& flags, float s, double energy, double error);

}  // namespace vmc
