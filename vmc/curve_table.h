#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "vmc/potential_curve.h"

namespace vmc {

// The points of an energy curve read from text, converted to atomic units
// through the model's bohr (0.5299396 A) and hartree (27.18989 eV), sorted
// by R. Two layouts are read; lines starting with '#' and blank lines are
// skipped in both:
// - a table of vmc's, tab-separated with a header row, read by column name:
//   s (A) and energy (eV), error (eV) when present; other columns are
//   ignored, and a row whose flag column is not empty is left out, with one
//   line to `skipped` naming its separation and flag; when the table holds
//   limits tau -> 0 of dmc (time_step 0), only those rows are read;
// - the shipped exact curve, rows of four numbers R_bohr E_hartree s_A E_eV
//   without a header, of which s and E are read, every error 0.
// A curve with an error column needs every error above 0. Throws io_error
// naming `name` and the line for anything else, or fewer than four points,
// or two points at one separation.
std::vector<curve_point> parse_curve(const std::string& name, std::string_view text,
                                     const std::function<void(const std::string&)>& skipped);

// The same, read from the file at `path`.
std::vector<curve_point> read_curve(const std::string& path,
                                    const std::function<void(const std::string&)>& skipped);

}  // namespace vmc
