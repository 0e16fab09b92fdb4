#include "vmc/spectrum_command.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "output/output_file.h"
#include "output/table.h"
#include "vmc/command.h"
#include "vmc/curve_table.h"
#include "vmc/options.h"
#include "vmc/spectrum.h"

namespace vmc {
namespace {

// The options as typed; checked only once the command line is complete.
struct spectrum_texts {
  std::string curve;
  std::string molecules = "H2,HD,D2";
  std::string resamples = "100";
  std::string terms = "11";
  std::string step = "0.01";
  std::string seed = "5465";
  std::string output = "vmc-spectrum.tsv";
  std::string levels;
  std::string residuals;
  std::string waves;
};

spectrum_settings checked(const spectrum_texts& t) {
  spectrum_settings s;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t comma = t.molecules.find(',', begin);
    const std::string name = t.molecules.substr(begin, comma == std::string::npos ? comma : comma - begin);
    bool repeated = false;
    for (const molecule& m : s.molecules) repeated = repeated || m.name == name;
    if (repeated || (name != "H2" && name != "HD" && name != "D2")) {
      throw usage_error("--molecules: expected a comma list of H2, HD and D2, each once; got \"" +
                        t.molecules + "\"");
    }
    s.molecules.push_back(molecule_named(name));
    if (comma == std::string::npos) break;
    begin = comma + 1;
  }
  s.resamples = static_cast<int>(parse_count("--resamples", t.resamples, 2, 100000, "such as 100"));
  s.terms = static_cast<int>(parse_count("--terms", t.terms, 1, 20, "such as 11"));
  // Below 1e-4 bohr the grid would take gigabytes; above 0.04 the shipped
  // curve's wall is too steep for it.
  const float step = parse_real("--step", t.step, 1e-4f, false);
  if (step > 0.04f) {
    throw usage_error("--step: expected a step from 1e-4 to 0.04 bohr; got " + t.step);
  }
  s.step = static_cast<double>(step);
  s.seed = static_cast<std::uint64_t>(parse_seed("--seed", t.seed));
  s.all_levels = !t.levels.empty();
  s.wave_functions = !t.waves.empty();
  if (t.output.empty()) throw usage_error("--output: expected a file name; got \"\"");
  return s;
}

// "k of n redraws done", rewritten in place, while standard error is a terminal.
void show_progress(int k, int n) {
  std::fprintf(stderr, "\rvmc spectrum: %d of %d redraws done", k, n);
  if (k == n) std::fputc('\n', stderr);
  std::fflush(stderr);
}

// Writes a table to its own file, replaced only when it is whole.
void write_table(const std::string& name, const table& t) {
  output_file file(name);
  file.write(provenance() + tab_separated(t));
  file.close();
}

int run(const spectrum_texts& texts, const ranks& job) {
  spectrum_settings settings;
  return run_command(
      "vmc spectrum", job, texts.output, [&] { settings = checked(texts); },
      [&](bool terminal) -> std::optional<finished_table> {
        // The work is light: rank 0 does it all.
        if (!job.root()) return std::nullopt;
        settings.points = read_curve(texts.curve, [&](const std::string& line) {
          std::fprintf(stderr, "vmc spectrum: %s: %s\n", texts.curve.c_str(), line.c_str());
        });
        const spectrum_result result =
            run_spectrum(settings, terminal ? show_progress : std::function<void(int, int)>{});
        // A form that misses the points by more than their errors makes its
        // results' errors too small: say so.
        if (result.fit) {
          const double dof = static_cast<double>(settings.points.size()) - settings.terms;
          if (result.fit->chi2 > 2.0 * dof) {
            std::fprintf(stderr,
                         "vmc spectrum: the fit misses the points by more than their errors "
                         "(chi^2 = %.1f for %.0f degrees of freedom); the errors are too small\n",
                         result.fit->chi2, dof);
          }
        }
        for (const spectrum_value& v : result.values) {
          if (v.extrapolated) {
            std::fprintf(stderr,
                         "vmc spectrum: %s %s rests on a level that reaches beyond the curve's "
                         "points (extrapolated)\n",
                         v.molecule.c_str(), v.quantity.c_str());
          }
        }
        if (!texts.levels.empty()) write_table(texts.levels, levels_table(result.levels));
        if (!texts.waves.empty()) write_table(texts.waves, waves_table(result.waves));
        if (!texts.residuals.empty()) {
          if (!result.fit) {
            std::fprintf(stderr, "vmc spectrum: %s has no errors, so it is interpolated, not "
                                 "fitted; no residuals written\n", texts.curve.c_str());
          } else {
            write_table(texts.residuals, residuals_table(settings.points, result.residuals));
          }
        }
        return finished_table{spectrum_table(result.values),
                              spectrum_table_for_people(result.values)};
      });
}

}  // namespace

std::function<int()> add_spectrum_command(CLI::App& app, const ranks& job) {
  CLI::App* spectrum = app.add_subcommand(
      "spectrum", "bond length, dissociation energy and levels of H2, HD and D2 from a curve");
  spectrum->footer(
      "Reads the curve: a table of vmc scan, optimize or dmc (columns s and energy, error when\n"
      "present; flagged rows are left out with a line on standard error) or the shipped\n"
      "exact curve plot/h2-exact-curve.dat. A curve without errors is interpolated by a\n"
      "spline; one with errors is fitted by a smooth form with the right limits, and its\n"
      "results' errors are the spread over --resamples redraws of its points.\n"
      "The two atoms apart are at -1 hartree exactly. Everything goes through atomic\n"
      "units (the model's bohr 0.5299396 A and hartree 27.18989 eV) and is reported in\n"
      "CODATA's angstrom and cm^-1, to compare with experiment.\n"
      "The table goes to --output, tab-separated, and to standard output, aligned;\n"
      "--levels writes every level of J = 0 and 1 (energy in cm^-1 above the atoms,\n"
      "turning points in angstrom), --residuals the fit's residuals in eV,\n"
      "--wave-functions |psi|^2 (1/angstrom) of the five lowest levels of J = 0 with\n"
      "the curve (cm^-1 above the atoms) for plot/spectrum-picture.");
  auto texts = std::make_shared<spectrum_texts>();
  spectrum->add_option("curve", texts->curve, "the energy curve, a table or the exact curve")
      ->required()
      ->type_name("FILE");
  add_text_option(*spectrum, "--molecules", texts->molecules, "comma list of H2, HD and D2",
                  "LIST");
  add_text_option(*spectrum, "--output", texts->output, "the table, tab-separated", "FILE");
  spectrum->add_option("--levels", texts->levels, "every level, tab-separated")->type_name("FILE");
  spectrum->add_option("--residuals", texts->residuals, "the fit's residuals, tab-separated")
      ->type_name("FILE");
  spectrum->add_option("--wave-functions", texts->waves,
                       "|psi|^2 of the five lowest levels of J = 0, tab-separated")
      ->type_name("FILE");
  add_text_option(*spectrum, "--resamples", texts->resamples,
                  "redraws of a curve with errors, for the errors of its results", "N");
  add_text_option(*spectrum, "--terms", texts->terms, "polynomial terms of the fitted form", "K");
  add_text_option(*spectrum, "--step", texts->step, "the radial grid's step, bohr", "H");
  add_text_option(*spectrum, "--seed", texts->seed, "seed of the redraws, 1 to 2147483562", "N");
  return [texts, &job] { return run(*texts, job); };
}

}  // namespace vmc
